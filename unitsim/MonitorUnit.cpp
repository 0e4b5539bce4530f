#include "protocols/UpdateFlows.h"
#include "unitsim/UnitFamilies.h"

namespace {
constexpr char LeadIn = char(0xF0);
}

TMonitorUnit::TMonitorUnit(TFaultScript script) : Script(std::move(script)) {}

void TMonitorUnit::FromHost(const QByteArray &bytes)
{
    for (const char c : bytes)
        Take(c);
}

// Before the download the unit only listens for the lead-in byte. Once the bootloader runs it
// takes one command at a time; 0xF0 between commands starts a new download (the technician put
// the unit back into bootloader mode for another run).
void TMonitorUnit::Take(char c)
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
            BlockMatchesImage = Block == BootloaderBlock(TBootloaderImage::Monitor);
            Finished = false;
            phase_ = TPhase::Ready;
        }
        return;

    case TPhase::Ready:
        if (c == '.') {
            ++ContactRequests;
            if (const auto answer = Script.Reply(TUnitStage::Contact, ContactRequests, ".", &Faults))
                Answer(*answer, Script.AnswerDelayMs);
        } else if (c == 'S') {
            command_.clear();
            phase_ = TPhase::DataCommand;
        } else if (c == '!') {
            ++EndCommands;
            const auto answer = Script.Reply(TUnitStage::End, EndCommands, "!", &Faults);
            if (answer) {
                Answer(*answer, Script.AnswerDelayMs);
                if (*answer == "!")
                    Finished = true;
            }
        } else if (c == LeadIn) {
            phase_ = TPhase::AwaitLeadIn;
            Take(c);
        } else {
            ++StrayBytes;
        }
        return;

    case TPhase::DataCommand: {
        command_.append(c);
        if (command_.size() < 3)
            return;
        phase_ = TPhase::Ready;
        ++DataCommands;
        const int address = (quint8(command_[0]) << 8) | quint8(command_[1]);
        const char data = command_[2];
        const auto answer = Script.Reply(TUnitStage::Byte, BytesAccepted + 1, QByteArray(1, data), &Faults);
        if (!answer)
            return;
        Answer(*answer, Script.AnswerDelayMs);
        if (*answer == QByteArray(1, data)) {
            Programmed[address] = quint8(data);
            ++BytesAccepted;
        }
        return;
    }
    }
}

QString TMonitorUnit::Summary() const
{
    QStringList out;
    out << QStringLiteral("Resistor monitor (bootloader mode)");
    if (BlocksReceived == 0 && phase_ != TPhase::Block)
        out << QStringLiteral("  bootloader: not received");
    else if (phase_ == TPhase::Block)
        out << QStringLiteral("  bootloader: incomplete, %1 of %2 bytes").arg(Block.size()).arg(BlockSize);
    else
        out << QStringLiteral("  bootloader: %1 bytes, %2").arg(Block.size())
                   .arg(BlockMatchesImage ? QStringLiteral("matches the monitor image")
                                          : QStringLiteral("MISMATCH with the monitor image"));
    out << QStringLiteral("  contact requests: %1").arg(ContactRequests);
    out << QStringLiteral("  data-byte commands: %1, programmed: %2 (%3 addresses")
               .arg(DataCommands).arg(BytesAccepted).arg(Programmed.size())
           + (Programmed.isEmpty() ? QStringLiteral(")")
                                   : QStringLiteral(", 0x%1..0x%2)")
                                         .arg(QString::number(Programmed.firstKey(), 16).toUpper().rightJustified(4, QLatin1Char('0')),
                                              QString::number(Programmed.lastKey(), 16).toUpper().rightJustified(4, QLatin1Char('0'))));
    out << QStringLiteral("  end commands: %1, end acknowledged: %2").arg(EndCommands).arg(Finished ? "yes" : "no");
    if (StrayBytes)
        out << QStringLiteral("  stray bytes ignored: %1").arg(StrayBytes);
    out << QStringLiteral("  faults applied: %1").arg(Faults.size());
    for (const QString &fault : Faults)
        out << QStringLiteral("    ") + fault;
    return out.join(QLatin1Char('\n'));
}
