#include "cli/Console.h"

// The platform's notifier calls this when an interrupt has come in; the watch hands them on.
void TInterruptWatch::Poll()
{
    bool terminate = false;
    const int count = TakeInterrupts(&terminate);
    if (count > 0)
        emit Interrupted(count, terminate);
}
