#pragma once

// One failure of an update, played in real time: the real window on its real serial port
// against a simulated unit behind a pseudo-terminal, the unit misbehaving by its fault script
// and the technician (or the file system) doing one thing at the right moment. A row names the
// fault and the action and what the technician must see at the end: every message box in
// order, the final status line, the progress, and the wizard back at rest with the port free.
//
// Moments are caught where the flow itself marks them: a status text (a press of Stop is then
// queued like a real click and reaches the flow in its next wait; a file is deleted or a cable
// pulled at once), a question box, or the unit meeting a silent fault (the host is then inside
// its wait for that answer). A pulled cable takes its pseudo-terminal with it, so those rows
// check that the program holds nothing instead of opening the port again.
#include <QMetaObject>
#include <QStatusBar>
#include <optional>
#include <vector>

#include "tests/e2e/PtyRig.h"

namespace sweep {

// What the technician or the file system does besides answering every question Yes.
enum class THost {
    None,
    PortGone,           // the unit's line disappears after the summary, before Begin
    FileGone,           // the update file is deleted after the summary, before Begin
    NoAtBegin,          // No to "Begin Update?"
    InvalidFile,        // the update file is replaced by a malformed one before Begin
    StopInFormatCheck,  // Stop pressed as the flow's own format check starts
    StopOnStatus,       // Stop pressed when the status line first reads Trigger
    StopWhileUnitSilent,// Stop pressed once the unit has swallowed an item without answering
    DeleteOnStatus,     // the update file deleted when the status line first reads Trigger
    DropEndOnStatus,    // the update file loses its end record when the status first reads Trigger
    CutOnStatus,        // the cable is pulled when the status line first reads Trigger
};

// The update file a row starts from.
enum class TFileKind {
    Short,         // header, two data records, end record
    LowerCaseDigit,// the second record's last data digit in lower case (the format check lets it pass)
    PastTopAddress // one record of two bytes at 0xFFFF: the second would lie beyond 16 bits
};

struct TBox {
    const QString *Title;
    const QString *Text;
};

struct TSweepRow {
    const char *Name;
    TFamily Family;
    std::vector<const char *> Rules = {}; // the unit's fault script
    THost Host = THost::None;
    const QString *Trigger = nullptr;   // the status text a *OnStatus action waits for
    std::vector<TBox> Boxes = {};       // every box after "Begin Update?" (that one is implied
                                        // unless the flow ends before asking it)
    const QString *Status = nullptr;    // the status line at the end
    int Progress = 0;                   // acknowledged lines or records on the gauge and label
    TFileKind File = TFileKind::Short;
    bool UnitToldToQuit = false;        // update-mode unit: "Q" reached it
    bool NothingSent = false;           // the unit took no byte at all
    int ItemsTaken = -1;                // lines, data-byte commands or records the unit took,
                                        // attempts included (-1: not looked at)
};

inline void PrintTo(const TSweepRow &row, std::ostream *os) { *os << row.Name; }

inline std::string RowName(const ::testing::TestParamInfo<TSweepRow> &info) { return info.param.Name; }

// Boxes every row may expect.
inline const TBox StopPrompt{&LinkTexts::StopPromptTitle, &LinkTexts::StopPromptText};
inline const TBox FileUnreadableBox{&FlowTexts::FileErrorTitle, &FlowTexts::FileUnreadable};
inline const TBox EofBox{&FlowTexts::UpdateErrorTitle, &FlowTexts::EofBox};
inline const TBox FormatErrorBox{&FileTexts::FormatErrorTitle, &FileTexts::FormatErrorText};
inline TBox UpdateError(const QString &text) { return {&FlowTexts::UpdateErrorTitle, &text}; }

// ---------------------------------------------------------------------------------------------
// The families as the window offers them

struct TFamilySetup {
    bool OfferBrandChoice;
    const char *Product;
    const char *FileName;
    int LineBaud;
    const QString *Question; // the "Begin Update?" text
};

inline TFamilySetup SetupOf(TFamily family)
{
    switch (family) {
    case TFamily::UpdateMode:
        return {false, "TVR-4200 Motor Protection Relay", "T4200170.s19", 57600, &FlowTexts::UpdateModeQuestion};
    case TFamily::Monitor:
        return {false, "TVR-3770 Resistance Grounded Relay", "T37700170.s19", 19200, &FlowTexts::UpdateModeQuestion};
    case TFamily::Module:
        break;
    }
    return {true, "KLN-12B Communications Module Only", "GRA0170.s19", 9600, &FlowTexts::ModuleTexts::BootloaderQuestion};
}

// The lines of a row's update file, short so that each row costs little more than its waits.
inline QList<QByteArray> FileLines(TFamily family, TFileKind kind)
{
    const bool wide = family == TFamily::UpdateMode; // 32-bit addresses (S3/S7)
    const char *data = wide ? "S3" : "S1";
    const int addressBytes = wide ? 4 : 2;
    const quint32 base = wide ? 0x00012000 : 0x2000;
    QList<QByteArray> lines{RecordLine("S0", 2, 0, "HDR")};
    if (kind == TFileKind::PastTopAddress) {
        lines << RecordLine(data, addressBytes, 0xFFFF, QByteArray::fromHex("1122"));
    } else {
        lines << RecordLine(data, addressBytes, base, QByteArray::fromHex("12345678").left(wide ? 4 : 2));
        QByteArray second = RecordLine(data, addressBytes, base + 4, QByteArray::fromHex("0B7A9ABC").left(wide ? 4 : 2));
        if (kind == TFileKind::LowerCaseDigit)
            second[4 + 2 * addressBytes + 3] = 'a'; // "7A" -> "7a": the second data byte
        lines << second;
    }
    lines << RecordLine(wide ? "S7" : "S9", addressBytes, 0, {});
    return lines;
}

inline void WriteLines(const QString &path, const QList<QByteArray> &lines)
{
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    for (const QByteArray &line : lines)
        out.write(line + "\r\n");
}

// A file whose second line is no record at all: the format check rejects it with its box.
inline QList<QByteArray> MalformedLines() { return {RecordLine("S0", 2, 0, "HDR"), "not a record"}; }

// ---------------------------------------------------------------------------------------------
// The run of one row

class TSweepRun {
public:
    explicit TSweepRun(const TSweepRow &row) : row_(row), setup_(SetupOf(row.Family)) {}

    void Run()
    {
        TFaultScript script;
        for (const char *text : row_.Rules) {
            QString error;
            const auto rule = TFaultScript::ParseRule(QString::fromLatin1(text), &error);
            ASSERT_TRUE(rule) << text << ": " << error.toStdString();
            script.Rules.push_back(*rule);
        }
        MakeUnit(script);

        TPtyRig rig(*unit_, setup_.OfferBrandChoice, setup_.LineBaud);
        if (!rig.Ready())
            GTEST_SKIP() << "no pseudo-terminal: " << rig.Error.toStdString();
        QTemporaryDir folder;
        path_ = folder.filePath(QString::fromLatin1(setup_.FileName));
        lines_ = FileLines(row_.Family, row_.File);
        WriteLines(path_, lines_);
        rig.GoToSummary(QString::fromLatin1(setup_.Product), path_);
        if (::testing::Test::HasFatalFailure())
            return;

        BeforeBegin(rig);
        WatchTheFlow(rig);
        rig.Next(); // Begin: the flow runs to its end inside the click
        watch_.stop();

        ExpectOutcome(rig);
    }

private:
    void MakeUnit(const TFaultScript &script)
    {
        switch (row_.Family) {
        case TFamily::UpdateMode: {
            auto unit = std::make_unique<TUpdateModeUnit>(script);
            updateMode_ = unit.get();
            faultsApplied_ = [u = unit.get()] { return u->Faults.size(); };
            itemsTaken_ = [u = unit.get()] { return u->Lines.size(); };
            unit_ = std::move(unit);
            break;
        }
        case TFamily::Monitor: {
            auto unit = std::make_unique<TMonitorUnit>(script);
            faultsApplied_ = [u = unit.get()] { return u->Faults.size(); };
            itemsTaken_ = [u = unit.get()] { return qsizetype(u->DataCommands); };
            unit_ = std::move(unit);
            break;
        }
        case TFamily::Module: {
            auto unit = std::make_unique<TModuleUnit>(script);
            faultsApplied_ = [u = unit.get()] { return u->Faults.size(); };
            itemsTaken_ = [u = unit.get()] { return u->Records.size(); };
            unit_ = std::move(unit);
            break;
        }
        }
    }

    // The technician presses Stop; the click waits in the window's queue like a real one and is
    // handled by the next wait that dispatches window events.
    void PressStopLater(TPtyRig &rig)
    {
        QAbstractButton *exit = rig.Button("ButtonExit");
        QMetaObject::invokeMethod(
            exit,
            [this, exit] {
                captionWhenPressed_ = exit->text();
                exit->click();
            },
            Qt::QueuedConnection);
    }

    void BeforeBegin(TPtyRig &rig)
    {
        switch (row_.Host) {
        case THost::PortGone: rig.pty.Stop(); break;
        case THost::FileGone: ASSERT_TRUE(QFile::remove(path_)); break;
        case THost::NoAtBegin: rig.window->Answers.push_back(false); break;
        case THost::InvalidFile: WriteLines(path_, MalformedLines()); break;
        case THost::StopInFormatCheck:
            // Stop goes in while the question is up; the check that follows is the first to
            // dispatch it.
            rig.window->OnBox = [this, &rig](const TShownBox &box) {
                if (box.Title == FlowTexts::BeginTitle && !acted_) {
                    acted_ = true;
                    PressStopLater(rig);
                }
            };
            break;
        default: break;
        }
    }

    void WatchTheFlow(TPtyRig &rig)
    {
        auto *bar = rig.window->findChild<QStatusBar *>(QStringLiteral("StatusBar1"));
        ASSERT_NE(bar, nullptr);
        // Every status the flow shows, for the account of a failed row.
        QObject::connect(bar, &QStatusBar::messageChanged, bar, [this](const QString &text) {
            if (!text.isEmpty())
                statuses_ << text;
        });
        if (row_.Trigger) {
            QObject::connect(bar, &QStatusBar::messageChanged, bar, [this, &rig](const QString &text) {
                if (acted_ || text != *row_.Trigger)
                    return;
                acted_ = true;
                switch (row_.Host) {
                case THost::StopOnStatus: PressStopLater(rig); break;
                case THost::DeleteOnStatus: EXPECT_TRUE(QFile::remove(path_)); break;
                case THost::DropEndOnStatus: WriteLines(path_, lines_.mid(0, lines_.size() - 1)); break;
                case THost::CutOnStatus: rig.pty.HangUp(0); break;
                default: break;
                }
            });
        }
        if (row_.Host == THost::StopWhileUnitSilent) {
            // The unit has met its silent fault: the host now waits for an answer that will not
            // come, and the press reaches it inside that wait.
            watch_.setInterval(20);
            QObject::connect(&watch_, &QTimer::timeout, &watch_, [this, &rig] {
                qsizetype faults = 0;
                rig.pty.WithModel([&](TUnitModel &) { faults = faultsApplied_(); });
                if (!acted_ && faults > 0) {
                    acted_ = true;
                    captionWhenPressed_ = rig.Button("ButtonExit")->text();
                    rig.Button("ButtonExit")->click();
                }
            });
            watch_.start();
        }
    }

    void ExpectOutcome(TPtyRig &rig)
    {
        const bool acts = row_.Host == THost::StopInFormatCheck || row_.Trigger || row_.Host == THost::StopWhileUnitSilent;
        if (acts) {
            EXPECT_TRUE(acted_) << "the moment for the row's action never came";
        }
        if (!captionWhenPressed_.isEmpty()) {
            EXPECT_EQ(captionWhenPressed_.toStdString(), std::string(WizardTexts::StopCaption));
        }

        // Every box, in order; "Begin Update?" first unless the flow ended before asking.
        std::vector<TBox> expected;
        if (row_.Host != THost::PortGone && row_.Host != THost::FileGone)
            expected.push_back({&FlowTexts::BeginTitle, setup_.Question});
        expected.insert(expected.end(), row_.Boxes.begin(), row_.Boxes.end());
        QStringList want;
        QStringList got;
        for (const TBox &box : expected)
            want << *box.Title + QStringLiteral(": ") + *box.Text;
        for (const TShownBox &box : rig.window->Boxes)
            got << box.Title + QStringLiteral(": ") + box.Text;
        EXPECT_EQ(got.join(QLatin1Char('\n')).toStdString(), want.join(QLatin1Char('\n')).toStdString());

        EXPECT_EQ(rig.window->StatusText().toStdString(), row_.Status->toStdString())
            << "statuses shown: " << statuses_.join(QStringLiteral(" | ")).toStdString();
        // The label counts every acknowledged line; the gauge stops at its maximum.
        auto *gauge = rig.Control<QProgressBar>("ProgressBar1");
        EXPECT_EQ(gauge->value(), qMin(row_.Progress, gauge->maximum()));
        EXPECT_EQ(rig.Control<QLabel>("LabelSREClines")->text().toStdString(), std::to_string(row_.Progress));
        rig.ExpectWizardAfterTheFlow();
        EXPECT_FALSE(rig.window->State.StopRequested) << "the wizard did not clear the stop after the flow";

        if (CutsTheLine()) {
            // The cable was pulled: its line is gone with it. The program must hold nothing.
            EXPECT_TRUE(rig.pty.LineCut()) << "the line was never cut";
            rig.pty.Stop();
            ExpectUnitRecord();
            return;
        }
        if (row_.Host == THost::PortGone) {
            // The line is gone, so nobody can open it again; the program must simply not hold
            // on to anything, and nothing reached the unit before it went.
            EXPECT_FALSE(rig.window->ComPort().Connected());
            EXPECT_TRUE(rig.tap.Wire.isEmpty());
            return;
        }
        const QByteArray wire = rig.FinishLine(0); // opens the port once more: it must be free
        if (row_.NothingSent) {
            EXPECT_TRUE(wire.isEmpty()) << wire.toHex(' ').toStdString();
        }
        ExpectUnitRecord();
    }

    bool CutsTheLine() const
    {
        if (row_.Host == THost::CutOnStatus)
            return true;
        for (const char *rule : row_.Rules)
            if (QByteArray(rule).contains("hangup"))
                return true;
        return false;
    }

    // What the unit took, read once its line has ended.
    void ExpectUnitRecord() const
    {
        if (row_.ItemsTaken >= 0) {
            EXPECT_EQ(itemsTaken_(), row_.ItemsTaken);
        }
        if (updateMode_) {
            EXPECT_EQ(updateMode_->Quit, row_.UnitToldToQuit);
            EXPECT_FALSE(updateMode_->Restarted);
        }
    }

    const TSweepRow &row_;
    const TFamilySetup setup_;
    std::unique_ptr<TUnitModel> unit_;
    TUpdateModeUnit *updateMode_ = nullptr;
    std::function<qsizetype()> faultsApplied_;
    std::function<qsizetype()> itemsTaken_;
    QString path_;
    QList<QByteArray> lines_;
    QTimer watch_;
    bool acted_ = false;
    QStringList statuses_;
    QString captionWhenPressed_;
};

} // namespace sweep
