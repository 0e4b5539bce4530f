// The help pages quote the program's status texts, message boxes and labels so that a
// technician can look up exactly what the window showed. Every quoted text must therefore be a
// text the program really has: a string literal of the program's sources or a string of its form
// file, with "%s"/"%1" marks filled in, or two literals joined by a number.

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>

namespace {

const QString SourceDir = QStringLiteral(VARNEL_SOURCE_DIR);
const QStringList ProgramFolders = {QStringLiteral("app"), QStringLiteral("wizard"), QStringLiteral("updatefile"),
                                    QStringLiteral("seriallink"), QStringLiteral("protocols")};

QString ReadText(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

// Decodes the escape sequences of a C++ string literal's body.
QString DecodeEscapes(const QString &body)
{
    QString out;
    for (qsizetype i = 0; i < body.size(); ++i) {
        const QChar c = body[i];
        if (c != QLatin1Char('\\') || i + 1 >= body.size()) {
            out += c;
            continue;
        }
        const QChar e = body[++i];
        switch (e.unicode()) {
        case 'n': out += QLatin1Char('\n'); break;
        case 't': out += QLatin1Char('\t'); break;
        case 'r': out += QLatin1Char('\r'); break;
        case '0': out += QChar(0); break;
        case 'x': {
            QString hex;
            while (i + 1 < body.size() && hex.size() < 2 && QStringLiteral("0123456789abcdefABCDEF").contains(body[i + 1]))
                hex += body[++i];
            out += QChar(hex.toInt(nullptr, 16));
            break;
        }
        default: out += e; break; // \" \\ \' \?
        }
    }
    return out;
}

// Every string literal of a C++ source, adjacent literals joined as the compiler joins them.
QStringList CppLiterals(const QString &src)
{
    QStringList literals;
    QString current;
    bool inRun = false; // a literal was read and only blanks or comments followed so far
    auto endRun = [&] {
        if (inRun)
            literals << current;
        current.clear();
        inRun = false;
    };
    qsizetype i = 0;
    const qsizetype n = src.size();
    while (i < n) {
        const QChar c = src[i];
        if (c == QLatin1Char('/') && i + 1 < n && src[i + 1] == QLatin1Char('/')) {
            while (i < n && src[i] != QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('/') && i + 1 < n && src[i + 1] == QLatin1Char('*')) {
            const qsizetype end = src.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? n : end + 2;
        } else if (c == QLatin1Char('R') && i + 1 < n && src[i + 1] == QLatin1Char('"')) {
            const qsizetype open = src.indexOf(QLatin1Char('('), i + 2);
            const QString delim = QLatin1Char(')') + src.mid(i + 2, open - i - 2) + QLatin1Char('"');
            const qsizetype close = src.indexOf(delim, open + 1);
            current += src.mid(open + 1, close - open - 1);
            inRun = true;
            i = close < 0 ? n : close + delim.size();
        } else if (c == QLatin1Char('"')) {
            qsizetype j = i + 1;
            while (j < n && src[j] != QLatin1Char('"')) {
                if (src[j] == QLatin1Char('\\'))
                    ++j;
                ++j;
            }
            current += DecodeEscapes(src.mid(i + 1, j - i - 1));
            inRun = true;
            i = j + 1;
        } else if (c == QLatin1Char('\'') && i > 0 && src[i - 1].isLetterOrNumber()) {
            endRun(); // a digit separator, as in 10'000
            ++i;
        } else if (c == QLatin1Char('\'')) {
            endRun();
            qsizetype j = i + 1;
            while (j < n && src[j] != QLatin1Char('\'')) {
                if (src[j] == QLatin1Char('\\'))
                    ++j;
                ++j;
            }
            i = j + 1;
        } else if (c.isSpace()) {
            ++i;
        } else {
            endRun();
            ++i;
        }
    }
    endRun();
    return literals;
}

QString XmlUnescape(QString s)
{
    s.replace(QLatin1String("&lt;"), QLatin1String("<"));
    s.replace(QLatin1String("&gt;"), QLatin1String(">"));
    s.replace(QLatin1String("&quot;"), QLatin1String("\""));
    s.replace(QLatin1String("&apos;"), QLatin1String("'"));
    s.replace(QLatin1String("&#39;"), QLatin1String("'"));
    s.replace(QLatin1String("&hellip;"), QString(QChar(0x2026)));
    s.replace(QLatin1String("&nbsp;"), QString(QChar(0xA0)));
    s.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return s;
}

// The texts of the program: its C++ literals and the strings of its form files.
QStringList ProgramTexts()
{
    QStringList texts;
    for (const QString &folder : ProgramFolders) {
        QDirIterator it(SourceDir + QLatin1Char('/') + folder, {QStringLiteral("*.cpp"), QStringLiteral("*.h"),
                                                                 QStringLiteral("*.ui")},
                        QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString src = ReadText(path);
            if (path.endsWith(QLatin1String(".ui"))) {
                static const QRegularExpression str(QStringLiteral("<string[^>]*>(.*?)</string>"),
                                                    QRegularExpression::DotMatchesEverythingOption);
                for (auto m = str.globalMatch(src); m.hasNext();)
                    texts << XmlUnescape(m.next().captured(1));
            } else {
                texts << CppLiterals(src);
            }
        }
    }
    // A text of several lines is also quoted line by line, as the window shows it.
    const QStringList whole = texts;
    for (const QString &t : whole)
        if (t.contains(QLatin1Char('\n')))
            for (const QString &line : t.split(QLatin1Char('\n')))
                if (line.size() >= 12)
                    texts << line;
    texts.removeAll(QString());
    texts.removeDuplicates();
    return texts;
}

// A program text with "%s" or "%1".."%9" marks matches any filling of the marks.
bool MatchesWithMarks(const QString &literal, const QString &quoted)
{
    static const QRegularExpression mark(QStringLiteral("%s|%[1-9]"));
    if (!literal.contains(mark))
        return literal == quoted;
    // Marks alone, or with a few characters around them ("%s", ".%1"), would match any text.
    if (QString(literal).remove(mark).size() < 12)
        return false;
    QString pattern;
    qsizetype from = 0;
    for (auto it = mark.globalMatch(literal); it.hasNext();) {
        const auto m = it.next();
        pattern += QRegularExpression::escape(literal.mid(from, m.capturedStart() - from)) + QStringLiteral("[^\\n]+?");
        from = m.capturedEnd();
    }
    pattern += QRegularExpression::escape(literal.mid(from));
    return QRegularExpression(QRegularExpression::anchoredPattern(pattern),
                              QRegularExpression::DotMatchesEverythingOption)
        .match(quoted)
        .hasMatch();
}

bool IsProgramText(const QString &quoted, const QStringList &texts)
{
    for (const QString &t : texts)
        if (MatchesWithMarks(t, quoted))
            return true;
    // A text built from two literals with a number between them.
    static const QRegularExpression number(QStringLiteral("^[0-9]+"));
    for (const QString &head : texts) {
        if (!quoted.startsWith(head) || head.size() >= quoted.size())
            continue;
        const QString rest = quoted.mid(head.size());
        const auto m = number.match(rest);
        if (m.hasMatch() && texts.contains(rest.mid(m.capturedLength())))
            return true;
    }
    return false;
}

QString HtmlUnescape(QString s)
{
    s.replace(QLatin1String("&mdash;"), QString(QChar(0x2014)));
    s.replace(QLatin1String("&ldquo;"), QString(QChar(0x201C)));
    s.replace(QLatin1String("&rdquo;"), QString(QChar(0x201D)));
    return XmlUnescape(s);
}

// What the help pages quote: the marked texts, and the titles and texts of the message boxes
// they draw (boxes marked "screen" picture a page of the window and are not quotations).
QStringList QuotedTexts(const QString &html)
{
    QStringList quoted;
    static const QRegularExpression msg(QStringLiteral(R"re(<span class="msg">(.*?)</span>)re"),
                                        QRegularExpression::DotMatchesEverythingOption);
    for (auto it = msg.globalMatch(html); it.hasNext();)
        quoted << HtmlUnescape(it.next().captured(1));
    static const QRegularExpression box(QStringLiteral(R"re(<div class="box">(.*?)</div>)re"),
                                        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression part(QStringLiteral(R"re(<span class="(?:title|text)">(.*?)</span>)re"),
                                         QRegularExpression::DotMatchesEverythingOption);
    for (auto it = box.globalMatch(html); it.hasNext();) {
        const QString inner = it.next().captured(1);
        for (auto p = part.globalMatch(inner); p.hasNext();)
            quoted << HtmlUnescape(p.next().captured(1));
    }
    return quoted;
}

TEST(HelpTexts, SourceReaderJoinsAndDecodesLiterals)
{
    const QString src = QStringLiteral(
        "// \"not this\"\n"
        "auto a = QStringLiteral(\"one  \" /* gap */ \"two\\n\" \"say \\\"hi\\\"\");\n"
        "char c = '\"'; int n = 10'000; const char *b = R\"x(raw \"text\")x\"; f(\"x\", \"y\");\n");
    EXPECT_EQ(CppLiterals(src), (QStringList{QStringLiteral("one  two\nsay \"hi\""),
                                            QStringLiteral("raw \"text\""), QStringLiteral("x"),
                                            QStringLiteral("y")}));
}

TEST(HelpTexts, QuotedTextsMatchExactlyOrThroughMarksAndNumbers)
{
    const QStringList texts = {QStringLiteral("Try again.  Now."), QStringLiteral("Hello %s and %1."), QStringLiteral("%s"),
                               QStringLiteral("Resending "), QStringLiteral(" of 4...")};
    EXPECT_TRUE(IsProgramText(QStringLiteral("Try again.  Now."), texts));
    EXPECT_FALSE(IsProgramText(QStringLiteral("Try again. Now."), texts)) << "blanks count";
    EXPECT_FALSE(IsProgramText(QStringLiteral("Try again.  Now. "), texts)) << "trailing blanks count";
    EXPECT_TRUE(IsProgramText(QStringLiteral("Hello Varnel and you."), texts));
    EXPECT_FALSE(IsProgramText(QStringLiteral("Hello Varnel\nand you."), texts)) << "a mark holds no line break";
    EXPECT_FALSE(IsProgramText(QStringLiteral("Anything at all"), texts)) << "a bare mark matches nothing";
    EXPECT_TRUE(IsProgramText(QStringLiteral("Resending 3 of 4..."), texts));
    EXPECT_FALSE(IsProgramText(QStringLiteral("Resending x of 4..."), texts));
}

class HelpTextsOfPage : public ::testing::TestWithParam<const char *> {};

TEST_P(HelpTextsOfPage, AreTheProgramsOwnTexts)
{
    static const QStringList texts = ProgramTexts();
    ASSERT_GT(texts.size(), 100) << "the program's sources were not found";
    const QString html = ReadText(SourceDir + QStringLiteral("/help/") + QLatin1String(GetParam()));
    ASSERT_FALSE(html.isEmpty());
    QStringList strangers;
    for (const QString &quoted : QuotedTexts(html))
        if (!IsProgramText(quoted, texts))
            strangers << QLatin1Char('[') + quoted + QLatin1Char(']');
    EXPECT_TRUE(strangers.isEmpty()) << "quoted but not a text of the program:\n"
                                     << qPrintable(strangers.join(QLatin1Char('\n')));
}

INSTANTIATE_TEST_SUITE_P(All, HelpTextsOfPage,
                         ::testing::Values("index.html", "getting-started.html", "unit-modes.html", "messages.html",
                                           "serial-linux.html", "troubleshooting.html", "without-hardware.html"),
                         [](const auto &info) {
                             QString name = QString::fromLatin1(info.param);
                             name.chop(5);
                             return name.remove(QLatin1Char('-')).toStdString();
                         });

} // namespace
