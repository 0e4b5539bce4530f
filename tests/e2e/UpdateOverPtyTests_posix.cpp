// Whole updates in real time: the real window on its real serial port and the system clock,
// driven as a technician drives it, against a simulated unit on the far side of a
// pseudo-terminal. Every byte the unit takes is kept, so what went over the line can be held
// against the update file.
#include "tests/e2e/PtyRig.h"

namespace {

// ---------------------------------------------------------------------------------------------
// A whole update of each unit family

struct TFamilyCase {
    const char *Name;
    TFamily Family;
    bool OfferBrandChoice;
    const char *Product;
    const char *FileName;
    int LineBaud; // the flow's bit rate, played on the pseudo-terminal
};

void PrintTo(const TFamilyCase &c, std::ostream *os) { *os << c.Name; }

class UpdateOverPty : public ::testing::TestWithParam<TFamilyCase> {};

TEST_P(UpdateOverPty, TheUnitReceivesExactlyTheFileAndTheWindowReportsCompletion)
{
    const TFamilyCase &c = GetParam();
    const std::unique_ptr<TUnitModel> unit = MakeUnit(c.Family);
    TPtyRig rig(*unit, c.OfferBrandChoice, c.LineBaud);
    if (!rig.Ready())
        GTEST_SKIP() << "no pseudo-terminal: " << rig.Error.toStdString();
    QTemporaryDir folder;
    const TUpdateFile file = MakeUpdateFile(c.Family, folder.filePath(QString::fromLatin1(c.FileName)));

    rig.GoToSummary(QString::fromLatin1(c.Product), file.Path);
    if (HasFatalFailure())
        return;
    EXPECT_TRUE(rig.Control<QTextEdit>("RichEditSummary")->toPlainText().endsWith(rig.pty.SlavePath()));
    rig.Next(); // Begin: runs the whole update; every question is answered Yes

    const QByteArray expected = ExpectedWire(c.Family, file);
    EXPECT_TRUE(SameBytes(rig.FinishLine(expected.size()), expected));
    EXPECT_EQ(rig.window->StatusText(), FlowTexts::UpdateComplete);
    rig.ExpectWizardAfterTheFlow();

    const QStringList titles = Titles(rig.window->Boxes);
    ASSERT_EQ(titles.size(), 2) << titles.join(QStringLiteral(" | ")).toStdString();
    EXPECT_EQ(titles.first(), FlowTexts::BeginTitle);

    switch (c.Family) {
    case TFamily::UpdateMode: {
        const auto &u = static_cast<const TUpdateModeUnit &>(*unit);
        EXPECT_EQ(u.Lines, file.Lines);
        EXPECT_EQ(u.Accepted, file.Lines);
        EXPECT_TRUE(u.Finished);
        EXPECT_TRUE(u.Restarted) << "no X after Yes to the restart question";
        EXPECT_TRUE(u.Commands.endsWith('X'));
        EXPECT_TRUE(titles.last().startsWith(QStringLiteral("Restart"))) << titles.last().toStdString();
        // Every line but the end record was acknowledged with ".".
        rig.ExpectProgressShows(file.Lines.size() - 1);
        break;
    }
    case TFamily::Monitor: {
        const auto &u = static_cast<const TMonitorUnit &>(*unit);
        QMap<int, quint8> fileBytes;
        for (const TDataRecord &record : file.Records)
            for (qsizetype j = 0; j < record.Data.size(); ++j)
                fileBytes[int(record.Address + quint32(j))] = quint8(record.Data.at(j));
        EXPECT_EQ(u.Programmed, fileBytes);
        EXPECT_TRUE(u.BlockMatchesImage);
        EXPECT_EQ(u.BlocksReceived, 1);
        EXPECT_TRUE(u.Finished);
        EXPECT_EQ(titles.last(), FlowTexts::UpdateDoneTitle);
        EXPECT_EQ(rig.window->Boxes.last().Text, FlowTexts::UpdateDoneBox);
        rig.ExpectProgressShows(file.Records.size());
        break;
    }
    case TFamily::Module: {
        const auto &u = static_cast<const TModuleUnit &>(*unit);
        QList<QByteArray> s1;
        for (const QByteArray &line : file.Lines)
            if (line.startsWith("S1"))
                s1 << line;
        EXPECT_EQ(u.Records, s1);
        EXPECT_EQ(u.RecordsAccepted, s1.size());
        EXPECT_TRUE(u.BlockMatchesImage);
        EXPECT_EQ(u.BlocksReceived, 1);
        EXPECT_TRUE(u.Finished);
        EXPECT_EQ(titles.last(), FlowTexts::UpdateDoneTitle);
        EXPECT_EQ(rig.window->Boxes.last().Text, FlowTexts::UpdateDoneBox);
        rig.ExpectProgressShows(s1.size());
        break;
    }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Families, UpdateOverPty,
    ::testing::Values(
        TFamilyCase{"UpdateModeRelay", TFamily::UpdateMode, false, "TVR-4200 Motor Protection Relay", "T4200170.s19", 57600},
        TFamilyCase{"ResistorMonitor", TFamily::Monitor, false, "TVR-3770 Resistance Grounded Relay", "T37700170.s19", 19200},
        TFamilyCase{"CommunicationsModule", TFamily::Module, true, "KLN-12B Communications Module Only", "GRA0170.s19", 9600}),
    [](const ::testing::TestParamInfo<TFamilyCase> &info) { return std::string(info.param.Name); });

// ---------------------------------------------------------------------------------------------
// Faults in the line phase of an update-mode relay

struct TFaultCase {
    const char *Name;
    const char *Rule;             // the unit's fault at the third line
    bool PressStop;               // Stop pressed once the unit has the third line
    int ThirdLineSent;            // how often the third line went out
    const char *Trailer;          // what follows on the line
    const QString *Status;        // the status line at the end
    const QString *LastBoxTitle;
    const char *LastBoxOpening;   // how the last box's text begins
};

void PrintTo(const TFaultCase &c, std::ostream *os) { *os << c.Name; }

class UpdateModeFaultOverPty : public ::testing::TestWithParam<TFaultCase> {};

TEST_P(UpdateModeFaultOverPty, EndsTheUpdateAndReportsIt)
{
    const TFaultCase &c = GetParam();
    TFaultScript script;
    QString error;
    const auto rule = TFaultScript::ParseRule(QString::fromLatin1(c.Rule), &error);
    ASSERT_TRUE(rule) << error.toStdString();
    script.Rules.push_back(*rule);
    TUpdateModeUnit unit(script);
    TPtyRig rig(unit, false, 57600);
    if (!rig.Ready())
        GTEST_SKIP() << "no pseudo-terminal: " << rig.Error.toStdString();
    QTemporaryDir folder;
    const TUpdateFile file = MakeUpdateFile(TFamily::UpdateMode, folder.filePath(QStringLiteral("T4200171.s19")));
    rig.GoToSummary(QStringLiteral("TVR-4200 Motor Protection Relay"), file.Path);
    if (HasFatalFailure())
        return;

    // The technician presses Stop while the flow waits for the unit's answer to the third line.
    bool pressed = false;
    QString exitCaptionWhenPressed;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        qsizetype lines = 0;
        rig.pty.WithModel([&](TUnitModel &) { lines = unit.Lines.size(); });
        if (c.PressStop && !pressed && lines >= 3) {
            pressed = true;
            exitCaptionWhenPressed = rig.Button("ButtonExit")->text();
            rig.Button("ButtonExit")->click();
        }
    });
    watch.start();
    rig.Next(); // Begin
    watch.stop();

    QByteArray expected = "Pp" + UpdateModeLines(file.Lines.mid(0, 2));
    for (int i = 0; i < c.ThirdLineSent; ++i)
        expected += UpdateModeLines({file.Lines.at(2)});
    expected += c.Trailer;
    EXPECT_TRUE(SameBytes(rig.FinishLine(expected.size()), expected));

    EXPECT_EQ(pressed, c.PressStop);
    if (c.PressStop) {
        EXPECT_EQ(exitCaptionWhenPressed, QString::fromUtf8(WizardTexts::StopCaption));
    }
    EXPECT_EQ(rig.window->StatusText(), *c.Status);
    const QStringList titles = Titles(rig.window->Boxes);
    ASSERT_EQ(titles.size(), 2) << titles.join(QStringLiteral(" | ")).toStdString();
    EXPECT_EQ(titles.first(), FlowTexts::BeginTitle);
    EXPECT_EQ(titles.last(), *c.LastBoxTitle);
    EXPECT_TRUE(rig.window->Boxes.last().Text.startsWith(QString::fromLatin1(c.LastBoxOpening)))
        << rig.window->Boxes.last().Text.toStdString();

    EXPECT_EQ(unit.Accepted, file.Lines.mid(0, 2));
    EXPECT_FALSE(unit.Finished);
    EXPECT_EQ(unit.Quit, c.PressStop);
    EXPECT_FALSE(unit.Restarted);
    rig.ExpectProgressShows(2);
    rig.ExpectWizardAfterTheFlow();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, UpdateModeFaultOverPty,
    ::testing::Values(
        // Four checksum errors use up the line's attempts.
        TFaultCase{"ChecksumErrorOnEveryAttempt", "line@3=C*4", false, 4, "", &FlowTexts::ErrorCStatus,
                   &FlowTexts::UpdateErrorTitle, "Error 'C'"},
        // Stop confirmed while the answer is awaited: the unit is told to quit.
        TFaultCase{"StopConfirmedWhileAwaitingTheAnswer", "line@3=silent*1", true, 1, "Q", &LinkTexts::UserStopped,
                   &LinkTexts::StopPromptTitle, "WARNING"}),
    [](const ::testing::TestParamInfo<TFaultCase> &info) { return std::string(info.param.Name); });

} // namespace
