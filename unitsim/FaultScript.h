#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

// The exchanges a fault can be aimed at.
enum class TUnitStage {
    Contact, // answer to a contact request ("P" in update mode, "." to a loaded bootloader)
    Erase,   // answer to the erase command "p" (update mode)
    Line,    // answer to an S-record line ended by CR LF (update mode)
    Byte,    // answer to a data-byte command "S", addr hi, addr lo, data (resistor monitor)
    Record,  // answer to an S1 record ended by ":" (communications module)
    End      // answer to the end command "!" (monitor, module)
};

// One rule: at the Index-th item of a stage (1-based; 0 = every item), answer Answer instead of
// the normal answer, Times times (then the unit recovers), or every time when Times is -1.
// No Answer means silence: the unit says nothing at all. HangUp cuts the line after the answer
// (or instead of it, with no Answer), as a pulled cable does.
// The item index counts items the unit has taken: the k-th line is the line after k-1 accepted
// lines, so its repeated attempts all match the same rule.
struct TFaultRule {
    TUnitStage Stage = TUnitStage::Line;
    int Index = 0;
    std::optional<QByteArray> Answer;
    int Times = -1;
    int Used = 0;
    bool HangUp = false;
};

// A unit's script of faults and timings.
struct TFaultScript {
    std::vector<TFaultRule> Rules;
    qint64 EraseTimeMs = 0;   // time from "p" to the erase answer
    qint64 AnswerDelayMs = 0; // time before every other answer

    // Finds the first rule for this item that still applies and uses it once. True when a rule
    // applied; answer then holds the bytes to send (nullopt: stay silent).
    bool Take(TUnitStage stage, int index, std::optional<QByteArray> &answer);

    // True once after a reply whose rule cuts the line.
    bool TakeHangUp() { return std::exchange(hangUpDue_, false); }

    // The answer a unit gives to the index-th item of a stage: normal, or what the first rule
    // that still applies puts in its place (nullopt: silence). An applied rule is noted in
    // applied, e.g. "line 5: \"C\" instead of \".\"".
    std::optional<QByteArray> Reply(TUnitStage stage, int index, const QByteArray &normal,
                                    QStringList *applied = nullptr);

    // Parses rules of the form STAGE[@K]=ANSWER[*N]: STAGE is contact, erase, line, byte,
    // record or end; ANSWER is one character, 0xHH, "silent" or "hangup" (cut the line instead
    // of answering), and an answer may end in "+hangup" (answer, then cut the line); N how many
    // times. Examples: "line@5=C*3", "contact=Q*2", "erase=silent", "byte@3=0x74",
    // "end=silent", "erase=hangup", "line@3=.+hangup".
    // nullopt on a malformed rule, with the reason in error.
    static std::optional<TFaultRule> ParseRule(const QString &text, QString *error = nullptr);

private:
    bool hangUpDue_ = false;
};

// The stage's name as fault rules spell it ("contact", "line", ...).
QString UnitStageName(TUnitStage stage);

// An answer as a person reads it: "\"C\"", "0x74", "silence"; with hangUp: "\".\" and a cut
// line", "a cut line".
QString DescribeAnswer(const std::optional<QByteArray> &answer, bool hangUp = false);
