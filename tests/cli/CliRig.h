#pragma once

// Running the real varnel-cli as a process, and the simulated unit (varnel-unitsim) as another
// behind a pseudo-terminal, as a station would: the programs' paths come from the build folder,
// the sample update files from the source tree.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

inline QString CliPath()
{
    return QStringLiteral(VARNEL_BINARY_DIR "/cli/varnel-cli");
}

inline QString UnitSimPath()
{
    return QStringLiteral(VARNEL_BINARY_DIR "/unitsim/varnel-unitsim");
}

inline QString Sample(const char *name)
{
    return QStringLiteral(VARNEL_SOURCE_DIR "/samples/") + QString::fromLatin1(name);
}

inline QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// What a simulated unit holds after a completed update of the file (varnel-unitsim --record):
// an update-mode unit every line with CR LF; a monitor its programmed bytes by address, one
// "AAAA DD" line each; a module the S1 records, each ended by ":".
inline QByteArray ExpectedRecord(const QString &family, const QString &path)
{
    QByteArray text = ReadAll(path);
    text.replace("\r\n", "\n");
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    QByteArray out;
    if (family == QLatin1String("update-mode")) {
        for (const QByteArray &line : lines)
            out += line + "\r\n";
    } else if (family == QLatin1String("monitor")) {
        QMap<int, int> memory;
        for (const QByteArray &line : lines) {
            if (!line.startsWith("S1"))
                continue;
            const QByteArray raw = QByteArray::fromHex(line.mid(2));
            const int address = (quint8(raw.at(1)) << 8) | quint8(raw.at(2));
            for (qsizetype i = 3; i + 1 < raw.size(); ++i)
                memory[address + int(i - 3)] = quint8(raw.at(i));
        }
        for (auto it = memory.cbegin(); it != memory.cend(); ++it)
            out += QStringLiteral("%1 %2\n").arg(it.key(), 4, 16, QLatin1Char('0')).arg(it.value(), 2, 16, QLatin1Char('0')).toUpper().toLatin1();
    } else {
        for (const QByteArray &line : lines)
            if (line.startsWith("S1"))
                out += line + ":";
    }
    return out;
}

// One simulated unit, started as varnel-unitsim and ended with SIGINT, which makes it write its
// record and its summary.
class TSimUnit {
public:
    // False (with the reason in Error) when the unit did not come up.
    bool Start(const QString &family, const QStringList &extra = {})
    {
        record_ = dir_.filePath(QStringLiteral("record"));
        QStringList args = {QStringLiteral("--family"), family, QStringLiteral("--record"), record_};
        args << extra;
        process_.setProgram(UnitSimPath());
        process_.setArguments(args);
        process_.start();
        if (!process_.waitForStarted(5000)) {
            Error = QStringLiteral("varnel-unitsim did not start: ") + process_.errorString();
            return false;
        }
        QElapsedTimer t;
        t.start();
        while (!process_.canReadLine() && t.elapsed() < 5000)
            process_.waitForReadyRead(100);
        if (!process_.canReadLine()) {
            Error = QStringLiteral("varnel-unitsim printed no path: ") + QString::fromLocal8Bit(process_.readAllStandardError());
            return false;
        }
        Path = QString::fromLocal8Bit(process_.readLine()).trimmed();
        return !Path.isEmpty();
    }

    // Ends the unit; what it said on exit (its summary) is returned.
    QString Stop()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate(); // SIGTERM: the unit writes its record and summary
            process_.waitForFinished(10000);
        }
        summary_ += QString::fromLocal8Bit(process_.readAllStandardOutput());
        return summary_;
    }

    QByteArray Record() const { return ReadAll(record_); }

    ~TSimUnit()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

    QString Path;
    QString Error;

private:
    QTemporaryDir dir_;
    QProcess process_;
    QString record_;
    QString summary_;
};

// One run of varnel-cli: its exit code and what it wrote.
struct TCliResult {
    int ExitCode = -1;
    bool Crashed = false;
    QByteArray Out;
    QByteArray Err;

    // The JSON events on standard output; a line that is not a JSON object fails the test.
    QList<QJsonObject> Events() const
    {
        QList<QJsonObject> events;
        for (const QByteArray &line : Out.split('\n')) {
            if (line.isEmpty())
                continue;
            QJsonParseError error;
            const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
            EXPECT_EQ(error.error, QJsonParseError::NoError) << "not JSON: " << line.toStdString();
            EXPECT_TRUE(doc.isObject()) << line.toStdString();
            events << doc.object();
        }
        return events;
    }
};

inline QList<QJsonObject> EventsOf(const QList<QJsonObject> &events, const char *kind)
{
    QList<QJsonObject> found;
    for (const QJsonObject &e : events)
        if (e.value(QStringLiteral("event")).toString() == QLatin1String(kind))
            found << e;
    return found;
}

// Runs varnel-cli to its end (at most timeoutMs) with standard input closed.
inline TCliResult RunCli(const QStringList &args, int timeoutMs = 60000)
{
    QProcess process;
    process.setProgram(CliPath());
    process.setArguments(args);
    process.start();
    process.closeWriteChannel();
    TCliResult result;
    if (!process.waitForStarted(5000)) {
        ADD_FAILURE() << "varnel-cli did not start: " << process.errorString().toStdString();
        return result;
    }
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        ADD_FAILURE() << "varnel-cli did not end within " << timeoutMs << " ms: " << args.join(' ').toStdString();
    }
    result.Crashed = process.exitStatus() != QProcess::NormalExit;
    result.ExitCode = process.exitCode();
    result.Out = process.readAllStandardOutput();
    result.Err = process.readAllStandardError();
    return result;
}
