#include "tests/support/RecordingSurface.h"

void TRecordingSurface::SetStatusText(const QString &text)
{
    status_ = text;
    Seen.append({TSeen::Status, text, QString(), TBoxIcon::None, Now(), false});
}

void TRecordingSurface::ReportBox(const QString &text, const QString &title, TBoxIcon icon)
{
    Seen.append({TSeen::Report, text, title, icon, Now(), false});
}

bool TRecordingSurface::AskYesNo(const QString &text, const QString &title)
{
    if (OnQuestion)
        OnQuestion(title);
    bool answer = true;
    if (!Answers.empty()) {
        answer = Answers.front();
        Answers.pop_front();
    }
    Seen.append({TSeen::Question, text, title, TBoxIcon::Question, Now(), answer});
    return answer;
}

void TRecordingSurface::ProcessPendingMessages()
{
    ++PumpCount;
    if (OnPump)
        OnPump();
}

QStringList TRecordingSurface::Statuses() const
{
    QStringList out;
    for (const TSeen &s : Seen)
        if (s.What == TSeen::Status)
            out << s.Text;
    return out;
}

QStringList TRecordingSurface::Timeline() const
{
    QStringList out;
    for (const TSeen &s : Seen) {
        switch (s.What) {
        case TSeen::Status: out << QStringLiteral("status: ") + s.Text; break;
        case TSeen::Report: out << QStringLiteral("box[%1]: %2").arg(s.Title, s.Text); break;
        case TSeen::Question:
            out << QStringLiteral("ask[%1]: %2 -> %3").arg(s.Title, s.Text, s.Answer ? "yes" : "no");
            break;
        }
    }
    return out;
}

QStringList TRecordingSurface::Boxes() const
{
    QStringList out;
    for (const TSeen &s : Seen)
        if (s.What == TSeen::Report)
            out << s.Title + QStringLiteral(": ") + s.Text;
    return out;
}
