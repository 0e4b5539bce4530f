#include "station/StationSink.h"

#include <atomic>

struct TStationAnswer::TState {
    explicit TState(std::function<void(bool)> deliver) : Deliver(std::move(deliver)) {}
    ~TState()
    {
        if (!Given.exchange(true))
            Deliver(false);
    }
    std::function<void(bool)> Deliver;
    std::atomic<bool> Given{false};
};

TStationAnswer::TStationAnswer(std::function<void(bool yes)> deliver)
    : state_(std::make_shared<TState>(std::move(deliver)))
{
}

void TStationAnswer::operator()(bool yes) const
{
    if (!state_->Given.exchange(true))
        state_->Deliver(yes);
}

bool TStationAnswer::Given() const
{
    return state_->Given.load();
}
