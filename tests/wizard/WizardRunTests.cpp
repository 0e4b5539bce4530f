// Whole runs of the wizard with the real format check and the real resistor-monitor flow
// against a simulated unit on virtual time: the window's surface carries what they show.
#include <QLabel>
#include <QProgressBar>

#include "protocols/FlowTexts.h"
#include "tests/wizard/WindowRig.h"
#include "unitsim/UnitFamilies.h"

namespace {

// An S1 record with its count and checksum.
QByteArray S1(int address, const QByteArray &data)
{
    const int count = int(data.size()) + 3;
    int sum = count + (address >> 8) + (address & 0xFF);
    QByteArray line = "S1" + QByteArray::number(count, 16).rightJustified(2, '0') +
                      QByteArray::number(address, 16).rightJustified(4, '0');
    for (char b : data) {
        sum += quint8(b);
        line += QByteArray::number(quint8(b), 16).rightJustified(2, '0');
    }
    return (line + QByteArray::number((~sum) & 0xFF, 16).rightJustified(2, '0')).toUpper();
}

struct TMonitorRun : TWindowRig {
    TMonitorRun() : TWindowRig(false, {"COM1", "COM2"})
    {
        port.SetUnit(&unit);
        Path = files.filePath(QStringLiteral("T3770_0417.s19"));
        QFile file(Path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("S00600004844521B\r\n" + S1(0x4000, "\x01\x02\x03") + "\r\n" + S1(0x4003, "\x10\x20") + "\r\n" +
                   S1(0x4005, "\x7F") + "\r\nS9030000FC\r\n");
        file.close();
        GoToPortPage(QStringLiteral("TVR-3770 Resistance Grounded Relay"));
        Browse(Path);
        Next(); // the real format check, then the probe
    }
    TMonitorUnit unit;
    QString Path;
};

TEST(WizardRun, ChecksTheFileAndUpdatesAResistorMonitorEndToEnd)
{
    TMonitorRun run;
    ASSERT_EQ(run.State().CurrentPage, 4);
    EXPECT_TRUE(run.Control<QTextEdit>("RichEditSummary")->toPlainText().endsWith(QStringLiteral("COM1")));

    run.Next(); // Begin
    EXPECT_TRUE(run.unit.Finished);
    EXPECT_EQ(run.unit.Programmed.size(), 6);
    EXPECT_EQ(run.unit.Programmed.value(0x4005), 0x7F);
    EXPECT_EQ(run.window->StatusText(), FlowTexts::UpdateComplete);
    EXPECT_EQ(run.Control<QLabel>("LabelSREClines")->text(), QStringLiteral("3"));
    auto *gauge = run.Control<QProgressBar>("ProgressBar1");
    EXPECT_GT(gauge->value(), 0);
    ASSERT_FALSE(run.window->Boxes.isEmpty());
    EXPECT_EQ(run.window->Boxes.first().Title, FlowTexts::BeginTitle);
    EXPECT_EQ(run.window->Boxes.first().Icon, QMessageBox::Question);
    EXPECT_EQ(run.window->Boxes.last().Title, FlowTexts::UpdateDoneTitle);
    EXPECT_FALSE(run.port.Connected());
    EXPECT_EQ(run.State().CurrentPage, 5);
    EXPECT_FALSE(run.State().UpdateActive);
    EXPECT_TRUE(run.Button("ButtonBack")->isEnabled());
    EXPECT_EQ(run.Button("ButtonExit")->text(), QStringLiteral("Exit"));
}

TEST(WizardRun, StopPressedWhileTheBootloaderGoesOutStopsTheUpdate)
{
    TMonitorRun run;
    ASSERT_EQ(run.State().CurrentPage, 4);
    // The technician presses Stop as soon as the flow waits after the begin question.
    bool pressed = false;
    run.window->OnBox = [&](const TShownBox &box) {
        if (box.Title == FlowTexts::BeginTitle)
            run.clock.ScheduleIn(1, [&] {
                pressed = true;
                EXPECT_EQ(run.Button("ButtonExit")->text(), QStringLiteral("Stop"));
                run.Button("ButtonExit")->click();
            });
    };
    run.Next();
    EXPECT_TRUE(pressed);
    EXPECT_EQ(run.window->StatusText(), FlowTexts::BootloaderStopped);
    EXPECT_FALSE(run.unit.Finished);
    EXPECT_TRUE(run.unit.Programmed.isEmpty());
    EXPECT_FALSE(run.port.Connected());
    // The wizard clears the request once the flow has returned.
    EXPECT_FALSE(run.State().StopRequested);
    EXPECT_FALSE(run.State().UpdateActive);
    EXPECT_EQ(run.Button("ButtonExit")->text(), QStringLiteral("Exit"));
    EXPECT_EQ(run.window->Terminations, 0);
}

} // namespace
