#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// How an update ended, as a script or a record of the update needs to know it. The flows show
// the technician their own texts; this says the same in terms a program can act on.
enum class TOutcomeKind {
    Completed,        // the unit acknowledged the end of the update
    Stopped,          // the technician stopped it (the Begin question answered No included)
    PortNotAvailable, // the port could not be had when the update began
    FileProblem,      // the update file is gone, unreadable or not valid (see File)
    UnitRejected,     // the unit answered with an error letter or a wrong byte (see UnitAnswer)
    NoAnswer,         // the unit did not answer in time (see Stage)
    LinkFailed,       // a write failed or the line went away (a pulled cable)
    Unexpected        // anything else
};

// What was wrong with the update file.
enum class TFileProblem { None, Gone, Unreadable, NotValid };

// The exchange at which the unit fell silent.
enum class TNoAnswerStage { None, Contact, Erase, Bootloader, Line, Byte, Record, End };

struct TUpdateOutcome {
    TOutcomeKind Kind = TOutcomeKind::Unexpected;
    TFileProblem File = TFileProblem::None;
    TNoAnswerStage Stage = TNoAnswerStage::None;
    QByteArray UnitAnswer; // the unit's error letter or wrong byte (UnitRejected)

    // What the unit acknowledged before the end: lines (update mode), data bytes (resistor
    // monitor) or records (communications module); and the writes that were repeated after an
    // unanswered or refused attempt (line retries, erase resends, contact retries).
    qint64 Acknowledged = 0;
    int Retries = 0;

    bool IsCompleted() const { return Kind == TOutcomeKind::Completed; }
    bool operator==(const TUpdateOutcome &) const = default;
};

// Names a program reads: "completed", "stopped", "port-not-available", "file-problem",
// "unit-rejected", "no-answer", "link-failed", "unexpected"; the file problem "gone",
// "unreadable", "not-valid" and the stage "contact", "erase", "bootloader", "line", "byte",
// "record", "end" (empty for None).
QString OutcomeKindName(TOutcomeKind kind);
QString FileProblemName(TFileProblem problem);
QString NoAnswerStageName(TNoAnswerStage stage);

// One line for a person: "completed", "unit rejected: 'C'", "no answer: erase",
// "file problem: not valid", a wrong byte as hexadecimal ("unit rejected: 0x74").
QString DescribeOutcome(const TUpdateOutcome &outcome);
