// Virtual serial ports made as links in /dev: listed when they lead to a pseudo-terminal and
// opened by the link's name.
#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>

#include <unistd.h>

#include "PtyPair.h"
#include "seriallink/TComPort.h"

namespace {

// A symbolic link in /dev, removed again however the test ends.
class TDevLink {
public:
    TDevLink(const QString &name, const QString &target) : path_(QStringLiteral("/dev/") + name)
    {
        made_ = ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path_).constData()) == 0;
    }
    ~TDevLink()
    {
        if (made_)
            ::unlink(QFile::encodeName(path_).constData());
    }
    bool Made() const { return made_; }

private:
    QString path_;
    bool made_ = false;
};

QString LinkName(const char *what)
{
    return QStringLiteral("ttyVarnel%1%2").arg(QLatin1String(what)).arg(::getpid());
}

struct TLinkCase {
    const char *Name;
    // The link's target, given the pty's terminal path.
    std::function<QString(const QString &ptyPath)> Target;
    bool Listed;
};

class DevLinkListing : public ::testing::TestWithParam<TLinkCase> {};

TEST_P(DevLinkListing, OnlyLinksToAPseudoTerminalAreListed)
{
    TPtyPair pty;
    if (!pty.Ok())
        GTEST_SKIP() << "no pseudo-terminal available";
    const QString name = LinkName(GetParam().Name);
    TDevLink link(name, GetParam().Target(pty.Path()));
    if (!link.Made())
        GTEST_SKIP() << "cannot make links in /dev here";

    TComPort port;
    QStringList list {QStringLiteral("left over")};
    port.ListSerialPorts(list);
    EXPECT_FALSE(list.contains(QStringLiteral("left over")));
    EXPECT_EQ(list.contains(name), GetParam().Listed) << list.join(' ').toStdString();
    QStringList sorted = list;
    SortPortNames(sorted);
    EXPECT_EQ(list, sorted);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, DevLinkListing,
    ::testing::Values(
        TLinkCase {"Absolute", [](const QString &p) { return p; }, true},
        TLinkCase {"Relative", [](const QString &p) { return p.mid(5); }, true},
        TLinkCase {"NotATerminal", [](const QString &) { return QStringLiteral("/dev/null"); }, false},
        TLinkCase {"Multiplexer", [](const QString &) { return QStringLiteral("/dev/pts/ptmx"); }, false},
        TLinkCase {"Gone", [](const QString &) { return QStringLiteral("/dev/pts/987654"); }, false},
        TLinkCase {"OverAnotherLink", [](const QString &) { return QStringLiteral("/proc/self/fd/0"); }, false}),
    [](const auto &info) { return std::string(info.param.Name); });

TEST(DevLinkPort, OpensByTheLinkName)
{
    TPtyPair pty;
    if (!pty.Ok())
        GTEST_SKIP() << "no pseudo-terminal available";
    const QString name = LinkName("Open");
    TDevLink link(name, pty.Path());
    if (!link.Made())
        GTEST_SKIP() << "cannot make links in /dev here";

    TComPort port;
    port.SetPort(name);
    port.OpenPort();
    EXPECT_EQ(port.WriteBytes("Q"), 1);
    EXPECT_EQ(pty.FarRead(1, 1000), "Q");
}

} // namespace
