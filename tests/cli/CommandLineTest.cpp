// Reading varnel-cli's command line, looking up units, and the exit code of a run.
#include <gtest/gtest.h>

#include "cli/CliOptions.h"
#include "cli/ExitCodes.h"
#include "cli/UnitLookup.h"

namespace {

QStringList Args(const char *line)
{
    return QString::fromUtf8(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// ---------------------------------------------------------------------------------------------
// Command lines that are refused, with a word the one-line reason must hold.

struct TRefused {
    const char *Line;
    const char *Reason;
};

class CommandLineRefused : public ::testing::TestWithParam<TRefused> {};

TEST_P(CommandLineRefused, WithAReasonNamingTheFault)
{
    const TCliParse parse = ParseCommandLine(Args(GetParam().Line));
    EXPECT_FALSE(parse.Ok);
    EXPECT_TRUE(parse.Error.contains(QString::fromUtf8(GetParam().Reason))) << parse.Error.toStdString();
    EXPECT_FALSE(parse.Error.contains(QLatin1Char('\n')));
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommandLineRefused,
    ::testing::Values(TRefused{"", "no command"}, TRefused{"frobnicate", "unknown command \"frobnicate\""},
                      TRefused{"--json", "--json before the command"},
                      TRefused{"ports --yes", "unknown option --yes for ports"},
                      TRefused{"units --csv", "unknown option --csv"},
                      TRefused{"ports extra", "takes no argument"},
                      TRefused{"check --unit 12", "check needs a FILE"},
                      TRefused{"check a.s19 b.s19 --unit 12", "one FILE"},
                      TRefused{"check a.s19", "check needs --unit"},
                      TRefused{"check a.s19 --unit", "--unit needs a value"},
                      TRefused{"check a.s19 --unit=", "--unit needs a unit"},
                      TRefused{"update --port ttyS0 --file a.s19", "update needs --unit"},
                      TRefused{"update --unit 12 --file a.s19", "update needs --port"},
                      TRefused{"update --unit 12 --port ttyS0", "update needs --file"},
                      TRefused{"update --unit 12 --unit 13 --port a --file f", "--unit is given twice"},
                      TRefused{"update --unit 12 --port a --port a --file f", "port a is named twice"},
                      TRefused{"update --unit 12 --ports a,b,a --file f", "port a is named twice"},
                      TRefused{"update --unit 12 --port a --ports b,a --file f", "port a is named twice"},
                      TRefused{"update --unit 12 --ports a,,b --file f", "--ports needs a port name"},
                      TRefused{"update --unit 12 --port a --file f --restart maybe", "--restart takes yes or no"},
                      TRefused{"update --unit 12 --port a --file f --yes=no", "--yes takes no value"},
                      TRefused{"update --unit 12 --port a --file f --report", "--report needs a value"},
                      TRefused{"update --unit 12 --port a --file f stray", "takes no argument \"stray\""},
                      TRefused{"update --unit 12 --port a --file f --csv", "unknown option --csv for update"},
                      TRefused{"report", "report needs a FILE"},
                      TRefused{"report r.jsonl --json", "unknown option --json for report"},
                      TRefused{"help nothing", "unknown command \"nothing\""}));

// ---------------------------------------------------------------------------------------------
// Command lines that are taken, and what they set.

struct TTaken {
    const char *Line;
    TCliCommand Command;
    const char *Unit;
    const char *Ports; // joined with ","
    const char *File;
    bool Yes;
    int Restart; // -1 not given, 0 no, 1 yes
    bool Json;
    bool Help;
};

class CommandLineTaken : public ::testing::TestWithParam<TTaken> {};

TEST_P(CommandLineTaken, SetsTheOptions)
{
    const TTaken &c = GetParam();
    const TCliParse parse = ParseCommandLine(Args(c.Line));
    ASSERT_TRUE(parse.Ok) << parse.Error.toStdString();
    const TCliOptions &o = parse.Options;
    EXPECT_EQ(o.Command, c.Command);
    EXPECT_EQ(o.Unit, QString::fromUtf8(c.Unit));
    EXPECT_EQ(o.Ports.join(QLatin1Char(',')), QString::fromUtf8(c.Ports));
    EXPECT_EQ(o.File, QString::fromUtf8(c.File));
    EXPECT_EQ(o.Yes, c.Yes);
    EXPECT_EQ(o.Restart.has_value() ? int(*o.Restart) : -1, c.Restart);
    EXPECT_EQ(o.Json, c.Json);
    EXPECT_EQ(o.Help, c.Help);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommandLineTaken,
    ::testing::Values(
        TTaken{"ports", TCliCommand::Ports, "", "", "", false, -1, false, false},
        TTaken{"ports --json", TCliCommand::Ports, "", "", "", false, -1, true, false},
        TTaken{"check T42.s19 --unit TVR-4200", TCliCommand::Check, "TVR-4200", "", "T42.s19", false, -1, false, false},
        TTaken{"check --unit=13 -- -odd.s19", TCliCommand::Check, "13", "", "-odd.s19", false, -1, false, false},
        TTaken{"update --unit 12 --port ttyUSB0 --file f.s19", TCliCommand::Update, "12", "ttyUSB0", "f.s19", false, -1,
               false, false},
        // Ports keep the order given, --port and --ports mixed, blanks around names dropped.
        TTaken{"update --unit 12 --port b --ports=c,a --port /dev/pts/4 --file f --yes --restart=No --json",
               TCliCommand::Update, "12", "b,c,a,/dev/pts/4", "f", true, 0, true, false},
        TTaken{"update --restart yes --file f --ports x --unit 16", TCliCommand::Update, "16", "x", "f", false, 1, false,
               false},
        TTaken{"report r.jsonl --csv", TCliCommand::Report, "", "", "r.jsonl", false, -1, false, false},
        // Help needs nothing else, whatever else is missing.
        TTaken{"--help", TCliCommand::None, "", "", "", false, -1, false, true},
        TTaken{"update --help", TCliCommand::Update, "", "", "", false, -1, false, true},
        TTaken{"help check", TCliCommand::Check, "", "", "", false, -1, false, true},
        TTaken{"update -h --unit 12", TCliCommand::Update, "12", "", "", false, -1, false, true}));

TEST(CommandLine, VersionNeedsNoCommand)
{
    const TCliParse parse = ParseCommandLine(Args("--version"));
    ASSERT_TRUE(parse.Ok);
    EXPECT_TRUE(parse.Options.Version);
}

// ---------------------------------------------------------------------------------------------
// Units: code, short name or full name, any letter case; only what is offered.

struct TLookup {
    const char *Text;
    bool BrandChoice;
    int Code;            // 0: refused
    const char *Reason;  // refused: a word the error holds
};

class UnitLookup : public ::testing::TestWithParam<TLookup> {};

TEST_P(UnitLookup, FindsTheOfferedUnitOrNamesTheOfferedOnes)
{
    const TLookup &c = GetParam();
    QString error;
    const TUnitType *unit = LookUpUnit(QString::fromUtf8(c.Text), OfferedUnitCodes(c.BrandChoice), error);
    if (c.Code == 0) {
        EXPECT_EQ(unit, nullptr);
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.Reason))) << error.toStdString();
        // The offered ones are named, the shipped four always among them.
        for (const char *offered : {"13 TVR-3770", "12 TVR-4200", "11 TVR-4100", "16 TVR-5800"})
            EXPECT_TRUE(error.contains(QString::fromUtf8(offered))) << error.toStdString();
        EXPECT_EQ(error.contains(QStringLiteral("4 KLN-12B")), c.BrandChoice) << error.toStdString();
    } else {
        ASSERT_NE(unit, nullptr) << error.toStdString();
        EXPECT_EQ(unit->Code, c.Code);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, UnitLookup,
    ::testing::Values(TLookup{"13", false, 13, ""}, TLookup{" 12 ", false, 12, ""},
                      TLookup{"TVR-4200", false, 12, ""}, TLookup{"tvr-5800", false, 16, ""},
                      TLookup{"TVR-4100 MOTOR PROTECTION SYSTEM", false, 11, ""},
                      TLookup{"TVR-3770 Resistance Grounded Relay", false, 13, ""},
                      TLookup{"KLN-12B", true, 4, ""}, TLookup{"5", true, 5, ""},
                      TLookup{"rg-770/lt/wb", true, 3, ""}, TLookup{"KTR", true, 1, ""},
                      // The first brand's types exist but are not offered by the shipped build.
                      TLookup{"KLN-12B", false, 0, "not offered"}, TLookup{"4", false, 0, "not offered"},
                      // Codes that are not used, names that are nobody's.
                      TLookup{"7", false, 0, "unknown unit \"7\""}, TLookup{"0", true, 0, "unknown unit"},
                      TLookup{"TVR-42", false, 0, "unknown unit \"TVR-42\""},
                      TLookup{"TVR-4200 Motor", true, 0, "unknown unit"}, TLookup{"", false, 0, "unknown unit"}));

TEST(UnitLookup, OfferedUnitsFollowTheBrandOrder)
{
    EXPECT_EQ(OfferedUnitCodes(false), (std::vector<int>{13, 12, 11, 16}));
    EXPECT_EQ(OfferedUnitCodes(true), (std::vector<int>{2, 1, 6, 3, 4, 5, 13, 12, 11, 16}));
}

// ---------------------------------------------------------------------------------------------
// Exit codes.

struct TKindCode {
    TOutcomeKind Kind;
    int Code;
};

class OutcomeExitCode : public ::testing::TestWithParam<TKindCode> {};

TEST_P(OutcomeExitCode, OneCodePerClass)
{
    EXPECT_EQ(ExitCodeForOutcome(GetParam().Kind), GetParam().Code);
}

INSTANTIATE_TEST_SUITE_P(Table, OutcomeExitCode,
                         ::testing::Values(TKindCode{TOutcomeKind::Completed, 0}, TKindCode{TOutcomeKind::Unexpected, 1},
                                           TKindCode{TOutcomeKind::FileProblem, 4},
                                           TKindCode{TOutcomeKind::PortNotAvailable, 5},
                                           TKindCode{TOutcomeKind::Stopped, 6}, TKindCode{TOutcomeKind::UnitRejected, 7},
                                           TKindCode{TOutcomeKind::NoAnswer, 8}, TKindCode{TOutcomeKind::LinkFailed, 9}));

struct TWorst {
    std::vector<int> Codes;
    int Worst;
};

class WorstExitCodeOfPorts : public ::testing::TestWithParam<TWorst> {};

TEST_P(WorstExitCodeOfPorts, FollowsTheDocumentedOrder)
{
    const QList<int> codes(GetParam().Codes.begin(), GetParam().Codes.end());
    EXPECT_EQ(WorstExitCode(codes), GetParam().Worst);
    // The order of the ports plays no part.
    QList<int> reversed(codes.rbegin(), codes.rend());
    EXPECT_EQ(WorstExitCode(reversed), GetParam().Worst);
}

INSTANTIATE_TEST_SUITE_P(Table, WorstExitCodeOfPorts,
                         ::testing::Values(TWorst{{}, 0}, TWorst{{0, 0, 0}, 0}, TWorst{{0, 6}, 6}, TWorst{{6, 4}, 4},
                                           TWorst{{4, 5}, 5}, TWorst{{5, 8}, 8}, TWorst{{8, 7}, 7}, TWorst{{7, 9}, 9},
                                           TWorst{{9, 1}, 1}, TWorst{{0, 7, 9, 0}, 9}, TWorst{{6, 8, 0, 4}, 8},
                                           TWorst{{0, 0, 1, 9, 7}, 1}));

} // namespace
