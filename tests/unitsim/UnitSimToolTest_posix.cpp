#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "protocols/UpdateFlows.h"

namespace {

const QString Tool = QStringLiteral(VARNEL_BINARY_DIR "/unitsim/varnel-unitsim");

// Opens the slave raw, writes, and reads up to count bytes within two seconds.
QByteArray Exchange(const QString &path, const QByteArray &bytes, int count = 1)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return "open failed";
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
    [[maybe_unused]] const ssize_t written = ::write(fd, bytes.constData(), size_t(bytes.size()));
    QByteArray got;
    pollfd p{fd, POLLIN, 0};
    while (got.size() < count && ::poll(&p, 1, 2000) > 0) {
        char buffer[64];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        got.append(buffer, n);
    }
    ::close(fd);
    return got;
}

// Starts the tool and reads the slave's path from its first line.
QString StartTool(QProcess &process, const QStringList &args)
{
    process.start(Tool, args);
    if (!process.waitForStarted(5000))
        return QString();
    while (!process.canReadLine() && process.waitForReadyRead(5000)) {
    }
    return QString::fromLocal8Bit(process.readLine()).trimmed();
}

TEST(UnitSimTool, HelpDocumentsEveryOptionAndTheFaultRules)
{
    QProcess process;
    process.start(Tool, {QStringLiteral("--help")});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    const QString help = QString::fromLocal8Bit(process.readAllStandardOutput());
    for (const char *part : {"--family", "update-mode", "monitor", "module", "any", "--link", "--fault",
                             "--erase-time", "--answer-delay", "--pace", "--once", "--help", "--cut-after",
                             "--cut-delay", "--replug", "--adapter-latency", "STAGE[@K]=ANSWER[*N]", "silent", "hangup", "+hangup",
                             "0xHH", "line@5=C*3", "contact=Q*2"})
        EXPECT_TRUE(help.contains(QLatin1String(part))) << part;
}

class UnitSimToolUsage : public ::testing::TestWithParam<std::vector<const char *>> {};

TEST_P(UnitSimToolUsage, FaultyCommandLineIsRefusedWithAReason)
{
    QStringList args;
    for (const char *a : GetParam())
        args << QString::fromLatin1(a);
    QProcess process;
    process.start(Tool, args);
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 2);
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty()) << "no port path on a refused start";
    EXPECT_TRUE(process.readAllStandardError().startsWith("varnel-unitsim: "));
}

INSTANTIATE_TEST_SUITE_P(
    Table, UnitSimToolUsage,
    ::testing::Values(std::vector<const char *>{}, std::vector<const char *>{"--family"},
                      std::vector<const char *>{"--family", "relay"},
                      std::vector<const char *>{"--family", "monitor", "--fault", "byte@0=E"},
                      std::vector<const char *>{"--family", "monitor", "--erase-time", "-5"},
                      std::vector<const char *>{"--family", "monitor", "--pace", "0"},
                      std::vector<const char *>{"--family", "monitor", "--adapter-latency", "0"},
                      std::vector<const char *>{"--family", "monitor", "--adapter-latency", "256"},
                      std::vector<const char *>{"--family", "monitor", "--answer-delay", "soon"},
                      std::vector<const char *>{"--family", "monitor", "--verbose"}));

TEST(UnitSimTool, AnswersOnItsPortAndPrintsTheSummaryOnSigterm)
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttyV0"));
    QProcess process;
    const QString path = StartTool(process, {QStringLiteral("--family"), QStringLiteral("update-mode"),
                                             QStringLiteral("--link"), link, QStringLiteral("--fault=contact=Q*1")});
    ASSERT_TRUE(path.startsWith(QStringLiteral("/dev/"))) << path.toStdString();
    EXPECT_EQ(QFile::symLinkTarget(link), path);
    EXPECT_EQ(Exchange(path, "P"), "Q");
    EXPECT_EQ(Exchange(link, "P"), "P");

    process.terminate();
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
    EXPECT_TRUE(out.contains(QStringLiteral("contact requests: 2"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("contact 1: \"Q\" instead of \"P\""))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("SIGTERM")));
    EXPECT_FALSE(QFileInfo(link).isSymLink()) << "link removed on exit";
}

// The cable comes out after the host's second byte and is plugged in again behind the same link:
// the new line's path is printed, and the same unit answers on it.
TEST(UnitSimTool, PulledCableIsPluggedInAgainBehindTheSameLink)
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttyV0"));
    QProcess process;
    const QString first = StartTool(process, {QStringLiteral("--family"), QStringLiteral("update-mode"),
                                              QStringLiteral("--link"), link, QStringLiteral("--cut-after"),
                                              QStringLiteral("2"), QStringLiteral("--replug"), QStringLiteral("300")});
    ASSERT_TRUE(first.startsWith(QStringLiteral("/dev/"))) << first.toStdString();
    EXPECT_EQ(Exchange(link, "P"), "P");
    EXPECT_EQ(Exchange(link, "P"), "P");
    while (!process.canReadLine() && process.waitForReadyRead(5000)) {
    }
    const QString second = QString::fromLocal8Bit(process.readLine()).trimmed();
    ASSERT_TRUE(second.startsWith(QStringLiteral("/dev/"))) << second.toStdString();
    EXPECT_EQ(QFile::symLinkTarget(link), second);
    EXPECT_EQ(Exchange(link, "P"), "P");

    process.terminate();
    ASSERT_TRUE(process.waitForFinished(5000));
    const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
    EXPECT_TRUE(out.contains(QStringLiteral("contact requests: 3"))) << out.toStdString();
    const QString err = QString::fromLocal8Bit(process.readAllStandardError());
    EXPECT_TRUE(err.contains(QStringLiteral("cable pulled"))) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("plugged in again"))) << err.toStdString();
}

TEST(UnitSimTool, OnceEndsByItselfAfterTheUpdate)
{
    QProcess process;
    const QString path = StartTool(process, {QStringLiteral("--family"), QStringLiteral("module"), QStringLiteral("--once")});
    ASSERT_TRUE(path.startsWith(QStringLiteral("/dev/")));
    const QByteArray download = QByteArray(1, char(0xF0)) + BootloaderBlock(TBootloaderImage::Module);
    EXPECT_EQ(Exchange(path, download + "."), ".");
    EXPECT_EQ(Exchange(path, "S1050000AA50:"), ".");
    EXPECT_EQ(process.state(), QProcess::Running) << "not over before the end command";
    EXPECT_EQ(Exchange(path, "!"), "!");
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitCode(), 0);
    const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
    EXPECT_TRUE(out.contains(QStringLiteral("matches the module image"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("records received: 1, accepted: 1"))) << out.toStdString();
}

TEST(UnitSimTool, LinkThatCannotBeMadeIsAClearError)
{
    QTemporaryDir dir;
    QProcess process;
    process.start(Tool, {QStringLiteral("--family"), QStringLiteral("any"), QStringLiteral("--link"),
                         dir.filePath(QStringLiteral("missing/ttyV0"))});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty());
    EXPECT_TRUE(process.readAllStandardError().contains("cannot create the link"));
}

} // namespace
