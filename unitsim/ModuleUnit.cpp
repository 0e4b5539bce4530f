#include "unitsim/UnitFamilies.h"

TModuleUnit::TModuleUnit(TFaultScript script)
    : TBootloaderUnit(std::move(script), TBootloaderImage::Module, BlockSize)
{
}

// Any byte between commands other than ".", "!" and 0xF0 begins a record text, which runs to ":".
bool TModuleUnit::BeginCommand(char c)
{
    record_.clear();
    return !TakeCommandByte(c);
}

bool TModuleUnit::TakeCommandByte(char c)
{
    if (c != ':') {
        record_.append(c);
        return false;
    }
    Records.append(record_);
    const auto answer = Script.Reply(TUnitStage::Record, RecordsAccepted + 1, ".", &Faults);
    record_.clear();
    Respond(answer, Script.AnswerDelayMs, Script.TakeHangUp());
    if (!answer)
        return true;
    if (*answer == ".")
        ++RecordsAccepted;
    return true;
}

QString TModuleUnit::Summary() const
{
    QStringList out = SummaryHead(QStringLiteral("Communications module (bootloader mode)"), QStringLiteral("module"));
    out << QStringLiteral("  records received: %1, accepted: %2").arg(Records.size()).arg(RecordsAccepted);
    out << SummaryTail();
    return out.join(QLatin1Char('\n'));
}
