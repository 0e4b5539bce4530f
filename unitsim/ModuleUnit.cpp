#include "protocols/UpdateFlows.h"
#include "unitsim/UnitFamilies.h"

namespace {
constexpr char LeadIn = char(0xF0);
}

TModuleUnit::TModuleUnit(TFaultScript script) : Script(std::move(script)) {}

void TModuleUnit::FromHost(const QByteArray &bytes)
{
    for (const char c : bytes)
        Take(c);
}

// Before the download the module only listens for the lead-in byte. Once the bootloader runs,
// "." and "!" between records are contact and end; any other byte begins a record text, which
// runs to ":". 0xF0 between records starts a new download.
void TModuleUnit::Take(char c)
{
    switch (phase_) {
    case TPhase::AwaitLeadIn:
        if (c == LeadIn) {
            Block.clear();
            BlockMatchesImage = false;
            phase_ = TPhase::Block;
        } else {
            ++StrayBytes;
        }
        return;

    case TPhase::Block:
        Block.append(c);
        if (Block.size() == BlockSize) {
            ++BlocksReceived;
            BlockMatchesImage = Block == BootloaderBlock(TBootloaderImage::Module);
            Finished = false;
            phase_ = TPhase::Ready;
        }
        return;

    case TPhase::Ready:
        if (c == '.') {
            ++ContactRequests;
            if (const auto answer = Script.Reply(TUnitStage::Contact, ContactRequests, ".", &Faults))
                Answer(*answer, Script.AnswerDelayMs);
            return;
        }
        if (c == '!') {
            ++EndCommands;
            const auto answer = Script.Reply(TUnitStage::End, EndCommands, "!", &Faults);
            if (answer) {
                Answer(*answer, Script.AnswerDelayMs);
                if (*answer == "!")
                    Finished = true;
            }
            return;
        }
        if (c == LeadIn) {
            phase_ = TPhase::AwaitLeadIn;
            Take(c);
            return;
        }
        record_.clear();
        phase_ = TPhase::Record;
        Take(c);
        return;

    case TPhase::Record: {
        if (c != ':') {
            record_.append(c);
            return;
        }
        phase_ = TPhase::Ready;
        Records.append(record_);
        const auto answer = Script.Reply(TUnitStage::Record, RecordsAccepted + 1, ".", &Faults);
        record_.clear();
        if (!answer)
            return;
        Answer(*answer, Script.AnswerDelayMs);
        if (*answer == ".")
            ++RecordsAccepted;
        return;
    }
    }
}

QString TModuleUnit::Summary() const
{
    QStringList out;
    out << QStringLiteral("Communications module (bootloader mode)");
    if (BlocksReceived == 0 && phase_ != TPhase::Block)
        out << QStringLiteral("  bootloader: not received");
    else if (phase_ == TPhase::Block)
        out << QStringLiteral("  bootloader: incomplete, %1 of %2 bytes").arg(Block.size()).arg(BlockSize);
    else
        out << QStringLiteral("  bootloader: %1 bytes, %2").arg(Block.size())
                   .arg(BlockMatchesImage ? QStringLiteral("matches the module image")
                                          : QStringLiteral("MISMATCH with the module image"));
    out << QStringLiteral("  contact requests: %1").arg(ContactRequests);
    out << QStringLiteral("  records received: %1, accepted: %2").arg(Records.size()).arg(RecordsAccepted);
    out << QStringLiteral("  end commands: %1, end acknowledged: %2").arg(EndCommands).arg(Finished ? "yes" : "no");
    if (StrayBytes)
        out << QStringLiteral("  stray bytes ignored: %1").arg(StrayBytes);
    out << QStringLiteral("  faults applied: %1").arg(Faults.size());
    for (const QString &fault : Faults)
        out << QStringLiteral("    ") + fault;
    return out.join(QLatin1Char('\n'));
}
