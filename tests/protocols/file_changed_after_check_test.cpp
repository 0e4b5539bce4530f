// The update file changes between the format check and the transfer: the flows read it again
// line by line and must neither crash, hang nor send what they cannot read whole. Every flow
// meets every change; each ends with a clear report, its port and file closed.
#include <gtest/gtest.h>

#include <QFile>

#include "tests/protocols/bootloader_flow_rig.h"
#include "tests/protocols/expected_outcome.h"
#include "tests/protocols/updatemode_rig.h"
#include "updatefile/TextLineReader.h"

namespace {

enum class TFlow { UpdateMode, Monitor, Module };
enum class TChange { EndRecordLost, FileDeleted, BinaryGarbage, TenMegabyteLine, TenMegabytesWithoutLineEnd };

constexpr qint64 TenMegabytes = 10 * 1024 * 1024;

// Bytes of every value, line ends among them, from a fixed generator; no line begins with an
// S-record type, so a flow that skips lines before the header skips them all.
QByteArray Garbage(qsizetype size)
{
    QByteArray bytes(size, '\0');
    quint32 x = 2463534242u;
    for (qsizetype i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = char(x & 0xFF);
    }
    bytes.replace("\nS", "\nx");
    if (bytes.startsWith('S'))
        bytes[0] = 'x';
    return bytes;
}

void Rewrite(const QString &path, const QByteArray &content)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(content), content.size());
}

// The change, made while the flow waits for the unit after its own format check.
void Change(TChange change, const QString &path, const QByteArray &header, const QByteArray &endRecord)
{
    QFile f(path);
    switch (change) {
    case TChange::EndRecordLost: {
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        QByteArray content = f.readAll();
        f.close();
        const qsizetype end = content.lastIndexOf(endRecord);
        ASSERT_GT(end, 0);
        content.truncate(end);
        Rewrite(path, content);
        break;
    }
    case TChange::FileDeleted:
        ASSERT_TRUE(QFile::remove(path));
        break;
    case TChange::BinaryGarbage:
        Rewrite(path, Garbage(16 * 1024));
        break;
    case TChange::TenMegabyteLine:
        Rewrite(path, header + "\nS1" + QByteArray(TenMegabytes, 'A') + "\n" + endRecord + "\n");
        break;
    case TChange::TenMegabytesWithoutLineEnd:
        Rewrite(path, "S1" + QByteArray(TenMegabytes, 'A'));
        break;
    }
}

struct TOutcome {
    bool Result = true;
    TUpdateOutcome Ended;
    QList<TSeen> Seen;
    QList<QByteArray> Writes;
    bool PortOpen = true;
    int FileHandles = -1;
};

// The change happens one virtual second into the flow's exchange with the unit: the check is
// over by then, the contact (update mode) or the bootloader download is under way, and the
// update file is not open yet.
constexpr qint64 ChangeAtMs = 1000;

TOutcome RunUpdateMode(TChange change)
{
    using namespace updatemode_rig;
    QTemporaryDir dir;
    const QList<QByteArray> lines = UpdateLines(TRecordVariant::Addr32, 5);
    const QString path = WriteFile(dir, "T42update.s19", lines);
    TRig rig;
    rig.State.SelectedUnit = 2;
    rig.Surface.FileName = path;
    rig.Clock.ScheduleAt(ChangeAtMs, [=] { Change(change, path, lines.first(), lines.last()); });
    TOutcome out;
    out.Result = rig.RunUpdateModeFlow();
    out.Ended = rig.Outcome;
    out.Seen = rig.Surface.Seen;
    out.Writes = rig.Port.Writes;
    out.PortOpen = rig.Port.Connected();
    out.FileHandles = OpenHandles(path);
    return out;
}

TOutcome RunBootloaderFlow(TFlowKind kind, TChange change)
{
    TFlowRig rig(kind);
    rig.WriteRecords(5);
    const QString path = rig.Path;
    const QByteArray header = rig.Lines.first();
    const QByteArray end = rig.Lines.last();
    rig.Clock.ScheduleAt(ChangeAtMs, [=] { Change(change, path, header, end); });
    TOutcome out;
    out.Result = rig.Run();
    out.Ended = rig.Outcome;
    out.Seen = rig.Surface.Seen;
    out.Writes = rig.Port.Writes;
    out.PortOpen = rig.Port.Connected();
    out.FileHandles = updatemode_rig::OpenHandles(path);
    return out;
}

struct TCase {
    TFlow Flow;
    TChange Change;
    const QString *Status; // the status line at the end
    const QString *Box;    // the last box's text
    TFileProblem Problem;  // the outcome names it
};

std::string Name(const TCase &c)
{
    static const char *const flows[] = {"UpdateMode", "Monitor", "Module"};
    static const char *const changes[] = {"EndRecordLost", "FileDeleted", "BinaryGarbage", "TenMegabyteLine",
                                          "TenMegabytesWithoutLineEnd"};
    return std::string(flows[int(c.Flow)]) + changes[int(c.Change)];
}
std::string CaseName(const ::testing::TestParamInfo<TCase> &info) { return Name(info.param); }
void PrintTo(const TCase &c, std::ostream *os) { *os << Name(c); }

class FileChangedAfterCheck : public ::testing::TestWithParam<TCase> {};

TEST_P(FileChangedAfterCheck, EndsWithAClearReportAndNothingHalfRead)
{
    const TCase &c = GetParam();
    const TOutcome out = c.Flow == TFlow::UpdateMode ? RunUpdateMode(c.Change)
                         : RunBootloaderFlow(c.Flow == TFlow::Monitor ? TFlowKind::Monitor : TFlowKind::Module, c.Change);

    EXPECT_FALSE(out.Result);
    EXPECT_TRUE(EndedAs(out.Ended, Ends::File(c.Problem)));
    QString lastStatus;
    const TSeen *lastBox = nullptr;
    for (const TSeen &s : out.Seen) {
        if (s.What == TSeen::Status)
            lastStatus = s.Text;
        if (s.What == TSeen::Report)
            lastBox = &s;
    }
    EXPECT_EQ(lastStatus, *c.Status);
    ASSERT_NE(lastBox, nullptr);
    EXPECT_EQ(lastBox->Text, *c.Box);
    EXPECT_EQ(lastBox->Icon, TBoxIcon::Warning);

    // Nothing of a line that could not be read whole went out.
    for (const QByteArray &write : out.Writes) {
        EXPECT_LE(write.size(), TTextLineReader::MaxKeptLineLength);
        EXPECT_FALSE(write.contains(QByteArray(64, 'A'))) << "part of an over-long line was sent";
    }
    EXPECT_FALSE(out.PortOpen);
    EXPECT_EQ(out.FileHandles, 0);
}

const QString &Eof = FlowTexts::EofStatus;
const QString &UnreadableStatus = FlowTexts::FileUnreadableStatus;
// A file that ends before its end record is not the file that was checked; one that cannot be
// read to its end cannot be sent.
constexpr TFileProblem NotValid = TFileProblem::NotValid;
constexpr TFileProblem Unreadable = TFileProblem::Unreadable;

INSTANTIATE_TEST_SUITE_P(
    EveryFlowEveryChange, FileChangedAfterCheck,
    ::testing::Values(
        // The file lost its end record: the flow runs out of lines before the unit's end.
        TCase{TFlow::UpdateMode, TChange::EndRecordLost, &Eof, &FlowTexts::EofBox, NotValid},
        TCase{TFlow::Monitor, TChange::EndRecordLost, &Eof, &FlowTexts::EofBox, NotValid},
        TCase{TFlow::Module, TChange::EndRecordLost, &Eof, &FlowTexts::EofBox, NotValid},
        // The file is gone: it cannot be opened for sending.
        TCase{TFlow::UpdateMode, TChange::FileDeleted, &UnreadableStatus, &FlowTexts::FileUnreadable, Unreadable},
        TCase{TFlow::Monitor, TChange::FileDeleted, &UnreadableStatus, &FlowTexts::FileUnreadable, Unreadable},
        TCase{TFlow::Module, TChange::FileDeleted, &UnreadableStatus, &FlowTexts::FileUnreadable, Unreadable},
        // Binary garbage: the update-mode unit is sent its lines (the unit judges each line's
        // checksum; the simulated one takes them) and the file ends without an end record; the
        // bootloader flows find no header and no end record.
        TCase{TFlow::UpdateMode, TChange::BinaryGarbage, &Eof, &FlowTexts::EofBox, NotValid},
        TCase{TFlow::Monitor, TChange::BinaryGarbage, &Eof, &FlowTexts::EofBox, NotValid},
        TCase{TFlow::Module, TChange::BinaryGarbage, &Eof, &FlowTexts::EofBox, NotValid},
        // A line of 10 MB, with and without a line end: never read into memory whole, never sent.
        TCase{TFlow::UpdateMode, TChange::TenMegabyteLine, &UnreadableStatus, &FlowTexts::FileUnreadable, Unreadable},
        TCase{TFlow::Monitor, TChange::TenMegabyteLine, &UnreadableStatus, &FlowTexts::FileUnreadable, Unreadable},
        TCase{TFlow::Module, TChange::TenMegabyteLine, &UnreadableStatus, &FlowTexts::FileUnreadable, Unreadable},
        TCase{TFlow::UpdateMode, TChange::TenMegabytesWithoutLineEnd, &UnreadableStatus, &FlowTexts::FileUnreadable, Unreadable},
        TCase{TFlow::Monitor, TChange::TenMegabytesWithoutLineEnd, &UnreadableStatus, &FlowTexts::FileUnreadable, Unreadable},
        TCase{TFlow::Module, TChange::TenMegabytesWithoutLineEnd, &UnreadableStatus, &FlowTexts::FileUnreadable, Unreadable}),
    CaseName);

} // namespace
