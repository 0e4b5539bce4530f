#include "cli/UpdateConsole.h"

#include "cli/CliTexts.h"

namespace {
QString Text(const char *text)
{
    return QString::fromUtf8(text);
}

// Cursor up n lines, to the line's start, and clear to the end of the screen.
QString ClimbAndClear(int lines)
{
    return QStringLiteral("\x1b[%1A\r\x1b[J").arg(lines);
}

constexpr int RedrawIntervalMs = 100;
} // namespace

TProgressFigures TUpdateConsole::TPortView::Figures() const
{
    TProgressFigures figures;
    figures.Sent = Sent;
    figures.Total = Total;
    if (RateClock.isValid()) {
        const qint64 ms = RateClock.elapsed();
        if (ms >= 500 && Sent > RateBase)
            figures.LinesPerSecond = double(Sent - RateBase) * 1000.0 / double(ms);
    }
    return figures;
}

TUpdateConsole::TUpdateConsole(const TSettings &settings, const QList<TPortInfo> &ports, QTextStream &out,
                               QTextStream &err, QObject *parent)
    : TStationSink(parent), settings_(settings), out_(out), err_(err)
{
    for (const TPortInfo &info : ports) {
        TPortView view;
        view.Name = info.Name;
        view.SerialNumber = info.SerialNumber;
        ports_ << view;
    }
    ReadLine = ReadAnswerLine;
    TakeInterrupts = [](bool *terminate) {
        if (terminate)
            *terminate = false;
        return 0;
    };
    redrawTimer_.setSingleShot(true);
    redrawTimer_.setInterval(RedrawIntervalMs);
    connect(&redrawTimer_, &QTimer::timeout, this, &TUpdateConsole::Redraw);
}

TUpdateConsole::TQuestion TUpdateConsole::Classify(const QString &title)
{
    return ClassifyQuestion(title);
}

QString TUpdateConsole::Label(int port) const
{
    if (!Several() || port < 0 || port >= ports_.size())
        return QString();
    return QLatin1Char('[') + ports_[port].Name + QStringLiteral("] ");
}

void TUpdateConsole::Emit(const QJsonObject &event)
{
    out_ << QString::fromUtf8(EventJson::Line(event)) << '\n';
    out_.flush();
}

void TUpdateConsole::ClearRows()
{
    if (rowsShown_ > 0) {
        out_ << ClimbAndClear(rowsShown_);
        rowsShown_ = 0;
    }
}

void TUpdateConsole::DrawRows()
{
    if (!settings_.Redraw || settings_.Json || finished_)
        return;
    ClearRows();
    QStringList rows;
    if (!Several()) {
        if (!ports_.isEmpty() && ports_[0].GaugeSeen)
            rows << ProgressBarLine(ports_[0].Figures(), settings_.Width);
    } else {
        int portWidth = 4;
        for (const TPortView &view : ports_)
            portWidth = qMax(portWidth, int(view.Name.size()));
        for (const TPortView &view : ports_)
            rows << ProgressRow(view.Name, view.SerialNumber, view.Figures(),
                                view.Running ? view.Status : view.Outcome, portWidth, settings_.Width);
    }
    for (const QString &row : rows)
        out_ << row << '\n';
    rowsShown_ = int(rows.size());
    out_.flush();
}

void TUpdateConsole::Redraw()
{
    if (asking_)
        return; // the question stays the last thing on the screen
    DrawRows();
}

void TUpdateConsole::ScheduleRedraw()
{
    if (settings_.Redraw && !settings_.Json && !redrawTimer_.isActive())
        redrawTimer_.start();
}

void TUpdateConsole::PrintLines(const QStringList &lines)
{
    ClearRows();
    for (const QString &line : lines)
        out_ << line << '\n';
    out_.flush();
    if (!asking_)
        DrawRows();
}

void TUpdateConsole::Status(int port, const QString &text)
{
    if (port < 0 || port >= ports_.size())
        return;
    ports_[port].Status = text;
    if (settings_.Json) {
        Emit(EventJson::Status(ports_[port].Name, text));
        return;
    }
    PrintLines({Label(port) + text});
}

void TUpdateConsole::Box(int port, const QString &title, const QString &text, TBoxIcon icon)
{
    if (port < 0 || port >= ports_.size())
        return;
    if (settings_.Json) {
        Emit(EventJson::Box(ports_[port].Name, title, text, icon));
        return;
    }
    PrintLines({Label(port) + title + QStringLiteral(": ") + text});
}

void TUpdateConsole::GaugeMaximum(int port, int maximum)
{
    if (port < 0 || port >= ports_.size())
        return;
    TPortView &view = ports_[port];
    if (view.GaugeSeen && view.Total == maximum)
        return;
    view.Total = qMax(maximum, 0);
    view.GaugeSeen = true;
    // A new range starts the counting again (the flows set a provisional one first).
    view.LastDecile = -1;
    view.RateClock.invalidate();
    ProgressChanged(port);
}

void TUpdateConsole::GaugePosition(int port, int position)
{
    if (port < 0 || port >= ports_.size())
        return;
    TPortView &view = ports_[port];
    if (view.GaugeSeen && view.Sent == position)
        return;
    view.GaugeSeen = true;
    if (position > 0 && !view.RateClock.isValid()) {
        // The rate counts from the first acknowledgement, not from the contact and erase.
        view.RateClock.start();
        view.RateBase = position;
    }
    view.Sent = qMax(position, 0);
    ProgressChanged(port);
}

void TUpdateConsole::LinesSent(int port, const QString &caption)
{
    if (port < 0 || port >= ports_.size())
        return;
    ports_[port].LinesSent = caption;
}

void TUpdateConsole::ProgressChanged(int port)
{
    TPortView &view = ports_[port];
    if (settings_.Json) {
        Emit(EventJson::Progress(view.Name, view.Sent, view.Total));
        return;
    }
    if (settings_.Redraw) {
        ScheduleRedraw();
        return;
    }
    // Plain output: a line at every tenth reached.
    if (view.Total <= 0 || view.Sent <= 0)
        return;
    const int decile = PercentDone(view.Sent, view.Total) / 10;
    if (decile <= view.LastDecile || decile == 0)
        return;
    view.LastDecile = decile;
    PrintLines({Label(port) + Text(CliTexts::ProgressTenth).arg(decile * 10).arg(view.Sent).arg(view.Total)});
}

void TUpdateConsole::ShowAnswer(int port, const QString &title, bool yes, const QString &by, bool quiet)
{
    if (settings_.Json) {
        Emit(EventJson::Answer(ports_[port].Name, title, yes, by));
        return;
    }
    if (quiet)
        return;
    PrintLines({Label(port) + Text(CliTexts::AnsweredBy).arg(title, yes ? QStringLiteral("yes") : QStringLiteral("no"), by)});
}

int TUpdateConsole::StartRound(bool presetYes)
{
    const int round = ++openRound_;
    if (presetYes)
        roundAnswers_[round] = true;
    for (int i = 0; i < ports_.size(); ++i) {
        if (!ports_[i].Running)
            continue;
        ports_[i].StopRound = round;
        if (PostStop)
            PostStop(i);
    }
    return round;
}

bool TUpdateConsole::AskTerminal(int port, TQuestion kind, const QString &title, const QString &text, QString &by)
{
    if (!settings_.CanAsk) {
        by = QStringLiteral("no-terminal");
        return false;
    }
    // The question goes where a person reads it: standard error when standard output carries
    // the JSON events or goes to a file or another program.
    QTextStream &to = settings_.Json || !settings_.OutIsTerminal ? err_ : out_;
    asking_ = true;
    ClearRows();
    // On the terminal the text is broken at blanks to its width; elsewhere it stays one line as
    // the flow gave it.
    to << '\n' << title << '\n' << (&to == &out_ ? WrapToWidth(text, settings_.Width) : text) << '\n';
    to << (Several() ? Text(CliTexts::AskAllPorts).arg(ports_.size()) : Text(CliTexts::AskOnePort));
    to.flush();
    Q_UNUSED(port)

    bool answer = false;
    for (;;) {
        QString line;
        const TLineRead read = ReadLine(line);
        if (read == TLineRead::EndOfInput) {
            to << '\n';
            by = QStringLiteral("end-of-input");
            answer = false;
            break;
        }
        if (read == TLineRead::Interrupted) {
            to << '\n';
            bool terminate = false;
            TakeInterrupts(&terminate);
            by = terminate ? QStringLiteral("terminate") : QStringLiteral("ctrl-c");
            // Ctrl-C while the Stop question waits confirms the stop; at any other question it
            // answers No and, being the Stop button, stops the ports that are still running.
            if (kind == TQuestion::Stop) {
                answer = true;
            } else {
                answer = false;
                asking_ = false;
                StartRound(terminate);
            }
            break;
        }
        const QString reply = line.trimmed().toLower();
        if (reply == QLatin1String("y") || reply == QLatin1String("yes")) {
            answer = true;
            by = QStringLiteral("terminal");
            break;
        }
        if (reply == QLatin1String("n") || reply == QLatin1String("no")) {
            answer = false;
            by = QStringLiteral("terminal");
            break;
        }
        to << Text(CliTexts::AskAgain);
        to.flush();
    }
    to.flush();
    asking_ = false;
    return answer;
}

bool TUpdateConsole::Ask(int port, const QString &title, const QString &text)
{
    if (port < 0 || port >= ports_.size())
        return false;
    if (settings_.Json)
        Emit(EventJson::Question(ports_[port].Name, title, text));

    const TQuestion kind = Classify(title);
    bool answer = false;
    QString by;
    bool quiet = false; // an answer given before to another port is not printed again
    switch (kind) {
    case TQuestion::Begin:
        if (beginAnswer_) {
            answer = *beginAnswer_;
            by = QStringLiteral("kept");
            quiet = true;
        } else if (settings_.Yes) {
            answer = true;
            by = QStringLiteral("--yes");
        } else {
            answer = AskTerminal(port, kind, title, text, by);
        }
        beginAnswer_ = answer;
        break;
    case TQuestion::Restart:
        if (settings_.Restart) {
            answer = *settings_.Restart;
            by = QStringLiteral("--restart");
            quiet = restartAnswer_.has_value();
        } else if (restartAnswer_) {
            answer = *restartAnswer_;
            by = QStringLiteral("kept");
            quiet = true;
        } else {
            answer = AskTerminal(port, kind, title, text, by);
        }
        restartAnswer_ = answer;
        break;
    case TQuestion::Stop: {
        const int round = ports_[port].StopRound;
        ports_[port].StopRound = 0; // the next Stop question of this port is a new one
        if (round > 0 && roundAnswers_.contains(round)) {
            answer = roundAnswers_.value(round);
            by = QStringLiteral("kept");
            quiet = true;
        } else if (settings_.Yes) {
            answer = true;
            by = QStringLiteral("--yes");
        } else {
            answer = AskTerminal(port, kind, title, text, by);
        }
        if (round > 0)
            roundAnswers_[round] = answer;
        break;
    }
    case TQuestion::Other:
        if (settings_.Yes) {
            answer = true;
            by = QStringLiteral("--yes");
        } else {
            answer = AskTerminal(port, kind, title, text, by);
        }
        break;
    }
    ShowAnswer(port, title, answer, by, quiet || by == QLatin1String("terminal"));
    DrawRows();
    return answer;
}

void TUpdateConsole::Ended(int port, const TPortResult &result)
{
    if (port < 0 || port >= ports_.size())
        return;
    TPortView &view = ports_[port];
    view.Running = false;
    view.StopRound = 0;
    view.Outcome = DescribeOutcome(result.Outcome);
    if (settings_.Json) {
        Emit(EventJson::Outcome(result));
        return;
    }
    PrintLines({Label(port) + Text(CliTexts::PortOutcome).arg(view.Outcome, FormatDuration(result.DurationMs))});
}

void TUpdateConsole::Interrupt(int count, bool terminate)
{
    if (terminate) {
        if (!settings_.Json)
            PrintLines({Text(CliTexts::TerminateAsked)});
        StartRound(true);
        return;
    }
    for (int i = 0; i < count; ++i) {
        if (openRound_ > 0 && !roundAnswers_.contains(openRound_)) {
            // A second Ctrl-C before the stop was answered: the stop is confirmed.
            roundAnswers_[openRound_] = true;
            if (!settings_.Json)
                PrintLines({Text(CliTexts::StopForced)});
            continue;
        }
        if (!settings_.Json)
            PrintLines({Text(CliTexts::StopAsked)});
        StartRound(false);
    }
}

void TUpdateConsole::Finish(const QList<TPortResult> &results, int exitCode, const QString &retryCommand)
{
    redrawTimer_.stop();
    if (settings_.Json) {
        Emit(EventJson::Summary(results, exitCode, retryCommand));
        return;
    }
    // The progress as it ended stays on the screen above the summary.
    DrawRows();
    rowsShown_ = 0;
    finished_ = true;
    QStringList lines;
    lines << QString() << SummaryTable(results);
    QStringList failed;
    for (const TPortResult &result : results)
        if (!result.Outcome.IsCompleted())
            failed << result.Port;
    if (failed.isEmpty()) {
        lines << Text(CliTexts::AllCompleted);
    } else {
        lines << Text(CliTexts::FailedPorts).arg(failed.join(QStringLiteral(", ")));
        if (!retryCommand.isEmpty())
            lines << Text(CliTexts::RetryHint) << QStringLiteral("  ") + retryCommand;
    }
    PrintLines(lines);
}
