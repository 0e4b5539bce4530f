// A pulled cable at each phase of each update, in real time through the real window: the unit
// closes its end of the pseudo-terminal, so the program's reads and writes on the port fail as
// on a line that is gone. The update must end without a hang, say why on the status line, let
// go of the port, and the next update, once the cable is back in, must run to the end.
#include <QRandomGenerator>

#include "tests/e2e/PtyRig.h"

namespace {

// The unit behind the line. A technician who plugs the cable back in also sets the unit to its
// update or bootloader mode again, which is a fresh start for the unit's side of the protocol.
class TReplugUnit : public TUnitModel, private TUnitLine {
public:
    void Plug(std::unique_ptr<TUnitModel> unit)
    {
        unit_ = std::move(unit);
        unit_->AttachLine(this);
    }
    TUnitModel &Current() const { return *unit_; }
    void FromHost(const QByteArray &bytes) override { unit_->FromHost(bytes); }
    QString Summary() const override { return unit_->Summary(); }

private:
    void SendToHost(const QByteArray &bytes, qint64 delayMs) override { Answer(bytes, delayMs); }
    void HangUp(qint64 delayMs) override { Respond(std::nullopt, delayMs, true); }
    std::unique_ptr<TUnitModel> unit_;
};

std::unique_ptr<TUnitModel> UnitWithFault(TFamily family, const char *rule)
{
    TFaultScript script;
    if (rule) {
        const auto parsed = TFaultScript::ParseRule(QString::fromLatin1(rule));
        EXPECT_TRUE(parsed) << rule;
        if (parsed)
            script.Rules.push_back(*parsed);
    }
    switch (family) {
    case TFamily::UpdateMode: return std::make_unique<TUpdateModeUnit>(script);
    case TFamily::Monitor: return std::make_unique<TMonitorUnit>(script);
    case TFamily::Module: return std::make_unique<TModuleUnit>(script);
    }
    return nullptr;
}

bool UnitFinished(TFamily family, const TUnitModel &unit)
{
    switch (family) {
    case TFamily::UpdateMode: return static_cast<const TUpdateModeUnit &>(unit).Finished;
    case TFamily::Monitor:
    case TFamily::Module: return static_cast<const TBootloaderUnit &>(unit).Finished;
    }
    return false;
}

struct TFamilySetup {
    TFamily Family;
    bool OfferBrandChoice;
    const char *Product;
    const char *FileName;
    int LineBaud;
};

const TFamilySetup UpdateModeRelay{TFamily::UpdateMode, false, "TVR-4200 Motor Protection Relay", "T4200171.s19", 57600};
const TFamilySetup ResistorMonitor{TFamily::Monitor, false, "TVR-3770 Resistance Grounded Relay", "T37700170.s19", 19200};
const TFamilySetup CommsModule{TFamily::Module, true, "KLN-12B Communications Module Only", "GRA0170.s19", 9600};

const QString &ContactStageStopped = FlowTexts::EraseTexts::StoppedProcess;

// One update with the cable pulled at some point, then the cable back in and a second update.
struct TCablePull {
    QString Name;
    TFamilySetup Setup;
    const char *Rule = nullptr;   // the unit pulls the cable at this exchange ...
    qint64 CutAfterBytes = -1;    // ... or once the program has sent this many bytes
    qint64 CutDelayMs = 0;
    QStringList Statuses;         // what the status line may say at the end of the first update
};

void PrintTo(const TCablePull &c, std::ostream *os) { *os << c.Name.toStdString(); }

void RunCablePull(const TCablePull &c)
{
    TReplugUnit unit;
    unit.Plug(UnitWithFault(c.Setup.Family, c.Rule));
    TPtyRig rig(unit, c.Setup.OfferBrandChoice, c.Setup.LineBaud);
    if (!rig.Ready())
        GTEST_SKIP() << "no pseudo-terminal: " << rig.Error.toStdString();
    QTemporaryDir folder;
    rig.pty.CutAfterHostBytes = c.CutAfterBytes;
    rig.pty.CutDelayMs = c.CutDelayMs;
    ASSERT_TRUE(rig.pty.Reconnect(&rig.Error)) << rig.Error.toStdString();
    ASSERT_TRUE(rig.UseLink(folder.filePath(QStringLiteral("ttyV0")))) << rig.Error.toStdString();
    const TUpdateFile file = MakeUpdateFile(c.Setup.Family, folder.filePath(QString::fromLatin1(c.Setup.FileName)));

    rig.GoToSummary(QString::fromLatin1(c.Setup.Product), file.Path);
    if (::testing::Test::HasFatalFailure())
        return;

    // Begin: the update runs until the cable comes out and must end on its own.
    QElapsedTimer timer;
    timer.start();
    rig.Next();
    const qint64 firstRunMs = timer.elapsed();
    EXPECT_TRUE(rig.pty.LineCut()) << "the cable was never pulled";
    EXPECT_TRUE(c.Statuses.contains(rig.window->StatusText()))
        << "status: \"" << rig.window->StatusText().toStdString() << "\"";
    // Only the question before the update: a failed port is no reason for a Stop question.
    EXPECT_EQ(Titles(rig.window->Boxes), QStringList{FlowTexts::BeginTitle});
    rig.ExpectWizardAfterTheFlow();
    EXPECT_FALSE(rig.window->State.StopRequested);
    // Every wait ended at the failure, not at a time-out: the longest wait of the first part of
    // any flow is the 20 s erase, and no phase here needs it.
    EXPECT_LT(firstRunMs, 19000);
    if (::testing::Test::HasFailure())
        return;

    // The cable back in, the unit set to its mode again; Back to the summary and Begin.
    rig.pty.WithModel([&](TUnitModel &) { unit.Plug(UnitWithFault(c.Setup.Family, nullptr)); });
    rig.pty.CutAfterHostBytes = -1;
    ASSERT_TRUE(rig.pty.Reconnect(&rig.Error)) << rig.Error.toStdString();
    rig.window->Boxes.clear();
    rig.tap.Wire.clear();
    rig.Button("ButtonBack")->click();
    ASSERT_EQ(rig.Page(), 4);
    rig.Next();

    const QByteArray expected = ExpectedWire(c.Setup.Family, file);
    EXPECT_TRUE(SameBytes(rig.FinishLine(expected.size()), expected));
    EXPECT_EQ(rig.window->StatusText(), FlowTexts::UpdateComplete);
    EXPECT_TRUE(UnitFinished(c.Setup.Family, unit.Current()));
    rig.ExpectWizardAfterTheFlow();
}

class CablePulled : public ::testing::TestWithParam<TCablePull> {};

TEST_P(CablePulled, UpdateEndsWithTheLinesFailureAndTheNextUpdateCompletes) { RunCablePull(GetParam()); }

std::string CaseName(const ::testing::TestParamInfo<TCablePull> &info) { return info.param.Name.toStdString(); }

// A receive that fails ends as a stop; a send that fails gives the send-failure status. Where
// the program waits before its next command (the status holds, the bootloader's waits), the
// cable comes out during the wait and that command's write fails.
INSTANTIATE_TEST_SUITE_P(
    AtEachPhase, CablePulled,
    ::testing::Values(
        TCablePull{QStringLiteral("UpdateModeContact"), UpdateModeRelay, "contact@1=hangup*1", -1, 0, {ContactStageStopped}},
        TCablePull{QStringLiteral("UpdateModeWaitBeforeErase"), UpdateModeRelay, "contact@1=P+hangup*1", -1, 0, {LinkTexts::SendFailed}},
        TCablePull{QStringLiteral("UpdateModeErase"), UpdateModeRelay, "erase@1=hangup*1", -1, 0, {ContactStageStopped}},
        TCablePull{QStringLiteral("UpdateModeHoldAfterErase"), UpdateModeRelay, "erase@1=p+hangup*1", -1, 0, {LinkTexts::SendFailed}},
        TCablePull{QStringLiteral("UpdateModeLine"), UpdateModeRelay, "line@5=hangup*1", -1, 0, {LinkTexts::UserStopped}},
        TCablePull{QStringLiteral("UpdateModeEndRecord"), UpdateModeRelay, "line@22=hangup*1", -1, 0, {LinkTexts::UserStopped}},
        TCablePull{QStringLiteral("MonitorBootloaderBlock"), ResistorMonitor, nullptr, 200, 0, {LinkTexts::SendFailed}},
        TCablePull{QStringLiteral("MonitorWaitAfterBlock"), ResistorMonitor, nullptr, 514, 1000, {LinkTexts::SendFailed}},
        TCablePull{QStringLiteral("MonitorContact"), ResistorMonitor, "contact@1=hangup*1", -1, 0, {FlowTexts::NoContact}},
        TCablePull{QStringLiteral("MonitorDataByte"), ResistorMonitor, "byte@10=hangup*1", -1, 0, {LinkTexts::UserStopped}},
        TCablePull{QStringLiteral("MonitorEnd"), ResistorMonitor, "end@1=hangup*1", -1, 0, {LinkTexts::UserStopped}},
        TCablePull{QStringLiteral("ModuleBootloaderBlock"), CommsModule, nullptr, 400, 0, {LinkTexts::SendFailed}},
        TCablePull{QStringLiteral("ModuleWaitAfterBlock"), CommsModule, nullptr, 1025, 2500, {LinkTexts::SendFailed}},
        TCablePull{QStringLiteral("ModuleContact"), CommsModule, "contact@1=hangup*1", -1, 0, {FlowTexts::NoContact}},
        TCablePull{QStringLiteral("ModuleRecord"), CommsModule, "record@7=hangup*1", -1, 0, {LinkTexts::UserStopped}},
        TCablePull{QStringLiteral("ModuleEnd"), CommsModule, "end@1=hangup*1", -1, 0, {LinkTexts::UserStopped}}),
    CaseName);

// Cuts at points drawn at random over the exchange of each flow, from a fixed seed, so that a
// failing point can be run again by its name. Whatever the point, the update ends with
// one of the line's failure texts, never as complete and never as an unexpected error.
std::vector<TCablePull> RandomCuts()
{
    const QStringList anyFailure = {ContactStageStopped, LinkTexts::SendFailed, LinkTexts::UserStopped,
                                    FlowTexts::NoContact};
    std::vector<TCablePull> cuts;
    const struct {
        const char *Name;
        TFamilySetup Setup;
    } families[] = {{"UpdateMode", UpdateModeRelay}, {"Monitor", ResistorMonitor}, {"Module", CommsModule}};
    const quint32 seed = 20261208;
    QRandomGenerator random(seed);
    for (const auto &family : families) {
        QTemporaryDir folder;
        const TUpdateFile file = MakeUpdateFile(family.Setup.Family, folder.filePath(QString::fromLatin1(family.Setup.FileName)));
        // A cut before the end exchange: a cut after the end record (the update-mode unit's last
        // line and its restart command) or the end command lets the update complete.
        const qint64 endExchange = family.Setup.Family == TFamily::UpdateMode ? file.Lines.last().size() + 3 : 1;
        const qint64 span = ExpectedWire(family.Setup.Family, file).size() - endExchange;
        for (int i = 0; i < 3; ++i) {
            const qint64 at = qint64(random.bounded(quint32(span)));
            cuts.push_back({QStringLiteral("%1AfterByte%2").arg(QLatin1String(family.Name)).arg(at), family.Setup,
                            nullptr, at, 0, anyFailure});
        }
    }
    return cuts;
}

INSTANTIATE_TEST_SUITE_P(AtRandomPoints, CablePulled, ::testing::ValuesIn(RandomCuts()), CaseName);

} // namespace
