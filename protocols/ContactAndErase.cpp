#include "protocols/UpdateFlows.h"

#include "protocols/FlowTexts.h"

// Contact and flash erase of an update-mode unit. The unit answers the contact request "P" with
// "P" (or "Q" when it finds an unfinished previous update) and the erase command "p" with "p"
// once its flash is erased (or "E"). Contact retries and erase time-outs share one budget of
// five passes; every erase command is preceded by a fresh contact request.

namespace {
constexpr int MaxPasses = 5;

// Texts this stage shows from more than one step.
const QString EraseFailureTitle = QString::fromLatin1("Erase failure");
const QString StoppedProcess = QString::fromLatin1("User has stopped the update process.");
const QString NotErased = QString::fromLatin1("The flash memory could not be erased.  Try again.");
} // namespace

EraseResult ContactAndErase(TLink &link)
{
    try {
        int pass = 0;       // finished passes: contact retries and erase time-outs alike
        QByteArray answer;  // the latest ReceiveChar result

        while (pass < MaxPasses) {
            // Announce, then ask for contact.
            link.ShowStatus(QString::fromLatin1("Waiting for response from unit..."), 2);
            if (!link.SendChar('P')) {
                link.ShowStatus(LinkTexts::SendFailed, 1);
                return EraseResult::Failed;
            }
            answer = link.ReceiveChar(5);

            if (answer == "P") {
                // Contact made: announce and send the erase command.
                if (pass == 0)
                    link.ShowStatus(QString::fromLatin1("Initial contact successful. Attempting to erase flash. Please wait up to 20 s..."), 2);
                else
                    link.ShowStatus(QString::fromLatin1("Attempting to erase flash. Please wait up to 20 s..."), 2);
                if (!link.SendChar('p')) {
                    link.ShowStatus(LinkTexts::SendFailed, 1);
                    return EraseResult::Failed;
                }
                answer = link.ReceiveChar(20);

                if (answer == "E") {
                    link.Surface.ReportBox(
                        QString::fromLatin1("Error 'E': Flash erase error. Unit will not properly operate until the programming procedure is complete! "),
                        EraseFailureTitle, TBoxIcon::Warning);
                    link.ShowStatus(NotErased, 1);
                    return EraseResult::Failed;
                }
                if (answer == "s") {
                    link.ShowStatus(StoppedProcess, 1);
                    return EraseResult::Stopped;
                }
                if (answer == "p") {
                    // The hold is the pause the unit needs before the first S-record line.
                    link.ShowStatus(QString::fromLatin1("Flash erase routine has successfully completed."), 5);
                    return EraseResult::Erased;
                }
                if (answer != "t") {
                    link.ShowStatus(NotErased, 3);
                    return EraseResult::Failed;
                }
                // The erase was not answered in time: resend it after a new contact request.
                ++pass;
                if (pass < MaxPasses)
                    link.ShowStatus(QString::fromLatin1("Flash not fully erased...resending erase command ") +
                                        QString::number(pass) + QString::fromLatin1(" of 4..."),
                                    5);
            } else {
                // No contact.
                if (answer == "s") {
                    link.ShowStatus(StoppedProcess, 1);
                    return EraseResult::Stopped;
                }
                if (answer == "Q")
                    link.ShowStatus(QString::fromLatin1("Previous update detected.  Restarting the update process..."), 3);
                else if (answer == "t")
                    link.ShowStatus(QString::fromLatin1("Could not establish communication with unit.  Retrying..."), 3);
                else {
                    link.ShowStatus(FlowTexts::NoContact, 1);
                    return EraseResult::Failed;
                }
                ++pass;
            }
        }

        // Budget spent. A box only when the last pass ended with a "Q" rather than a time-out.
        link.ShowStatus(QString::fromLatin1("The maximum number of retries has been reached.  Try again."), 1);
        if (answer != "t")
            link.Surface.ReportBox(
                QString::fromLatin1("Erase Failure!  The flash memory has failed to erase after 4 retries.  Unit will not properly operate until the programming procedure is complete!"),
                EraseFailureTitle, TBoxIcon::Warning);
        return EraseResult::Failed;
    } catch (...) {
        return EraseResult::Failed;
    }
}
