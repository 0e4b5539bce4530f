// The help pages installed beside the program: all present, plain HTML without scripts, every
// local link leading to a page (and anchor) that exists, tags closed, and the program's texts
// quoted on one source line each so that the browser shows their blanks as the program does.

#include <gtest/gtest.h>

#include <QDir>
#include <algorithm>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QUrl>

namespace {

const QString HelpDir = QStringLiteral(VARNEL_SOURCE_DIR "/help");

const char *const Pages[] = {
    "index.html",        "getting-started.html", "unit-modes.html",       "messages.html",
    "serial-linux.html", "serial-windows.html",  "troubleshooting.html",  "without-hardware.html",
};

QString ReadPage(const QString &name)
{
    QFile f(HelpDir + QLatin1Char('/') + name);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

// The ids that a page's anchors can point to.
QSet<QString> IdsOf(const QString &html)
{
    QSet<QString> ids;
    static const QRegularExpression id(QStringLiteral(R"re(\sid="([^"]+)")re"));
    for (auto it = id.globalMatch(html); it.hasNext();)
        ids.insert(it.next().captured(1));
    return ids;
}

QStringList LinksOf(const QString &html)
{
    QStringList links;
    static const QRegularExpression link(QStringLiteral(R"re(\s(?:href|src)="([^"]*)")re"));
    for (auto it = link.globalMatch(html); it.hasNext();)
        links << it.next().captured(1);
    return links;
}

class HelpPage : public ::testing::TestWithParam<const char *> {
protected:
    QString Page() const { return QString::fromLatin1(GetParam()); }
    QString Html() const { return ReadPage(Page()); }
};

TEST_P(HelpPage, ExistsWithTitleAndStyleSheet)
{
    const QString html = Html();
    ASSERT_FALSE(html.isEmpty()) << GetParam() << " is missing or empty";
    EXPECT_TRUE(html.startsWith(QLatin1String("<!DOCTYPE html>")));
    EXPECT_TRUE(html.contains(QLatin1String("<meta charset=\"utf-8\">")));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("<title>[^<]+</title>")).match(html).hasMatch());
    EXPECT_TRUE(html.contains(QLatin1String("<link rel=\"stylesheet\" href=\"style.css\">")));
}

TEST_P(HelpPage, RunsNoScript)
{
    const QString html = Html();
    ASSERT_FALSE(html.isEmpty());
    EXPECT_FALSE(html.contains(QLatin1String("<script"), Qt::CaseInsensitive));
    EXPECT_FALSE(html.contains(QLatin1String("javascript:"), Qt::CaseInsensitive));
    static const QRegularExpression handler(QStringLiteral(R"re(\son[a-z]+\s*=)re"),
                                            QRegularExpression::CaseInsensitiveOption);
    EXPECT_FALSE(handler.match(html).hasMatch()) << "event handler attribute";
}

TEST_P(HelpPage, LocalLinksLeadToExistingPagesAndAnchors)
{
    const QString html = Html();
    ASSERT_FALSE(html.isEmpty());
    for (const QString &target : LinksOf(html)) {
        const QUrl url(target);
        if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https") ||
            url.scheme() == QLatin1String("mailto"))
            continue;
        EXPECT_TRUE(url.scheme().isEmpty()) << qPrintable(target) << ": only relative links stay inside the folder";
        EXPECT_FALSE(target.startsWith(QLatin1Char('/'))) << qPrintable(target);
        const QString file = url.path().isEmpty() ? Page() : url.path();
        const QString path = QDir::cleanPath(HelpDir + QLatin1Char('/') + file);
        EXPECT_TRUE(path.startsWith(HelpDir + QLatin1Char('/'))) << qPrintable(target);
        ASSERT_TRUE(QFile::exists(path)) << GetParam() << " links to missing " << qPrintable(target);
        if (url.hasFragment()) {
            const QSet<QString> ids = IdsOf(ReadPage(file));
            EXPECT_TRUE(ids.contains(url.fragment()))
                << GetParam() << " links to missing anchor " << qPrintable(target);
        }
    }
}

TEST_P(HelpPage, ClosesEveryElementItOpens)
{
    const QString html = Html();
    ASSERT_FALSE(html.isEmpty());
    static const QSet<QString> empty = {QStringLiteral("meta"), QStringLiteral("link"), QStringLiteral("br"),
                                        QStringLiteral("img"), QStringLiteral("hr"), QStringLiteral("!doctype")};
    static const QRegularExpression tag(QStringLiteral(R"re(<(/?)([!a-zA-Z][a-zA-Z0-9]*)[^>]*>)re"));
    QStringList open;
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        const QString name = m.captured(2).toLower();
        if (empty.contains(name) || name.startsWith(QLatin1Char('!')))
            continue;
        if (m.captured(1).isEmpty()) {
            open << name;
        } else {
            ASSERT_FALSE(open.isEmpty()) << "</" << qPrintable(name) << "> closes nothing";
            ASSERT_EQ(open.last(), name) << "</" << qPrintable(name) << "> at offset " << m.capturedStart();
            open.removeLast();
        }
    }
    EXPECT_TRUE(open.isEmpty()) << "left open: " << qPrintable(open.join(QLatin1Char(' ')));
}

// Quoted program texts keep their blanks (two after some full stops, trailing ones); the style
// sheet shows them as written, so a line break in the source would show as one too.
TEST_P(HelpPage, QuotesEachProgramTextOnOneSourceLine)
{
    const QString html = Html();
    ASSERT_FALSE(html.isEmpty());
    static const QRegularExpression quoted(QStringLiteral(R"re(<span class="msg">(.*?)</span>)re"),
                                           QRegularExpression::DotMatchesEverythingOption);
    for (auto it = quoted.globalMatch(html); it.hasNext();) {
        const QString text = it.next().captured(1);
        EXPECT_FALSE(text.contains(QLatin1Char('\n'))) << qPrintable(text);
        EXPECT_FALSE(text.contains(QLatin1Char('<'))) << qPrintable(text);
    }
}

INSTANTIATE_TEST_SUITE_P(All, HelpPage, ::testing::ValuesIn(Pages), [](const auto &info) {
    QString name = QString::fromLatin1(info.param);
    name.chop(5);
    return name.remove(QLatin1Char('-')).toStdString();
});

TEST(HelpPages, StartPageLinksEveryOtherPage)
{
    const QStringList links = LinksOf(ReadPage(QStringLiteral("index.html")));
    for (const char *page : Pages) {
        const bool linked = std::any_of(links.begin(), links.end(), [&](const QString &l) {
            return QUrl(l).path() == QLatin1String(page);
        });
        EXPECT_TRUE(linked) << page << " cannot be reached from the start page";
    }
}

TEST(HelpPages, EveryPageOfTheFolderIsChecked)
{
    const QStringList present = QDir(HelpDir).entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
    QStringList known;
    for (const char *page : Pages)
        known << QString::fromLatin1(page);
    for (const QString &page : present)
        EXPECT_TRUE(known.contains(page)) << qPrintable(page) << " is not in the list of help pages";
    EXPECT_FALSE(ReadPage(QStringLiteral("style.css")).isEmpty());
}

} // namespace
