// The port list: the system's ports plus virtual ports made as links in /dev, sorted the way
// the port page shows them.
#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>

#include <unistd.h>

#include "PtyPair.h"
#include "seriallink/ComPort.h"
#include "seriallink/TComPort.h"

namespace {

struct TSortCase {
    const char *Name;
    QStringList Given;
    QStringList Sorted;
};

class PortNameSort : public ::testing::TestWithParam<TSortCase> {};

TEST_P(PortNameSort, CaseInsensitiveCharacterByCharacter)
{
    QStringList names = GetParam().Given;
    SortPortNames(names);
    EXPECT_EQ(names, GetParam().Sorted);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, PortNameSort,
    ::testing::Values(
        TSortCase {"TwoDigitNamesBeforeLongerDigits", {"COM2", "COM10", "COM1"}, {"COM1", "COM10", "COM2"}},
        TSortCase {"CaseIgnored", {"ttyS1", "COM3", "TTYs0", "com12"}, {"com12", "COM3", "TTYs0", "ttyS1"}},
        TSortCase {"DuplicatesKept", {"COM4", "COM1", "COM4"}, {"COM1", "COM4", "COM4"}},
        TSortCase {"Empty", {}, {}}),
    [](const auto &info) { return std::string(info.param.Name); });

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

struct TMessageCase {
    int Code;
    int Number;
    const char *Message;
};

class ComErrorMessage : public ::testing::TestWithParam<TMessageCase> {};

TEST_P(ComErrorMessage, DescriptionThenTheSystemNumber)
{
    const EComPort e(GetParam().Code, GetParam().Number);
    EXPECT_STREQ(e.what(), GetParam().Message);
    EXPECT_EQ(e.Code(), GetParam().Code);
    EXPECT_EQ(e.WinCode(), GetParam().Number);
}

INSTANTIATE_TEST_SUITE_P(Codes, ComErrorMessage,
                         ::testing::Values(TMessageCase {1, 2, "Unable to open com port (win error code: 2)"},
                                           TMessageCase {7, 22, "SetCommState function failed (win error code: 22)"},
                                           TMessageCase {3, 0, "ReadFile function failed (win error code: 0)"}));

} // namespace
