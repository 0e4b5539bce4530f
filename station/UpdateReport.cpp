#include "station/UpdateReport.h"

#include "station/DurableFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QStringList>
#include <algorithm>
#include <limits>
#include <vector>

namespace {

// What printing a report says on its error stream.
namespace ReportTexts {
constexpr char ReportMissing[] = "the report %1 does not exist";
constexpr char ReportNotAFile[] = "the report %1 is not a file";
constexpr char ReportUnreadable[] = "cannot read the report %1: %2";
constexpr char NotARecord[] = "line %1 is not a record";
constexpr char RecordNotOneLine[] = "the record for %1 is not one line";
} // namespace ReportTexts

// Exit code of a report that cannot be read.
constexpr int ReportUnreadableExit = 4;

// The field names of a report line.
namespace Field {
constexpr QLatin1StringView Start("start");
constexpr QLatin1StringView End("end");
constexpr QLatin1StringView UnitCode("unitCode");
constexpr QLatin1StringView Unit("unit");
constexpr QLatin1StringView Port("port");
constexpr QLatin1StringView Adapter("adapter");
constexpr QLatin1StringView Description("description");
constexpr QLatin1StringView SerialNumber("serialNumber");
constexpr QLatin1StringView ByIdLink("byIdLink");
constexpr QLatin1StringView File("file");
constexpr QLatin1StringView Path("path");
constexpr QLatin1StringView Size("size");
constexpr QLatin1StringView Sha256("sha256");
constexpr QLatin1StringView Records("records");
constexpr QLatin1StringView Acknowledged("acknowledged");
constexpr QLatin1StringView AcknowledgedUnit("acknowledgedUnit");
constexpr QLatin1StringView Outcome("outcome");
constexpr QLatin1StringView Detail("detail");
constexpr QLatin1StringView UnitError("unitError");
constexpr QLatin1StringView LastStatus("lastStatus");
constexpr QLatin1StringView Retries("retries");
constexpr QLatin1StringView DurationMs("durationMs");
constexpr QLatin1StringView Version("version");
constexpr QLatin1StringView Host("host");
constexpr QLatin1StringView Bay("bay");
constexpr QLatin1StringView UnitSerial("unitSerial");
} // namespace Field

// A time as the report keeps it: ISO 8601 in UTC with milliseconds, "2026-12-08T21:53:54.123Z";
// null for a time that was never taken.
QJsonValue TimeValue(const QDateTime &time)
{
    if (!time.isValid())
        return QJsonValue(QJsonValue::Null);
    return time.toUTC().toString(Qt::ISODateWithMs);
}

// Reads the fields of one JSON object into a record; the first field of the wrong type makes the
// whole line no record. A missing field keeps the record's default.
class TFieldReader {
public:
    explicit TFieldReader(const QJsonObject &object) : object_(object) {}

    bool Ok() const { return ok_; }

    void Text(QLatin1StringView name, QString &into)
    {
        const QJsonValue v = object_.value(name);
        if (v.isUndefined())
            return;
        if (!v.isString()) {
            ok_ = false;
            return;
        }
        into = v.toString();
    }

    void Number(QLatin1StringView name, qint64 &into)
    {
        const QJsonValue v = object_.value(name);
        if (v.isUndefined())
            return;
        // A whole number gives the same value whatever the default; anything else gives the default.
        const qint64 a = v.toInteger(0);
        const qint64 b = v.toInteger(1);
        if (!v.isDouble() || a != b) {
            ok_ = false;
            return;
        }
        into = a;
    }

    void Number(QLatin1StringView name, int &into)
    {
        qint64 wide = into;
        Number(name, wide);
        if (wide < std::numeric_limits<int>::min() || wide > std::numeric_limits<int>::max()) {
            ok_ = false;
            return;
        }
        into = int(wide);
    }

    void Time(QLatin1StringView name, QDateTime &into)
    {
        const QJsonValue v = object_.value(name);
        if (v.isUndefined() || v.isNull())
            return;
        if (!v.isString()) {
            ok_ = false;
            return;
        }
        const QDateTime time = QDateTime::fromString(v.toString(), Qt::ISODateWithMs);
        if (!time.isValid()) {
            ok_ = false;
            return;
        }
        into = time.toUTC();
    }

    // A nested object; empty when missing.
    QJsonObject Object(QLatin1StringView name)
    {
        const QJsonValue v = object_.value(name);
        if (v.isUndefined())
            return {};
        if (!v.isObject()) {
            ok_ = false;
            return {};
        }
        return v.toObject();
    }

private:
    const QJsonObject &object_;
    bool ok_ = true;
};

QString Cell(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("-") : text;
}

QString TableTime(const QDateTime &time)
{
    if (!time.isValid())
        return QStringLiteral("-");
    return time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QLatin1Char('Z');
}

QString TableDuration(qint64 ms)
{
    return QString::number(double(ms) / 1000.0, 'f', 1) + QStringLiteral(" s");
}

QString TableAcknowledged(const TUpdateRecord &r)
{
    if (r.AcknowledgedUnit.isEmpty())
        return QString::number(r.Acknowledged);
    return QString::number(r.Acknowledged) + QLatin1Char(' ') + r.AcknowledgedUnit;
}

void PrintTable(const std::vector<TUpdateRecord> &rows, QTextStream &out)
{
    // A station's bays and unit serial numbers get columns of their own, only where the report
    // has them.
    const bool bays = std::any_of(rows.begin(), rows.end(), [](const TUpdateRecord &r) { return !r.Bay.isEmpty(); });
    const bool serials =
        std::any_of(rows.begin(), rows.end(), [](const TUpdateRecord &r) { return !r.UnitSerial.isEmpty(); });
    std::vector<QStringList> table;
    QStringList header{QStringLiteral("End"), QStringLiteral("Port"), QStringLiteral("Adapter"),
                       QStringLiteral("Unit"), QStringLiteral("Outcome"), QStringLiteral("Acknowledged"),
                       QStringLiteral("Duration"), QStringLiteral("File")};
    if (serials)
        header.insert(4, QStringLiteral("Serial"));
    if (bays)
        header.insert(1, QStringLiteral("Bay"));
    table.push_back(header);
    for (const TUpdateRecord &r : rows) {
        const QString unit = r.UnitName.isEmpty() ? QString::number(r.UnitCode) : r.UnitName;
        const QString outcome = r.OutcomeDetail.isEmpty() ? r.Outcome : r.OutcomeDetail;
        QStringList cells{TableTime(r.End), Cell(r.Port), Cell(r.AdapterSerialNumber), Cell(unit), Cell(outcome),
                          TableAcknowledged(r), TableDuration(r.DurationMs), Cell(QDir::toNativeSeparators(r.FilePath))};
        if (serials)
            cells.insert(4, Cell(r.UnitSerial));
        if (bays)
            cells.insert(1, Cell(r.Bay));
        table.push_back(cells);
    }
    // Texts in a report come from the unit, the system and the command line: a line end or tab
    // in one would break the table's rows, so they are shown as blanks.
    for (QStringList &cells : table)
        for (QString &cell : cells)
            for (QChar &c : cell)
                if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t'))
                    c = QLatin1Char(' ');

    std::vector<qsizetype> widths(table.front().size(), 0);
    for (const QStringList &cells : table)
        for (qsizetype i = 0; i < cells.size(); ++i)
            widths[size_t(i)] = qMax(widths[size_t(i)], cells[i].size());
    for (const QStringList &cells : table) {
        QString line;
        for (qsizetype i = 0; i < cells.size(); ++i) {
            if (i > 0)
                line += QStringLiteral("  ");
            // The last column is not padded: no blanks at the line's end.
            line += (i + 1 < cells.size()) ? cells[i].leftJustified(widths[size_t(i)]) : cells[i];
        }
        out << line << '\n';
    }
}

// One CSV field as RFC 4180 quotes it: in double quotes, its quotes doubled, when it holds a
// comma, a quote or a line end.
QString CsvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n'))
        && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString CsvTime(const QDateTime &time)
{
    return time.isValid() ? time.toUTC().toString(Qt::ISODateWithMs) : QString();
}

// Every field of the record, under the names of the report line (the nested ones joined).
void PrintCsv(const std::vector<TUpdateRecord> &rows, QTextStream &out)
{
    // A station's two fields come last, only where the report has them.
    const bool station = std::any_of(rows.begin(), rows.end(), [](const TUpdateRecord &r) {
        return !r.Bay.isEmpty() || !r.UnitSerial.isEmpty();
    });
    QStringList header{
        QStringLiteral("start"), QStringLiteral("end"), QStringLiteral("unitCode"), QStringLiteral("unit"),
        QStringLiteral("port"), QStringLiteral("adapterDescription"), QStringLiteral("adapterSerialNumber"),
        QStringLiteral("adapterByIdLink"), QStringLiteral("filePath"), QStringLiteral("fileSize"),
        QStringLiteral("fileSha256"), QStringLiteral("fileRecords"), QStringLiteral("acknowledged"),
        QStringLiteral("acknowledgedUnit"), QStringLiteral("outcome"), QStringLiteral("detail"),
        QStringLiteral("unitError"), QStringLiteral("lastStatus"), QStringLiteral("retries"),
        QStringLiteral("durationMs"), QStringLiteral("version"), QStringLiteral("host")};
    if (station)
        header << QStringLiteral("bay") << QStringLiteral("unitSerial");
    // Rows end with a line feed; the stream writes it as its platform does.
    out << header.join(QLatin1Char(',')) << '\n';
    for (const TUpdateRecord &r : rows) {
        QStringList fields{
            CsvTime(r.Start), CsvTime(r.End), QString::number(r.UnitCode), r.UnitName, r.Port,
            r.AdapterDescription, r.AdapterSerialNumber, r.AdapterByIdLink, r.FilePath,
            QString::number(r.FileSize), r.FileSha256, QString::number(r.FileRecords),
            QString::number(r.Acknowledged), r.AcknowledgedUnit, r.Outcome, r.OutcomeDetail, r.UnitError,
            r.LastStatus, QString::number(r.Retries), QString::number(r.DurationMs), r.VarnelVersion, r.Host};
        if (station)
            fields << r.Bay << r.UnitSerial;
        QStringList quoted;
        for (const QString &f : fields)
            quoted << CsvField(f);
        out << quoted.join(QLatin1Char(',')) << '\n';
    }
}

} // namespace

QByteArray ReportLine(const TUpdateRecord &record)
{
    QJsonObject adapter;
    adapter.insert(Field::Description, record.AdapterDescription);
    adapter.insert(Field::SerialNumber, record.AdapterSerialNumber);
    adapter.insert(Field::ByIdLink, record.AdapterByIdLink);

    QJsonObject file;
    file.insert(Field::Path, record.FilePath);
    file.insert(Field::Size, record.FileSize);
    file.insert(Field::Sha256, record.FileSha256);
    file.insert(Field::Records, record.FileRecords);

    QJsonObject o;
    o.insert(Field::Start, TimeValue(record.Start));
    o.insert(Field::End, TimeValue(record.End));
    o.insert(Field::UnitCode, record.UnitCode);
    o.insert(Field::Unit, record.UnitName);
    o.insert(Field::Port, record.Port);
    o.insert(Field::Adapter, adapter);
    o.insert(Field::File, file);
    o.insert(Field::Acknowledged, record.Acknowledged);
    o.insert(Field::AcknowledgedUnit, record.AcknowledgedUnit);
    o.insert(Field::Outcome, record.Outcome);
    o.insert(Field::Detail, record.OutcomeDetail);
    o.insert(Field::UnitError, record.UnitError);
    o.insert(Field::LastStatus, record.LastStatus);
    o.insert(Field::Retries, record.Retries);
    o.insert(Field::DurationMs, record.DurationMs);
    o.insert(Field::Version, record.VarnelVersion);
    o.insert(Field::Host, record.Host);
    if (!record.Bay.isEmpty())
        o.insert(Field::Bay, record.Bay);
    if (!record.UnitSerial.isEmpty())
        o.insert(Field::UnitSerial, record.UnitSerial);
    // Compact JSON writes a line end inside a text as \n, so the record stays one line.
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<TUpdateRecord> ParseReportLine(const QByteArray &line)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(line.trimmed(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    // What makes a line a record: how the update ended.
    if (!o.value(Field::Outcome).isString())
        return std::nullopt;

    TUpdateRecord r;
    TFieldReader read(o);
    read.Time(Field::Start, r.Start);
    read.Time(Field::End, r.End);
    read.Number(Field::UnitCode, r.UnitCode);
    read.Text(Field::Unit, r.UnitName);
    read.Text(Field::Port, r.Port);
    const QJsonObject adapter = read.Object(Field::Adapter);
    const QJsonObject file = read.Object(Field::File);
    read.Number(Field::Acknowledged, r.Acknowledged);
    read.Text(Field::AcknowledgedUnit, r.AcknowledgedUnit);
    read.Text(Field::Outcome, r.Outcome);
    read.Text(Field::Detail, r.OutcomeDetail);
    read.Text(Field::UnitError, r.UnitError);
    read.Text(Field::LastStatus, r.LastStatus);
    read.Number(Field::Retries, r.Retries);
    read.Number(Field::DurationMs, r.DurationMs);
    read.Text(Field::Version, r.VarnelVersion);
    read.Text(Field::Host, r.Host);
    read.Text(Field::Bay, r.Bay);
    read.Text(Field::UnitSerial, r.UnitSerial);
    if (!read.Ok())
        return std::nullopt;

    TFieldReader readAdapter(adapter);
    readAdapter.Text(Field::Description, r.AdapterDescription);
    readAdapter.Text(Field::SerialNumber, r.AdapterSerialNumber);
    readAdapter.Text(Field::ByIdLink, r.AdapterByIdLink);
    TFieldReader readFile(file);
    readFile.Text(Field::Path, r.FilePath);
    readFile.Number(Field::Size, r.FileSize);
    readFile.Text(Field::Sha256, r.FileSha256);
    readFile.Number(Field::Records, r.FileRecords);
    if (!readAdapter.Ok() || !readFile.Ok())
        return std::nullopt;
    return r;
}

bool AppendReportLine(const QString &path, const QByteArray &line, QString *error)
{
    // A line end inside would split the record into two lines that are no records.
    if (line.contains('\n') || line.contains('\r')) {
        if (error)
            *error = QString::fromLatin1(ReportTexts::RecordNotOneLine).arg(QDir::toNativeSeparators(path));
        return false;
    }
    // A line cut short before stays a line of its own, reported as no record.
    return AppendLine(path, line, error);
}

int PrintReport(const QString &path, bool csv, QTextStream &out, QTextStream &err)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        err << QString::fromLatin1(ReportTexts::ReportMissing).arg(QDir::toNativeSeparators(path)) << '\n';
        return ReportUnreadableExit;
    }
    // Regular files only: a FIFO or a device could block or never end.
    if (!info.isFile()) {
        err << QString::fromLatin1(ReportTexts::ReportNotAFile).arg(QDir::toNativeSeparators(path)) << '\n';
        return ReportUnreadableExit;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        err << QString::fromLatin1(ReportTexts::ReportUnreadable).arg(QDir::toNativeSeparators(path), file.errorString())
            << '\n';
        return ReportUnreadableExit;
    }
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        err << QString::fromLatin1(ReportTexts::ReportUnreadable).arg(QDir::toNativeSeparators(path), file.errorString())
            << '\n';
        return ReportUnreadableExit;
    }

    std::vector<TUpdateRecord> rows;
    qint64 lineNumber = 0;
    qsizetype from = 0;
    while (from < content.size()) {
        qsizetype to = content.indexOf('\n', from);
        if (to < 0)
            to = content.size();
        const QByteArray line = content.mid(from, to - from);
        from = to + 1;
        ++lineNumber;
        if (line.trimmed().isEmpty())
            continue; // blank lines carry nothing
        std::optional<TUpdateRecord> record = ParseReportLine(line);
        if (!record) {
            err << QString::fromLatin1(ReportTexts::NotARecord).arg(lineNumber) << '\n';
            continue;
        }
        rows.push_back(std::move(*record));
    }

    if (csv)
        PrintCsv(rows, out);
    else
        PrintTable(rows, out);
    out.flush();
    err.flush();
    return 0;
}
