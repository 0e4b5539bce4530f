#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Shared by the fuzz targets of the update-file code: a failed invariant aborts with a message
// (the fuzzer keeps the input as a crash; the corpus replay fails), and a scratch folder holds
// the file each input is written to.

#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond))                                                                               \
            FuzzSupport::Fail(#cond, __FILE__, __LINE__);                                          \
    } while (0)

namespace FuzzSupport {

[[noreturn]] inline void Fail(const char *what, const char *file, int line)
{
    std::fprintf(stderr, "invariant failed: %s (%s:%d)\n", what, file, line);
    std::fflush(stderr);
    std::abort();
}

// Qt's own warnings (a broken file name passed to QFileInfo, for one) would flood the fuzzer's
// output; they are not findings.
inline void SilenceQt()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
}

// A folder for the whole run, where one file is rewritten per input: inside VARNEL_FUZZ_SCRATCH
// when set (the fuzz script sets it and removes it afterwards, since libFuzzer ends a run
// without destructors), else in memory when /dev/shm is there.
inline const QString &ScratchDir()
{
    static const QString base = [] {
        const QString given = qEnvironmentVariable("VARNEL_FUZZ_SCRATCH");
        if (!given.isEmpty())
            return given;
        return QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    }();
    static QTemporaryDir dir(base + QStringLiteral("/varnel-fuzz-XXXXXX"));
    static const QString path = dir.path();
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot create a scratch folder in %s\n", qPrintable(base));
        std::abort();
    }
    return path;
}

// Writes bytes to path, replacing what was there; false when the file cannot be written.
inline bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

inline QByteArray Bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

} // namespace FuzzSupport
