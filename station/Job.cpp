#include "station/Job.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QTemporaryDir>

namespace {

QString Text(const char *text)
{
    return QString::fromUtf8(text);
}

// The text with %1 ... %9 replaced by the values in one pass, so that a value holding a "%" (a
// port's name, the job's path) is never taken for a place holder.
QString Fill(const char *text, const QStringList &values)
{
    const QString in = Text(text);
    QString out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        const int n = i + 1 < in.size() ? in[i + 1].digitValue() : -1;
        if (in[i] == QLatin1Char('%') && n >= 1 && n <= values.size()) {
            out += values[n - 1];
            ++i;
            continue;
        }
        out += in[i];
    }
    return out;
}

// A job is a few lines; anything larger is no job (and a device or a huge file is not read).
constexpr qint64 MaxJobBytes = 1 << 20;

namespace Field {
constexpr QLatin1StringView Unit("unit");
constexpr QLatin1StringView File("file");
constexpr QLatin1StringView Sha256("sha256");
constexpr QLatin1StringView Restart("restart");
constexpr QLatin1StringView Report("report");
constexpr QLatin1StringView Bays("bays");
constexpr QLatin1StringView Name("name");
constexpr QLatin1StringView Port("port");
} // namespace Field

bool IsSha256(const QString &text)
{
    if (text.size() != 64)
        return false;
    for (const QChar c : text) {
        const bool hex = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
                         || (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
        if (!hex)
            return false;
    }
    return true;
}

// Reads the job's fields, stopping at the first one that is wrong; its text names the job file
// and the field.
class TJobReader {
public:
    TJobReader(const QString &where, TJobError &error) : where_(where), error_(error) {}

    bool Failed() const { return failed_; }

    void Fail(const char *text, const QString &field = QString(), const QString &a = QString(),
              const QString &b = QString(), const QString &c = QString())
    {
        if (failed_)
            return;
        failed_ = true;
        const QString line = Fill(text, {where_, field, a, b, c});
        error_.Text = line;
        error_.ExitCode = 2;
    }

    // A text field that must be there and not empty.
    QString Needed(const QJsonObject &o, QLatin1StringView name, const QString &field)
    {
        const QJsonValue v = o.value(name);
        if (v.isUndefined()) {
            Fail(JobTexts::FieldMissing, field);
            return {};
        }
        if (!v.isString()) {
            Fail(JobTexts::FieldNotText, field);
            return {};
        }
        if (v.toString().trimmed().isEmpty()) {
            Fail(JobTexts::FieldEmpty, field);
            return {};
        }
        return v.toString();
    }

    // A text field that may be left out (or empty).
    QString Optional(const QJsonObject &o, QLatin1StringView name, const QString &field)
    {
        const QJsonValue v = o.value(name);
        if (v.isUndefined() || v.isNull())
            return {};
        if (!v.isString()) {
            Fail(JobTexts::FieldNotText, field);
            return {};
        }
        return v.toString();
    }

    void OnlyKnown(const QJsonObject &o, const QList<QLatin1StringView> &known, const char *text, const QString &prefix)
    {
        for (auto it = o.begin(); it != o.end(); ++it) {
            bool ok = false;
            for (const QLatin1StringView k : known)
                ok = ok || it.key() == k;
            if (!ok) {
                Fail(text, prefix + it.key());
                return;
            }
        }
    }

private:
    QString where_;
    TJobError &error_;
    bool failed_ = false;
};

QString Absolute(const QString &path, const QString &jobPath)
{
    if (path.isEmpty())
        return {};
    if (QDir::isAbsolutePath(path))
        return QDir::cleanPath(path);
    if (jobPath.isEmpty())
        return QFileInfo(path).absoluteFilePath();
    return QDir::cleanPath(QFileInfo(jobPath).absoluteDir().absoluteFilePath(path));
}

} // namespace

QString TJob::Name() const
{
    if (JobPath.isEmpty())
        return {};
    QString name = QFileInfo(JobPath).fileName();
    if (name.endsWith(QLatin1String(".json"), Qt::CaseInsensitive))
        name.chop(5);
    return name;
}

QString TJob::FilePath() const
{
    return Absolute(File, JobPath);
}

QString TJob::ReportPath() const
{
    return Absolute(Report, JobPath);
}

int FindBay(const TJob &job, const QString &name)
{
    for (int i = 0; i < job.Bays.size(); ++i)
        if (job.Bays[i].Name.compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

std::optional<TJob> ParseJob(const QByteArray &json, const QString &jobPath, TJobError &error)
{
    const QString absolute = jobPath.isEmpty() ? QString() : QFileInfo(jobPath).absoluteFilePath();
    const QString where = absolute.isEmpty() ? QStringLiteral("job") : QDir::toNativeSeparators(absolute);
    TJobReader read(where, error);

    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        read.Fail(JobTexts::NotJson, parseError.errorString(), QString::number(parseError.offset));
        return std::nullopt;
    }
    if (!doc.isObject()) {
        read.Fail(JobTexts::NotObject);
        return std::nullopt;
    }
    const QJsonObject o = doc.object();
    read.OnlyKnown(o, {Field::Unit, Field::File, Field::Sha256, Field::Restart, Field::Report, Field::Bays},
                   JobTexts::UnknownField, QString());

    TJob job;
    job.JobPath = absolute;
    job.Unit = read.Needed(o, Field::Unit, Field::Unit).trimmed();
    job.File = read.Needed(o, Field::File, Field::File);
    const QString sha = read.Needed(o, Field::Sha256, Field::Sha256).trimmed();
    if (!read.Failed() && !IsSha256(sha))
        read.Fail(JobTexts::BadSha256, sha);
    job.Sha256 = sha.toLower();

    const QJsonValue restart = o.value(Field::Restart);
    if (!restart.isUndefined()) {
        const QString answer = restart.toString().trimmed().toLower();
        if (answer == QLatin1String("yes"))
            job.Restart = true;
        else if (answer == QLatin1String("no"))
            job.Restart = false;
        else
            read.Fail(JobTexts::BadRestart);
    }
    job.Report = read.Optional(o, Field::Report, Field::Report);

    const QJsonValue bays = o.value(Field::Bays);
    if (bays.isUndefined())
        read.Fail(JobTexts::FieldMissing, Field::Bays);
    else if (!bays.isArray())
        read.Fail(JobTexts::BaysNotList);
    else if (bays.toArray().isEmpty())
        read.Fail(JobTexts::NoBays);
    const QJsonArray list = bays.toArray();
    for (qsizetype i = 0; i < list.size() && !read.Failed(); ++i) {
        const QString at = QStringLiteral("bays[%1]").arg(i);
        if (!list[i].isObject()) {
            read.Fail(JobTexts::BayNotObject, at);
            break;
        }
        const QJsonObject b = list[i].toObject();
        read.OnlyKnown(b, {Field::Name, Field::Port}, JobTexts::UnknownBayField, at + QLatin1Char('.'));
        TJobBay bay;
        bay.Name = read.Needed(b, Field::Name, at + QStringLiteral(".name")).trimmed();
        bay.Port = read.Needed(b, Field::Port, at + QStringLiteral(".port")).trimmed();
        if (read.Failed())
            break;
        if (FindBay(job, bay.Name) >= 0) {
            read.Fail(JobTexts::BayNamedTwice, at + QStringLiteral(".name"), bay.Name);
            break;
        }
        for (const TJobBay &earlier : job.Bays) {
            if (earlier.Port == bay.Port) {
                read.Fail(JobTexts::BaysOnOnePort, at + QStringLiteral(".port"), earlier.Name, bay.Name, bay.Port);
                break;
            }
        }
        job.Bays << bay;
    }
    if (read.Failed())
        return std::nullopt;
    return job;
}

std::optional<TJob> LoadJob(const QString &path, TJobError &error)
{
    const QFileInfo info(path);
    const QString where = QDir::toNativeSeparators(info.absoluteFilePath());
    error.ExitCode = 4;
    if (!info.exists()) {
        error.Text = Text(JobTexts::JobMissing).arg(where);
        return std::nullopt;
    }
    // Regular files only: a FIFO or a device could block or never end.
    if (!info.isFile()) {
        error.Text = Text(JobTexts::JobNotAFile).arg(where);
        return std::nullopt;
    }
    if (info.size() > MaxJobBytes) {
        error.Text = Text(JobTexts::JobTooLarge).arg(where);
        error.ExitCode = 2;
        return std::nullopt;
    }
    QFile file(info.absoluteFilePath());
    if (!file.open(QIODevice::ReadOnly)) {
        error.Text = Text(JobTexts::JobUnreadable).arg(where, file.errorString());
        return std::nullopt;
    }
    const QByteArray json = file.read(MaxJobBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        error.Text = Text(JobTexts::JobUnreadable).arg(where, file.errorString());
        return std::nullopt;
    }
    return ParseJob(json, info.absoluteFilePath(), error);
}

QByteArray JobJson(const TJob &job)
{
    QJsonObject o;
    o.insert(Field::Unit, job.Unit);
    o.insert(Field::File, job.File);
    o.insert(Field::Sha256, job.Sha256);
    if (job.Restart)
        o.insert(Field::Restart, *job.Restart ? QStringLiteral("yes") : QStringLiteral("no"));
    if (!job.Report.isEmpty())
        o.insert(Field::Report, job.Report);
    QJsonArray bays;
    for (const TJobBay &bay : job.Bays) {
        QJsonObject b;
        b.insert(Field::Name, bay.Name);
        b.insert(Field::Port, bay.Port);
        bays.append(b);
    }
    o.insert(Field::Bays, bays);
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

bool SaveJob(const TJob &job, const QString &path, QString *error)
{
    QSaveFile file(path);
    const QByteArray json = JobJson(job);
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size() || !file.commit()) {
        if (error)
            *error = Text(JobTexts::JobUnwritable).arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    return true;
}

struct TPinnedFile::TState {
    QTemporaryDir Dir;
    QString CopyPath;
    std::optional<TFileSummary> Summary;
    qint64 Size = 0;
};

TPinnedFile::TPinnedFile() : state_(std::make_unique<TState>()) {}

TPinnedFile::~TPinnedFile() = default;

QString TPinnedFile::CopyPath() const
{
    return state_->CopyPath;
}

const std::optional<TFileSummary> &TPinnedFile::Summary() const
{
    return state_->Summary;
}

qint64 TPinnedFile::Size() const
{
    return state_->Size;
}

bool TPinnedFile::Pin(const QString &path, const QString &sha256, QString *reason, TFileProblem *problem)
{
    const auto fail = [&](TFileProblem kind, const QString &text) {
        if (reason)
            *reason = text;
        if (problem)
            *problem = kind;
        return false;
    };
    const QString shown = QDir::toNativeSeparators(path);
    const QFileInfo info(path);
    if (!info.exists())
        return fail(TFileProblem::Gone, Text(JobTexts::FileMissing).arg(shown));
    if (!info.isFile())
        return fail(TFileProblem::Unreadable, Text(JobTexts::FileNotAFile).arg(shown));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(TFileProblem::Unreadable, Text(JobTexts::FileUnreadable).arg(shown, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(TFileProblem::Unreadable, Text(JobTexts::FileUnreadable).arg(shown, file.errorString()));
    const QString actual = QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    if (actual != sha256.trimmed().toLower())
        return fail(TFileProblem::NotValid, Text(JobTexts::FileNotTheJobs).arg(shown, actual, sha256));

    if (!state_->CopyPath.isEmpty())
        return true; // the same hash: the copy holds these bytes already, and bays may be reading it
    if (!state_->Dir.isValid())
        return fail(TFileProblem::Unreadable, Text(JobTexts::CopyFailed).arg(shown, state_->Dir.errorString()));
    // The copy keeps the file's name: the flows and their texts see the name the job gave.
    const QString copyPath = state_->Dir.filePath(info.fileName());
    QFile copy(copyPath);
    if (!copy.open(QIODevice::WriteOnly | QIODevice::Truncate) || copy.write(bytes) != bytes.size() || !copy.flush())
        return fail(TFileProblem::Unreadable, Text(JobTexts::CopyFailed).arg(shown, copy.errorString()));
    copy.close();
    // Read only, so that nothing on this side changes it while bays send it.
    copy.setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadUser);
    state_->CopyPath = copyPath;
    state_->Size = bytes.size();
    state_->Summary = SummariseUpdateFile(copyPath);
    return true;
}
