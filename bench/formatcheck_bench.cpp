// Time and memory of the update file's format check: a full-size file of 20000 32-bit data
// records, and a 100 MB file whose second line has no line end (memory must stay flat).

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "seriallink/LinkPrimitives.h"
#include "unitsim/InProcessPort.h"
#include "unitsim/VirtualClock.h"
#include "updatefile/FormatCheck.h"

namespace {

// A surface that shows nothing and counts what it was asked to show.
class TQuietSurface : public TOperatorSurface {
public:
    void SetStatusText(const QString &text) override { status_ = text; }
    QString StatusText() const override { return status_; }
    void ReportBox(const QString &, const QString &, TBoxIcon) override { ++Boxes; }
    bool AskYesNo(const QString &, const QString &) override { return true; }
    void SetGaugeMaximum(int) override {}
    void SetGaugePosition(int) override {}
    void SetLinesSent(const QString &) override {}
    void ProcessPendingMessages() override { ++Pumps; }
    QString UpdateFileName() const override { return FileName; }
    void SetFileWarning(const QString &) override {}

    QString FileName;
    int Boxes = 0;
    qint64 Pumps = 0;

private:
    QString status_;
};

QByteArray S3Record(quint32 address, int dataBytes)
{
    QByteArray bytes;
    bytes.append(char(4 + dataBytes + 1));
    for (int i = 3; i >= 0; --i)
        bytes.append(char((address >> (8 * i)) & 0xFF));
    for (int i = 0; i < dataBytes; ++i)
        bytes.append(char((address + quint32(i)) & 0xFF));
    quint8 sum = 0;
    for (char b : bytes)
        sum += quint8(b);
    bytes.append(char(~sum));
    return "S3" + bytes.toHex().toUpper();
}

constexpr const char *Header = "S00600004844521B";

QTemporaryDir &Folder()
{
    static QTemporaryDir dir;
    return dir;
}

// 20000 data records of 32 data bytes each, CR LF line ends (about 1.6 MB).
QString FullFile()
{
    static const QString path = [] {
        const QString p = Folder().filePath("K40_full.S19");
        QFile f(p);
        if (!f.open(QIODevice::WriteOnly))
            return QString();
        QByteArray text = QByteArray(Header) + "\r\n";
        for (int i = 0; i < 20000; ++i)
            text += S3Record(quint32(i) * 32, 32) + "\r\n";
        text += "S70500000000FA\r\n";
        f.write(text);
        return p;
    }();
    return path;
}

// A header, then one line of 100 MB without a line end.
QString HugeLineFile()
{
    static const QString path = [] {
        const QString p = Folder().filePath("K40_huge.S19");
        QFile f(p);
        if (!f.open(QIODevice::WriteOnly))
            return QString();
        f.write(QByteArray(Header) + "\n" + "S315");
        const QByteArray block(1024 * 1024, 'A');
        for (int i = 0; i < 100; ++i)
            f.write(block);
        return p;
    }();
    return path;
}

qint64 ProcStatusKiB(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qsizetype(qstrlen(key))).trimmed().split(' ').first().toLongLong();
    return -1;
}

// Starts the peak resident size afresh (Linux 4.0 and later).
void ResetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

void RunCheck(benchmark::State &state, const QString &path, int expected)
{
    if (path.isEmpty()) {
        state.SkipWithError("could not write the test file");
        return;
    }
    TVirtualClock clock;
    TInProcessPort port(clock);
    TWizardState wizard;
    TQuietSurface surface;
    surface.FileName = path;
    TLink link(surface, port, clock, wizard);

    CheckUpdateFileFormat(link.Surface, link.State, TRecordVariant::Addr32); // warm the page cache
    ResetPeak();
    const qint64 rssBefore = ProcStatusKiB("VmRSS:");
    int result = -1;
    for (auto _ : state) {
        result = CheckUpdateFileFormat(link.Surface, link.State, TRecordVariant::Addr32);
        benchmark::DoNotOptimize(result);
    }
    if (result != expected)
        state.SkipWithError("unexpected check result");
    state.counters["result"] = result;
    const qint64 peak = ProcStatusKiB("VmHWM:");
    state.counters["peak_rss_KiB"] = double(peak);
    state.counters["peak_growth_KiB"] = double(peak - rssBefore);
    state.counters["file_MiB"] = double(QFileInfo(path).size()) / (1024.0 * 1024.0);
    state.SetBytesProcessed(state.iterations() * QFileInfo(path).size());
}

void BM_FormatCheck_20000Records(benchmark::State &state) { RunCheck(state, FullFile(), 20001); }
void BM_FormatCheck_100MBLineWithoutLineEnd(benchmark::State &state) { RunCheck(state, HugeLineFile(), 0); }

BENCHMARK(BM_FormatCheck_20000Records)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FormatCheck_100MBLineWithoutLineEnd)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
