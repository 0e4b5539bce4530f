// varnel-cli as a process, for everything that ends before a port is opened: help, usage
// faults, units, files, the check and the report; each with its exit code and its one line.
#include "tests/cli/CliRig.h"

#include <QJsonArray>

namespace {

struct TRunCase {
    const char *Name;
    QStringList Args;
    int ExitCode;
    const char *Out; // standard output holds this ("" for anything)
    const char *Err; // standard error holds this ("" for nothing at all)
};

void PrintTo(const TRunCase &c, std::ostream *os) { *os << c.Name; }

class CliRun : public ::testing::TestWithParam<TRunCase> {};

TEST_P(CliRun, EndsWithItsCodeAndOneClearLine)
{
    const TRunCase &c = GetParam();
    QStringList args;
    for (QString a : c.Args) {
        a.replace(QStringLiteral("@SAMPLES@"), QStringLiteral(VARNEL_SOURCE_DIR "/samples"));
        args << a;
    }
    const TCliResult r = RunCli(args, 20000);
    ASSERT_FALSE(r.Crashed) << r.Err.toStdString();
    EXPECT_EQ(r.ExitCode, c.ExitCode) << r.Err.toStdString();
    EXPECT_TRUE(r.Out.contains(c.Out)) << r.Out.toStdString();
    if (*c.Err == '\0') {
        EXPECT_TRUE(r.Err.isEmpty()) << r.Err.toStdString();
    } else {
        EXPECT_TRUE(r.Err.contains(c.Err)) << r.Err.toStdString();
        // An error is one line, named as the program's.
        EXPECT_TRUE(r.Err.startsWith("varnel-cli: ")) << r.Err.toStdString();
        EXPECT_EQ(r.Err.count('\n'), 1) << r.Err.toStdString();
    }
}

const QString T42 = QStringLiteral("@SAMPLES@/T4200170.s19");
const QString T3770 = QStringLiteral("@SAMPLES@/T3770170.s19");

INSTANTIATE_TEST_SUITE_P(
    Table, CliRun,
    ::testing::Values(
        TRunCase{"Help", {"--help"}, 0, "Exit codes:", ""},
        TRunCase{"HelpNamesEveryCommand", {"--help"}, 0, "report FILE [--csv]", ""},
        TRunCase{"HelpOfUpdate", {"update", "--help"}, 0, "--restart yes|no", ""},
        TRunCase{"HelpOfCheck", {"help", "check"}, 0, "Usage: varnel-cli check FILE", ""},
        TRunCase{"Version", {"--version"}, 0, "varnel-cli " VARNEL_VERSION, ""},
        TRunCase{"NoCommand", {}, 2, "", "no command given"},
        TRunCase{"UnknownOption", {"ports", "--verbose"}, 2, "", "unknown option --verbose for ports"},
        TRunCase{"MissingValue", {"update", "--unit"}, 2, "", "--unit needs a value"},
        TRunCase{"NoTerminalNoYes", {"update", "--unit", "12", "--port", "ttyNone", "--file", T42}, 2, "", "give --yes"},
        TRunCase{"NoTerminalNoRestart",
                 {"update", "--unit", "TVR-4200", "--port", "ttyNone", "--file", T42, "--yes"}, 2, "", "--restart"},
        TRunCase{"UnknownUnit", {"check", T42, "--unit", "TVR-9000"}, 3, "", "unknown unit \"TVR-9000\"; offered: 13 TVR-3770"},
        TRunCase{"UnitNotOffered",
                 {"update", "--unit", "KLN-12B", "--port", "ttyNone", "--file", T42, "--yes"}, 3, "", "not offered"},
        TRunCase{"FileMissing",
                 {"update", "--unit", "13", "--port", "ttyNone", "--file", "@SAMPLES@/none.s19", "--yes"}, 4, "", "no such file"},
        TRunCase{"FileIsAFolder", {"check", "@SAMPLES@", "--unit", "13"}, 4, "", "not a file"},
        TRunCase{"ReportNotWritable",
                 {"update", "--unit", "13", "--port", "ttyNone", "--file", T3770, "--yes", "--report", "@SAMPLES@"}, 4, "",
                 "cannot write the report"},
        TRunCase{"PortDoesNotExist",
                 {"update", "--unit", "13", "--port", "ttyNoSuchPort", "--file", T3770, "--yes"}, 5, "",
                 "port ttyNoSuchPort does not exist"},
        TRunCase{"CheckAccepts", {"check", T42, "--unit", "tvr-4200"}, 0, "Format check: accepted, 256 data records", ""},
        TRunCase{"CheckSummary", {"check", T3770, "--unit", "13"}, 0, "  addresses      0xE000-0xFFFF", ""},
        TRunCase{"ReportMissing", {"report", "@SAMPLES@/none.jsonl"}, 4, "", "none.jsonl"}),
    [](const ::testing::TestParamInfo<TRunCase> &info) { return std::string(info.param.Name); });

TEST(CliCheck, AFileOfAnotherRecordVariantIsRejectedWithTheWindowsBox)
{
    const TCliResult r = RunCli({QStringLiteral("check"), Sample("T3770170.s19"), QStringLiteral("--unit"), QStringLiteral("12")});
    EXPECT_EQ(r.ExitCode, 4);
    EXPECT_TRUE(r.Out.contains("File Format Error: The selected update file is not in the proper format for this unit type"))
        << r.Out.toStdString();
    EXPECT_TRUE(r.Out.contains("File name: Warning: Looking for T42*.S19")) << r.Out.toStdString();
    EXPECT_TRUE(r.Out.contains("Format check: rejected"));
}

TEST(CliCheck, JsonHoldsTheVerdictTheMessagesAndTheSummary)
{
    QTemporaryDir dir;
    // A record whose checksum is wrong: the format check does not look at checksums, the
    // summary names the line.
    QByteArray text = ReadAll(Sample("T4200170.s19"));
    QList<QByteArray> lines = text.split('\n');
    QByteArray &third = lines[2];
    third[third.size() - 1] = third.at(third.size() - 1) == '0' ? '1' : '0';
    const QString path = dir.filePath(QStringLiteral("T42BAD.s19"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(lines.join('\n'));
    file.close();

    const TCliResult r = RunCli({QStringLiteral("check"), path, QStringLiteral("--unit"), QStringLiteral("12"), QStringLiteral("--json")});
    EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    const QList<QJsonObject> objects = r.Events();
    ASSERT_EQ(objects.size(), 1) << r.Out.toStdString();
    const QJsonObject o = objects.first();
    EXPECT_TRUE(o.value("accepted").toBool());
    EXPECT_TRUE(o.value("nameFits").toBool());
    EXPECT_EQ(o.value("records").toInt(), 256);
    EXPECT_EQ(o.value("unit").toObject().value("recordVariant").toString(), "S3");
    const QJsonObject s = o.value("summary").toObject();
    EXPECT_EQ(s.value("badChecksumLines").toArray(), QJsonArray({3}));
    EXPECT_EQ(s.value("recordsByType").toObject().value("S3").toInt(), 256);
    EXPECT_EQ(s.value("dataBytes").toInt(), 4096);
    EXPECT_EQ(s.value("sha256").toString().size(), 64);
    EXPECT_FALSE(o.value("messages").toArray().isEmpty());
}

TEST(CliUnits, TheShippedBuildOffersTheSecondBrandAndBrandChoiceAddsTheFirst)
{
    const TCliResult shipped = RunCli({QStringLiteral("units"), QStringLiteral("--json")});
    ASSERT_EQ(shipped.ExitCode, 0);
    const QJsonArray four = QJsonDocument::fromJson(shipped.Out).array();
    ASSERT_EQ(four.size(), 4) << shipped.Out.toStdString();
    EXPECT_EQ(four.at(0).toObject().value("code").toInt(), 13);
    EXPECT_EQ(four.at(0).toObject().value("flow").toString(), "monitor");
    EXPECT_EQ(four.at(1).toObject().value("recordVariant").toString(), "S3");
    EXPECT_EQ(four.at(1).toObject().value("prefixes").toArray(), QJsonArray({QStringLiteral("T42")}));

    const TCliResult both = RunCli({QStringLiteral("units"), QStringLiteral("--brand-choice"), QStringLiteral("--json")});
    const QJsonArray ten = QJsonDocument::fromJson(both.Out).array();
    ASSERT_EQ(ten.size(), 10);
    EXPECT_EQ(ten.at(4).toObject().value("shortName").toString(), "KLN-12B");
    EXPECT_EQ(ten.at(4).toObject().value("flow").toString(), "module");
    EXPECT_EQ(ten.at(4).toObject().value("prefixes").toArray().size(), 3);

    const TCliResult table = RunCli({QStringLiteral("units")});
    EXPECT_TRUE(table.Out.contains("12    TVR-4200")) << table.Out.toStdString();
}

TEST(CliPorts, JsonListsEveryPortWithItsFields)
{
    const TCliResult r = RunCli({QStringLiteral("ports"), QStringLiteral("--json")});
    ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    const QJsonDocument doc = QJsonDocument::fromJson(r.Out);
    ASSERT_TRUE(doc.isArray()) << r.Out.toStdString();
    for (const QJsonValue &v : doc.array()) {
        const QJsonObject p = v.toObject();
        for (const char *key : {"name", "busy", "reason", "description", "manufacturer", "serialNumber", "vendorId",
                                "productId", "byIdLink", "friendlyName", "locationPath", "bluetooth", "overNetwork",
                                "latencyTimerMs", "holder"})
            EXPECT_TRUE(p.contains(QLatin1String(key))) << key;
        EXPECT_EQ(p.value("busy").toBool(), p.value("reason").toString() != "free");
    }
}

} // namespace
