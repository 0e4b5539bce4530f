#include "unitsim/UnitFamilies.h"

namespace {
constexpr char LeadIn = char(0xF0);
}

TBootloaderUnit::TBootloaderUnit(TFaultScript script, TBootloaderImage image, int blockSize)
    : Script(std::move(script)), image_(image), blockSize_(blockSize)
{
}

void TBootloaderUnit::FromHost(const QByteArray &bytes)
{
    for (const char c : bytes)
        Take(c);
}

void TBootloaderUnit::Take(char c)
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
        if (Block.size() == blockSize_) {
            ++BlocksReceived;
            BlockMatchesImage = Block == BootloaderBlock(image_);
            Finished = false;
            phase_ = TPhase::Ready;
        }
        return;

    case TPhase::Ready:
        if (c == '.') {
            ++ContactRequests;
            const auto answer = Script.Reply(TUnitStage::Contact, ContactRequests, ".", &Faults);
            Respond(answer, Script.AnswerDelayMs, Script.TakeHangUp());
        } else if (c == '!') {
            ++EndCommands;
            const auto answer = Script.Reply(TUnitStage::End, EndCommands, "!", &Faults);
            Respond(answer, Script.AnswerDelayMs, Script.TakeHangUp());
            if (answer == QByteArray("!"))
                Finished = true;
        } else if (c == LeadIn) {
            phase_ = TPhase::AwaitLeadIn;
            Take(c);
        } else if (BeginCommand(c)) {
            phase_ = TPhase::Command;
        }
        return;

    case TPhase::Command:
        if (TakeCommandByte(c))
            phase_ = TPhase::Ready;
        return;
    }
}

QStringList TBootloaderUnit::SummaryHead(const QString &family, const QString &imageName) const
{
    QStringList out;
    out << family;
    if (BlocksReceived == 0 && phase_ != TPhase::Block)
        out << QStringLiteral("  bootloader: not received");
    else if (phase_ == TPhase::Block)
        out << QStringLiteral("  bootloader: incomplete, %1 of %2 bytes").arg(Block.size()).arg(blockSize_);
    else
        out << QStringLiteral("  bootloader: %1 bytes, %2 the %3 image")
                   .arg(Block.size())
                   .arg(BlockMatchesImage ? QStringLiteral("matches") : QStringLiteral("MISMATCH with"), imageName);
    out << QStringLiteral("  contact requests: %1").arg(ContactRequests);
    return out;
}

QStringList TBootloaderUnit::SummaryTail() const
{
    QStringList out;
    out << QStringLiteral("  end commands: %1, end acknowledged: %2").arg(EndCommands).arg(Finished ? "yes" : "no");
    if (StrayBytes)
        out << QStringLiteral("  stray bytes ignored: %1").arg(StrayBytes);
    out << QStringLiteral("  faults applied: %1").arg(Faults.size());
    for (const QString &fault : Faults)
        out << QStringLiteral("    ") + fault;
    return out;
}
