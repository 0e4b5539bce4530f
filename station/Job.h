#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

#include "protocols/UpdateOutcome.h"
#include "updatefile/FileSummary.h"

// A job: what an engineer fixes for a bench and an operator cannot change. A JSON file (UTF-8):
//   {"unit": "TVR-4200", "file": "T4200170.s19", "sha256": "<64 hex digits>", "restart": "yes",
//    "report": "station.jsonl", "bays": [{"name": "A1", "port": "ttyUSB0"}, ...]}
// "restart" and "report" may be left out; every other field is needed, and no other is taken.

struct TJobBay {
    QString Name;
    QString Port; // as written in the job: a port name, a link, a COM name or a location path
};

struct TJob {
    QString Unit;                 // as varnel-cli takes it: code, short or full name
    QString File;                 // as written; relative to the job file's folder
    QString Sha256;               // 64 lower-case hex digits
    std::optional<bool> Restart;  // "yes" / "no"; absent: asked
    QString Report;               // as written; relative to the job file's folder; may be empty
    QList<TJobBay> Bays;
    QString JobPath;              // absolute path of the job file; empty for a job not saved yet

    QString Name() const;         // the job file's base name without ".json", e.g. "line3"
    QString FilePath() const;     // File made absolute against the job's folder
    QString ReportPath() const;   // Report made absolute, empty when none
};

// Why a job cannot be used: one line naming the job file and the field, and the exit code a
// command gives for it (2: the job is written wrong, 4: the job file cannot be read).
struct TJobError {
    QString Text;
    int ExitCode = 2;
};

// Reads a job from its JSON; jobPath (made absolute) is where it was read from, for the texts
// and the relative paths. Refuses anything not a job: not JSON, an unknown field, a field
// missing, empty or of the wrong type, a SHA-256 that is not 64 hexadecimal digits (taken in
// either letter case, kept in lower case), a restart other than "yes" or "no", no bay, a bay
// named twice, and two bays on one port as written.
std::optional<TJob> ParseJob(const QByteArray &json, const QString &jobPath, TJobError &error);

// Reads the job file at path (a regular file of at most 1 MiB) and parses it.
std::optional<TJob> LoadJob(const QString &path, TJobError &error);

// What SaveJob writes (pretty, UTF-8): the fields of the job, "restart" and "report" only when
// set. ParseJob reads it back as the same job.
QByteArray JobJson(const TJob &job);

// Writes the job to path whole or not at all (a crash never leaves half a job). False with a
// one-line reason when it could not be written.
bool SaveJob(const TJob &job, const QString &path, QString *error);

// The index of the job's bay of that name (letter case aside), -1 when it has none.
int FindBay(const TJob &job, const QString &name);

// The job's update file held to its SHA-256: read whole and hashed, and a private copy of the
// bytes that matched is what the bays are given to send. So what reaches a unit is what was
// hashed, even when the file is replaced while bays run or wait at their Begin question.
class TPinnedFile {
public:
    TPinnedFile();
    ~TPinnedFile();
    TPinnedFile(const TPinnedFile &) = delete;
    TPinnedFile &operator=(const TPinnedFile &) = delete;

    // Reads the file at path and compares its SHA-256 with sha256 (hexadecimal). True when it
    // matches; the copy is made at the first match and kept after (a later match has the same
    // bytes). False with the one-line reason and the kind of file problem otherwise; a copy
    // made before stays for the bays that run on it.
    bool Pin(const QString &path, const QString &sha256, QString *reason, TFileProblem *problem = nullptr);

    QString CopyPath() const;                      // empty before the first match
    const std::optional<TFileSummary> &Summary() const; // of the copy
    qint64 Size() const;                           // of the copy

private:
    struct TState;
    std::unique_ptr<TState> state_;
};

// What the station says of a job and its file; %1, %2 ... are filled in where they are shown.
namespace JobTexts {
inline constexpr char NotJson[] = "%1: not a job: %2 at byte %3";
inline constexpr char NotObject[] = "%1: not a job: a JSON object with unit, file, sha256 and bays expected";
inline constexpr char UnknownField[] = "%1: %2: unknown field (a job has unit, file, sha256, restart, report and bays)";
inline constexpr char UnknownBayField[] = "%1: %2: unknown field (a bay has name and port)";
inline constexpr char FieldMissing[] = "%1: %2 is missing";
inline constexpr char FieldNotText[] = "%1: %2: a text in quotes expected";
inline constexpr char FieldEmpty[] = "%1: %2 is empty";
inline constexpr char BadSha256[] = "%1: sha256: 64 hexadecimal digits expected, not \"%2\"";
inline constexpr char BadRestart[] = "%1: restart: \"yes\" or \"no\" expected";
inline constexpr char BaysNotList[] = "%1: bays: a list of bays expected";
inline constexpr char NoBays[] = "%1: bays: the job has no bay";
inline constexpr char BayNotObject[] = "%1: %2: a bay {\"name\": ..., \"port\": ...} expected";
inline constexpr char BayNamedTwice[] = "%1: %2: bay %3 is named twice";
inline constexpr char BaysOnOnePort[] = "%1: %2: bays %3 and %4 are on one port (%5)";
inline constexpr char JobMissing[] = "%1: no such job file";
inline constexpr char JobNotAFile[] = "%1: the job is not a file";
inline constexpr char JobTooLarge[] = "%1: not a job: larger than 1 MiB";
inline constexpr char JobUnreadable[] = "%1: the job cannot be read: %2";
inline constexpr char JobUnwritable[] = "cannot write the job %1: %2";

inline constexpr char FileMissing[] = "file %1: no such file; nothing is sent";
inline constexpr char FileUnreadable[] = "file %1 cannot be read: %2; nothing is sent";
inline constexpr char FileNotAFile[] = "file %1 is not a file; nothing is sent";
inline constexpr char FileNotTheJobs[] =
    "file %1 is not the job's file: its SHA-256 is %2, the job's is %3; nothing is sent";
inline constexpr char CopyFailed[] = "cannot keep the copy of %1 to send: %2; nothing is sent";
} // namespace JobTexts
