#include "unitsim/UnitFamilies.h"

TUpdateModeUnit::TUpdateModeUnit(TFaultScript script) : Script(std::move(script)) {}

void TUpdateModeUnit::FromHost(const QByteArray &bytes)
{
    for (const char c : bytes)
        Take(c);
}

// One byte from the host. "P" between lines always (re)starts the contact, so a host that runs
// the update again after a failure or a quit finds the unit ready. Inside the line phase the
// bytes "Q" (quit) and "P" are commands only at the start of a line; S-record lines begin
// with "S", and the empty line is CR LF alone.
void TUpdateModeUnit::Take(char c)
{
    if (c == 'P' && AtRest()) {
        Contact();
        return;
    }
    switch (phase_) {
    case TPhase::AwaitContact:
    case TPhase::QuitDone:
        ++StrayBytes;
        return;
    case TPhase::Contacted:
        if (c == 'p')
            Erase();
        else
            ++StrayBytes;
        return;
    case TPhase::Lines:
        if (c == 'Q' && line_.isEmpty()) {
            Commands += 'Q';
            Quit = true;
            phase_ = TPhase::QuitDone;
            return;
        }
        line_.append(c);
        if (c == '\n')
            EndOfLine();
        return;
    case TPhase::Ended:
        if (c == 'X') {
            Commands += 'X';
            Restarted = true;
            phase_ = TPhase::AwaitContact;
        } else {
            ++StrayBytes;
        }
        return;
    }
}

void TUpdateModeUnit::Contact()
{
    ++ContactRequests;
    Commands += 'P';
    const auto answer = Script.Reply(TUnitStage::Contact, ContactRequests, "P", &Faults);
    Respond(answer, Script.AnswerDelayMs, Script.TakeHangUp());
    phase_ = answer == QByteArray("P") ? TPhase::Contacted : TPhase::AwaitContact;
}

// The erase answer comes after the erase time. Only an answer "p" leaves the flash erased and
// opens the line phase; everything programmed before is gone.
void TUpdateModeUnit::Erase()
{
    ++EraseCommands;
    Commands += 'p';
    const auto answer = Script.Reply(TUnitStage::Erase, EraseCommands, "p", &Faults);
    Respond(answer, Script.EraseTimeMs, Script.TakeHangUp());
    if (answer == QByteArray("p")) {
        phase_ = TPhase::Lines;
        line_.clear();
        Accepted.clear();
        Finished = false;
        Quit = false;
        Restarted = false;
    }
}

// A line is complete at LF; the CR before it is no part of the line. The k-th line is the one
// that follows k-1 accepted lines, so a line sent again after a rejection keeps its number.
void TUpdateModeUnit::EndOfLine()
{
    QByteArray text = line_;
    line_.clear();
    text.chop(1);
    if (text.endsWith('\r'))
        text.chop(1);
    Lines.append(text);

    const bool last = text.startsWith("S7") || text.startsWith("S8") || text.startsWith("S9");
    const auto answer = Script.Reply(TUnitStage::Line, int(Accepted.size()) + 1, last ? "!" : ".", &Faults);
    Respond(answer, Script.AnswerDelayMs, Script.TakeHangUp());
    if (!answer)
        return;
    if (*answer == "." || *answer == "!")
        Accepted.append(text);
    if (*answer == "!") {
        Finished = true;
        phase_ = TPhase::Ended;
    }
}

QString TUpdateModeUnit::Summary() const
{
    QStringList out;
    out << QStringLiteral("Update-mode unit");
    out << QStringLiteral("  contact requests: %1, erase commands: %2").arg(ContactRequests).arg(EraseCommands);
    out << QStringLiteral("  lines received: %1, accepted: %2").arg(Lines.size()).arg(Accepted.size());
    out << QStringLiteral("  commands: %1").arg(Commands.isEmpty() ? QStringLiteral("none") : QString::fromLatin1(Commands));
    out << QStringLiteral("  end record acknowledged: %1, restarted: %2, quit: %3")
               .arg(Finished ? "yes" : "no", Restarted ? "yes" : "no", Quit ? "yes" : "no");
    if (StrayBytes)
        out << QStringLiteral("  stray bytes ignored: %1").arg(StrayBytes);
    out << QStringLiteral("  faults applied: %1").arg(Faults.size());
    for (const QString &fault : Faults)
        out << QStringLiteral("    ") + fault;
    return out.join(QLatin1Char('\n'));
}
