#include "cli/ConsoleSurface.h"

#include <QCoreApplication>

#include "cli/EventJson.h"

TConsoleSurface::TConsoleSurface(QTextStream *out, const QString &fileName) : out_(out), fileName_(fileName)
{
}

void TConsoleSurface::Print(const QString &line)
{
    if (!out_)
        return;
    *out_ << line << '\n';
    out_->flush();
}

void TConsoleSurface::SetStatusText(const QString &text)
{
    status_ = text;
    QJsonObject message = EventJson::Status(QString(), text);
    messages_.append(message);
    Print(text);
}

void TConsoleSurface::ReportBox(const QString &text, const QString &title, TBoxIcon icon)
{
    messages_.append(EventJson::Box(QString(), title, text, icon));
    Print(title + QStringLiteral(": ") + text);
}

bool TConsoleSurface::AskYesNo(const QString &text, const QString &title)
{
    messages_.append(EventJson::Question(QString(), title, text));
    Print(title + QStringLiteral(": ") + text);
    return false;
}

void TConsoleSurface::ProcessPendingMessages()
{
    QCoreApplication::processEvents();
}

void TConsoleSurface::SetFileWarning(const QString &text)
{
    messages_.append(EventJson::Status(QString(), text));
    Print(text);
}
