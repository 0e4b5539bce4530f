// varnel-cli update --job and job make: a station's job run from a script, and a job written.
#include "cli/Commands.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include "cli/CliTexts.h"
#include "cli/ConsoleSurface.h"
#include "cli/ExitCodes.h"
#include "cli/ProgressText.h"
#include "station/BayPorts.h"
#include "station/Job.h"
#include "station/StationRun.h"
#include "station/UnitLookup.h"
#include "updatefile/FormatCheck.h"

namespace {

QString Text(const char *text)
{
    return QString::fromUtf8(text);
}

namespace JobCliTexts {
constexpr char UnknownBay[] = "--bay %1: the job has no such bay (its bays: %2)";
constexpr char BayTwice[] = "--bay %1 is named twice";
constexpr char RestartFixed[] = "--restart: the job answers the restart question itself";
constexpr char JobExists[] = "%1 exists already; a job is not overwritten (remove it first)";
constexpr char JobWritten[] = "Job written: %1 (unit %2, file %3, SHA-256 %4, bays %5)";
} // namespace JobCliTexts

QStringList BayNames(const QList<TJobBay> &bays)
{
    QStringList names;
    for (const TJobBay &bay : bays)
        names << bay.Name;
    return names;
}

// A path as the job keeps it: relative to the job's folder.
QString RelativeToJob(const QString &path, const QString &jobPath)
{
    return QDir::fromNativeSeparators(QFileInfo(jobPath).absoluteDir().relativeFilePath(QFileInfo(path).absoluteFilePath()));
}

} // namespace

int RunJobUpdateCommand(const TCliOptions &options, QTextStream &out, QTextStream &err)
{
    TJobError jobError;
    const std::optional<TJob> loaded = LoadJob(options.JobPath, jobError);
    if (!loaded)
        return Fail(err, jobError.ExitCode, jobError.Text);
    const TJob &job = *loaded;
    if (options.Restart && job.Restart)
        return Fail(err, ExitCode::Usage, Text(JobCliTexts::RestartFixed));

    // The bays named with --bay, in the order named; all of the job's without.
    QList<TJobBay> bays;
    QSet<int> chosen;
    for (const QString &name : options.Bays) {
        const int index = FindBay(job, name);
        if (index < 0)
            return Fail(err, ExitCode::Usage,
                        Text(JobCliTexts::UnknownBay).arg(name, BayNames(job.Bays).join(QStringLiteral(", "))));
        if (chosen.contains(index))
            return Fail(err, ExitCode::Usage, Text(JobCliTexts::BayTwice).arg(name));
        chosen.insert(index);
        bays << job.Bays[index];
    }
    if (bays.isEmpty())
        bays = job.Bays;

    // Every bay on a line of its own that is plugged in now.
    const QList<TBayPort> ports = ResolveBays(bays);
    QStringList names;
    for (const TBayPort &port : ports) {
        if (port.PortName.isEmpty())
            return Fail(err, ExitCode::PortNotAvailable, Text(StationTexts::BayNotPluggedIn).arg(port.Bay, port.Given));
        if (!port.SameLineAs.isEmpty())
            return Fail(err, ExitCode::Usage, Text(StationTexts::BayOnLineOf).arg(port.Bay, port.SameLineAs, port.PortName));
        names << port.PortName;
    }

    // The file must be the job's before anything else is looked at; its copy is what is sent.
    TPinnedFile file;
    QString reason;
    if (!file.Pin(job.FilePath(), job.Sha256, &reason))
        return Fail(err, ExitCode::FileProblem, reason);

    TCliOptions run = options;
    run.Unit = job.Unit;
    run.File = job.FilePath();
    run.Ports = names;
    run.ReportPath = job.ReportPath();
    if (job.Restart)
        run.Restart = job.Restart;

    TUpdateExtras extras;
    extras.Bays = BayNames(bays);
    extras.SendPath = file.CopyPath();
    const QString jobPath = job.JobPath;
    extras.Retry = [&options, &names, &extras, jobPath](const QStringList &failed) {
        QStringList words = {QStringLiteral("varnel-cli"), QStringLiteral("update"), QStringLiteral("--job"),
                             ShellQuote(jobPath)};
        for (const QString &port : failed)
            words << QStringLiteral("--bay") << ShellQuote(extras.Bays.value(names.indexOf(port)));
        if (options.Yes)
            words << QStringLiteral("--yes");
        if (options.Restart)
            words << QStringLiteral("--restart") << (*options.Restart ? QStringLiteral("yes") : QStringLiteral("no"));
        if (options.BrandChoice)
            words << QStringLiteral("--brand-choice");
        return words.join(QLatin1Char(' '));
    };
    return RunUpdate(run, extras, out, err);
}

int RunJobCommand(const TCliOptions &options, QTextStream &out, QTextStream &err)
{
    QString error;
    const TUnitType *unit = LookUpUnit(options.Unit, OfferedUnits(options.BrandChoice), error);
    if (!unit)
        return Fail(err, ExitCode::UnknownUnit, error);

    // The file as update checks it, so that a job never pins a file that cannot be sent.
    const QFileInfo fileInfo(options.File);
    if (!fileInfo.exists())
        return Fail(err, ExitCode::FileProblem, Text(CliTexts::FileMissing).arg(options.File));
    if (!fileInfo.isFile())
        return Fail(err, ExitCode::FileProblem, Text(CliTexts::FileNotAFile).arg(options.File));
    QString sha256;
    {
        QFile file(fileInfo.absoluteFilePath());
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file) || file.error() != QFileDevice::NoError)
            return Fail(err, ExitCode::FileProblem, Text(CliTexts::FileUnreadable).arg(options.File, file.errorString()));
        sha256 = QString::fromLatin1(hash.result().toHex());
    }
    {
        TWizardState state;
        TConsoleSurface surface(nullptr, fileInfo.absoluteFilePath());
        if (CheckUpdateFileFormat(surface, state, unit->Variant) <= 0)
            return Fail(err, ExitCode::FileProblem, Text(CliTexts::FileRejected).arg(options.File, unit->ShortName));
    }

    const QString jobPath = QFileInfo(options.Output).absoluteFilePath();
    if (QFileInfo::exists(jobPath))
        return Fail(err, ExitCode::FileProblem, Text(JobCliTexts::JobExists).arg(QDir::toNativeSeparators(jobPath)));

    TJob job;
    job.Unit = options.Unit;
    job.File = RelativeToJob(fileInfo.absoluteFilePath(), jobPath);
    job.Sha256 = sha256;
    job.Restart = options.Restart;
    if (!options.ReportPath.isEmpty())
        job.Report = RelativeToJob(options.ReportPath, jobPath);
    for (const QString &pair : options.Bays) {
        const qsizetype eq = pair.indexOf(QLatin1Char('='));
        job.Bays << TJobBay{pair.left(eq).trimmed(), pair.mid(eq + 1).trimmed()};
    }
    // The job as it will be read: what the reader refuses (a bay twice, two bays on one port) is
    // refused here, before anything is written.
    TJobError jobError;
    if (!ParseJob(JobJson(job), jobPath, jobError))
        return Fail(err, ExitCode::Usage, jobError.Text);
    if (!SaveJob(job, jobPath, &error))
        return Fail(err, ExitCode::FileProblem, error);
    out << Text(JobCliTexts::JobWritten)
               .arg(QDir::toNativeSeparators(jobPath), unit->ShortName, job.File, job.Sha256,
                    BayNames(job.Bays).join(QStringLiteral(", ")))
        << '\n';
    out.flush();
    return ExitCode::Completed;
}
