#include <gtest/gtest.h>

#include "CaptureLine.h"
#include "unitsim/FaultScript.h"

namespace {

struct TValidRule {
    const char *Text;
    TUnitStage Stage;
    int Index;
    std::optional<QByteArray> Answer;
    int Times;
    bool HangUp = false;
};

void PrintTo(const TValidRule &rule, std::ostream *os) { *os << '"' << rule.Text << '"'; }

class FaultRuleParsing : public ::testing::TestWithParam<TValidRule> {};

TEST_P(FaultRuleParsing, ReadsStageItemAnswerAndCount)
{
    const TValidRule &want = GetParam();
    QString error = QStringLiteral("untouched");
    const auto rule = TFaultScript::ParseRule(QString::fromLatin1(want.Text), &error);
    ASSERT_TRUE(rule.has_value()) << error.toStdString();
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(rule->Stage, want.Stage);
    EXPECT_EQ(rule->Index, want.Index);
    EXPECT_EQ(rule->Answer, want.Answer);
    EXPECT_EQ(rule->Times, want.Times);
    EXPECT_EQ(rule->HangUp, want.HangUp);
    EXPECT_EQ(rule->Used, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FaultRuleParsing,
    ::testing::Values(
        TValidRule{"line@5=C*3", TUnitStage::Line, 5, QByteArray("C"), 3},
        TValidRule{"contact=Q*2", TUnitStage::Contact, 0, QByteArray("Q"), 2},
        TValidRule{"erase=silent", TUnitStage::Erase, 0, std::nullopt, -1},
        TValidRule{"byte@3=0x74", TUnitStage::Byte, 3, QByteArray("t"), -1},
        TValidRule{"end=silent", TUnitStage::End, 0, std::nullopt, -1},
        TValidRule{"record@12=E*1", TUnitStage::Record, 12, QByteArray("E"), 1},
        TValidRule{"LINE@2=0x0a", TUnitStage::Line, 2, QByteArray("\n"), -1},
        TValidRule{"byte=0x00*2", TUnitStage::Byte, 0, QByteArray(1, '\0'), 2},
        TValidRule{"byte=0xF0", TUnitStage::Byte, 0, QByteArray(1, char(0xF0)), -1},
        TValidRule{"  line=s  ", TUnitStage::Line, 0, QByteArray("s"), -1},
        TValidRule{"line=**2", TUnitStage::Line, 0, QByteArray("*"), 2},
        TValidRule{"line==", TUnitStage::Line, 0, QByteArray("="), -1},
        TValidRule{"contact=0", TUnitStage::Contact, 0, QByteArray("0"), -1},
        TValidRule{"line@7=silent*4", TUnitStage::Line, 7, std::nullopt, 4},
        TValidRule{"erase=hangup", TUnitStage::Erase, 0, std::nullopt, -1, true},
        TValidRule{"line@3=.+hangup", TUnitStage::Line, 3, QByteArray("."), -1, true},
        TValidRule{"byte@2=0x2E+HANGUP*1", TUnitStage::Byte, 2, QByteArray("."), 1, true},
        TValidRule{"end=+", TUnitStage::End, 0, QByteArray("+"), -1},
        TValidRule{"end=++hangup", TUnitStage::End, 0, QByteArray("+"), -1, true}));

class MalformedFaultRule : public ::testing::TestWithParam<const char *> {};

TEST_P(MalformedFaultRule, IsRejectedWithAReason)
{
    QString error;
    EXPECT_FALSE(TFaultScript::ParseRule(QString::fromUtf8(GetParam()), &error).has_value());
    EXPECT_FALSE(error.isEmpty());
    // No error sink: still rejected, no crash.
    EXPECT_FALSE(TFaultScript::ParseRule(QString::fromUtf8(GetParam())).has_value());
}

INSTANTIATE_TEST_SUITE_P(Table, MalformedFaultRule,
                         ::testing::Values("", "line", "line=", "lines=C", "=C", "@3=C", "line@=C",
                                           "line@0=C", "line@-1=C", "line@+2=C", "line@x=C",
                                           "line@5@6=C", "line=CD", "line=C*", "line=C*0",
                                           "line=C*-1", "line=C*x", "line=C*2x", "line=0x4",
                                           "line=0xZZ", "line=0x4G", "line=0x123",
                                           "line=silently", "line=\xe2\x82\xac", "line=silent+hangup",
                                           "line=hangup+hangup", "line=C+hang", "line=C+hangup+hangup"));

TEST(FaultScriptTake, RuleAppliesItsCountThenTheUnitRecovers)
{
    TFaultScript script = ScriptOf({"line@2=C*3"});
    std::optional<QByteArray> answer;
    EXPECT_FALSE(script.Take(TUnitStage::Line, 1, answer));
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(script.Take(TUnitStage::Line, 2, answer)) << "attempt " << i + 1;
        EXPECT_EQ(answer, QByteArray("C"));
    }
    EXPECT_FALSE(script.Take(TUnitStage::Line, 2, answer));
    EXPECT_FALSE(script.Take(TUnitStage::Record, 2, answer)) << "another stage";
}

TEST(FaultScriptTake, FirstApplicableRuleWinsAndSpentRulesFallThrough)
{
    TFaultScript script = ScriptOf({"byte@4=R*1", "byte=V*2", "byte@4=E"});
    const auto take = [&](int index) {
        std::optional<QByteArray> answer;
        return script.Take(TUnitStage::Byte, index, answer) ? (answer ? *answer : QByteArray("-")) : QByteArray();
    };
    EXPECT_EQ(take(4), "R");
    EXPECT_EQ(take(4), "V");
    EXPECT_EQ(take(1), "V");
    EXPECT_EQ(take(4), "E");
    EXPECT_EQ(take(4), "E");
    EXPECT_EQ(take(5), "");
}

TEST(FaultScriptReply, GivesTheNormalAnswerOrTheRulesAndNotesEachFault)
{
    TFaultScript script = ScriptOf({"line@3=0x74*1", "end=silent*1"});
    QStringList applied;
    EXPECT_EQ(script.Reply(TUnitStage::Line, 3, ".", &applied), QByteArray("t"));
    EXPECT_EQ(script.Reply(TUnitStage::Line, 3, ".", &applied), QByteArray("."));
    EXPECT_EQ(script.Reply(TUnitStage::End, 1, "!", &applied), std::nullopt);
    EXPECT_EQ(script.Reply(TUnitStage::End, 1, "!", &applied), QByteArray("!"));
    EXPECT_EQ(applied, (QStringList{QStringLiteral("line 3: \"t\" instead of \".\""),
                                    QStringLiteral("end 1: silence instead of \"!\"")}));
}

TEST(FaultScriptReply, ACutLineIsOwedOnceToTheReplyWhoseRuleCutsIt)
{
    TFaultScript script = ScriptOf({"line@2=.+hangup*1", "record=hangup*1"});
    QStringList applied;
    EXPECT_EQ(script.Reply(TUnitStage::Line, 1, ".", &applied), QByteArray("."));
    EXPECT_FALSE(script.TakeHangUp());
    EXPECT_EQ(script.Reply(TUnitStage::Line, 2, ".", &applied), QByteArray("."));
    EXPECT_TRUE(script.TakeHangUp());
    EXPECT_FALSE(script.TakeHangUp()) << "owed once only";
    EXPECT_EQ(script.Reply(TUnitStage::Record, 1, ".", &applied), std::nullopt);
    EXPECT_TRUE(script.TakeHangUp());
    EXPECT_EQ(applied, (QStringList{QStringLiteral("line 2: \".\" and a cut line instead of \".\""),
                                    QStringLiteral("record 1: a cut line instead of \".\"")}));
}

} // namespace
