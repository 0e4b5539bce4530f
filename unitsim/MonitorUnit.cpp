#include "unitsim/UnitFamilies.h"

TMonitorUnit::TMonitorUnit(TFaultScript script)
    : TBootloaderUnit(std::move(script), TBootloaderImage::Monitor, BlockSize)
{
}

// A data-byte command opens with "S"; any other byte between commands is stray.
bool TMonitorUnit::BeginCommand(char c)
{
    if (c != 'S') {
        ++StrayBytes;
        return false;
    }
    command_.clear();
    return true;
}

// Address high, address low, data: the byte is programmed when the answer is its echo.
bool TMonitorUnit::TakeCommandByte(char c)
{
    command_.append(c);
    if (command_.size() < 3)
        return false;
    ++DataCommands;
    const int address = (quint8(command_[0]) << 8) | quint8(command_[1]);
    const char data = command_[2];
    const auto answer = Script.Reply(TUnitStage::Byte, BytesAccepted + 1, QByteArray(1, data), &Faults);
    Respond(answer, Script.AnswerDelayMs, Script.TakeHangUp());
    if (!answer)
        return true;
    if (*answer == QByteArray(1, data)) {
        Programmed[address] = quint8(data);
        ++BytesAccepted;
    }
    return true;
}

QString TMonitorUnit::Summary() const
{
    QStringList out = SummaryHead(QStringLiteral("Resistor monitor (bootloader mode)"), QStringLiteral("monitor"));
    const auto hex = [](int address) {
        return QString::number(address, 16).toUpper().rightJustified(4, QLatin1Char('0'));
    };
    out << QStringLiteral("  data-byte commands: %1, programmed: %2 (%3 addresses")
                   .arg(DataCommands)
                   .arg(BytesAccepted)
                   .arg(Programmed.size()) +
               (Programmed.isEmpty() ? QStringLiteral(")")
                                     : QStringLiteral(", 0x%1..0x%2)").arg(hex(Programmed.firstKey()), hex(Programmed.lastKey())));
    out << SummaryTail();
    return out.join(QLatin1Char('\n'));
}
