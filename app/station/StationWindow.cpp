#include "app/station/StationWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>
#include <cmath>

#include "app/station/BayTile.h"
#include "app/station/StationWindowTexts.h"
#include "station/FlowQuestion.h"

#ifndef VARNEL_VERSION
#define VARNEL_VERSION "unknown"
#endif

namespace {
QString Text(const char *text)
{
    return QString::fromUtf8(text);
}

constexpr int FlushIntervalMs = 200; // at most five repaints a second per tile
constexpr int RescanIntervalMs = 3000;
constexpr int ShaShown = 12;         // hex digits of the hash in the header

QString Counts(const char *format, const TReportCounts &counts)
{
    return Text(format).arg(counts.Completed).arg(counts.Failed).arg(counts.Total);
}
} // namespace

// The run's front end: every call lands on the window.
class TStationWindow::TSink : public TStationSink {
public:
    explicit TSink(TStationWindow &window) : window_(window) {}
    void Status(int port, const QString &text) override { window_.OnStatus(port, text); }
    void Box(int port, const QString &title, const QString &text, TBoxIcon icon) override
    {
        window_.OnBox(port, title, text, icon);
    }
    void GaugeMaximum(int port, int maximum) override { window_.OnGaugeMaximum(port, maximum); }
    void GaugePosition(int port, int position) override { window_.OnGaugePosition(port, position); }
    void LinesSent(int port, const QString &caption) override { window_.OnLinesSent(port, caption); }
    void Ask(int port, const QString &title, const QString &text, TStationAnswer answer) override
    {
        window_.OnAsk(port, title, text, std::move(answer));
    }

private:
    TStationWindow &window_;
};

TStationWindow::TStationWindow(const TJob &job, const TUnitType &unit, TResolver resolver, QWidget *parent)
    : QWidget(parent), job_(job), unit_(unit), resolver_(std::move(resolver)), sink_(std::make_unique<TSink>(*this))
{
    setObjectName(QStringLiteral("StationWindow"));
    if (!resolver_)
        resolver_ = [](const QList<TJobBay> &bays) { return ResolveBays(bays); };
    run_ = std::make_unique<TStationRun>(job_, unit_, *sink_);
    connect(run_.get(), &TStationRun::BayEnded, this, &TStationWindow::OnEnded);

    const QString name = job_.JobPath.isEmpty() ? Text(StationWindowTexts::UnsavedJobName) : job_.Name();
    setWindowTitle(Text(StationWindowTexts::TitleFormat)
                       .arg(Text(StationWindowTexts::TitlePrefix), name, QString::fromLatin1(VARNEL_VERSION)));

    // The header: what the job fixes, and the counters.
    unitLabel_ = new QLabel(Text(StationWindowTexts::HeaderUnit).arg(unit_.FullName), this);
    fileLabel_ = new QLabel(Text(StationWindowTexts::HeaderFile).arg(QFileInfo(job_.File).fileName()), this);
    fileLabel_->setToolTip(job_.FilePath());
    shaLabel_ = new QLabel(Text(StationWindowTexts::HeaderSha).arg(job_.Sha256.left(ShaShown) + QStringLiteral("...")), this);
    shaLabel_->setToolTip(Text(StationWindowTexts::HeaderShaTip).arg(job_.Sha256));
    shaLabel_->setAccessibleDescription(job_.Sha256);
    reportLabel_ = new QLabel(job_.ReportPath().isEmpty()
                                  ? Text(StationWindowTexts::HeaderNoReport)
                                  : Text(StationWindowTexts::HeaderReport).arg(QFileInfo(job_.ReportPath()).fileName()),
                              this);
    reportLabel_->setToolTip(job_.ReportPath());
    sessionLabel_ = new QLabel(this);
    todayLabel_ = new QLabel(this);
    for (QLabel *label : {unitLabel_, fileLabel_, shaLabel_, reportLabel_, sessionLabel_, todayLabel_})
        label->setTextFormat(Qt::PlainText);
    QFont bold = unitLabel_->font();
    bold.setBold(true);
    unitLabel_->setFont(bold);

    auto *header = new QGridLayout;
    header->addWidget(unitLabel_, 0, 0);
    header->addWidget(fileLabel_, 0, 1);
    header->addWidget(shaLabel_, 0, 2);
    header->addWidget(reportLabel_, 1, 0);
    header->addWidget(sessionLabel_, 1, 1);
    header->addWidget(todayLabel_, 1, 2);
    header->setColumnStretch(0, 1);
    header->setColumnStretch(1, 1);
    header->setColumnStretch(2, 1);
    problemLabel_ = new QLabel(this);
    problemLabel_->setTextFormat(Qt::PlainText);
    problemLabel_->setWordWrap(true);
    problemLabel_->setAccessibleName(Text(StationWindowTexts::JobProblemName));
    problemLabel_->setStyleSheet(QStringLiteral("color: #b3261e;"));
    problemLabel_->hide();
    header->addWidget(problemLabel_, 2, 0, 1, 3);

    // The window's prompt: a question for several bays at once, answered once.
    prompt_ = new QFrame(this);
    prompt_->setObjectName(QStringLiteral("Prompt"));
    prompt_->setAccessibleName(Text(StationWindowTexts::PromptName));
    prompt_->setStyleSheet(QStringLiteral("QFrame#Prompt { background: #fff6d5; border: 1px solid #c9a400; }"));
    promptIcon_ = new QLabel(prompt_);
    const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize);
    promptIcon_->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(iconSize, iconSize));
    promptTitle_ = new QLabel(prompt_);
    promptTitle_->setFont(bold);
    promptTitle_->setTextFormat(Qt::PlainText);
    promptText_ = new QLabel(prompt_);
    promptText_->setTextFormat(Qt::PlainText);
    promptText_->setWordWrap(true);
    promptText_->setAccessibleDescription(Text(StationWindowTexts::QuestionName));
    promptYes_ = new QPushButton(Text(StationWindowTexts::Yes), prompt_);
    promptYes_->setAccessibleName(Text(StationWindowTexts::Yes));
    promptNo_ = new QPushButton(Text(StationWindowTexts::No), prompt_);
    promptNo_->setAccessibleName(Text(StationWindowTexts::No));
    connect(promptYes_, &QPushButton::clicked, this, [this] { AnswerPrompt(true); });
    connect(promptNo_, &QPushButton::clicked, this, [this] { AnswerPrompt(false); });
    auto *promptTexts = new QVBoxLayout;
    promptTexts->addWidget(promptTitle_);
    promptTexts->addWidget(promptText_);
    auto *promptLayout = new QHBoxLayout(prompt_);
    promptLayout->addWidget(promptIcon_, 0, Qt::AlignTop);
    promptLayout->addLayout(promptTexts, 1);
    promptLayout->addWidget(promptYes_);
    promptLayout->addWidget(promptNo_);
    prompt_->hide();

    // The tiles: a grid as square as the bays allow, four columns at most.
    auto *grid = new QGridLayout;
    grid->setSpacing(6);
    const int count = int(job_.Bays.size());
    const int columns = qBound(1, int(std::ceil(std::sqrt(double(count)))), 4);
    for (int i = 0; i < count; ++i) {
        auto *tile = new TBayTile(job_.Bays[i].Name);
        tiles_ << tile;
        bays_ << TBayRun{};
        grid->addWidget(tile, i / columns, i % columns);
        connect(tile, &TBayTile::StartClicked, this, [this, i] { StartBays({i}); });
        connect(tile, &TBayTile::StopClicked, this, [this, i] { StopBay(i); });
        connect(tile, &TBayTile::SerialEntered, this, [this, i] { SerialEntered(i); });
    }
    auto *tilesPanel = new QWidget;
    tilesPanel->setLayout(grid);
    auto *scroll = new QScrollArea(this);
    scroll->setWidget(tilesPanel);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);

    startAll_ = new QPushButton(Text(StationWindowTexts::StartAll), this);
    startAll_->setAccessibleName(Text(StationWindowTexts::StartAll));
    stopAll_ = new QPushButton(Text(StationWindowTexts::StopAll), this);
    stopAll_->setAccessibleName(Text(StationWindowTexts::StopAll));
    connect(startAll_, &QPushButton::clicked, this, &TStationWindow::StartAll);
    connect(stopAll_, &QPushButton::clicked, this, &TStationWindow::StopAll);
    closingLabel_ = new QLabel(Text(StationWindowTexts::Closing), this);
    closingLabel_->hide();
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(closingLabel_);
    buttons->addStretch(1);
    buttons->addWidget(startAll_);
    buttons->addWidget(stopAll_);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(header);
    layout->addWidget(prompt_);
    layout->addWidget(scroll, 1);
    layout->addLayout(buttons);

    // As large as the tiles want, up to a 1280 x 800 screen (16 bays fit there; more scroll).
    const int rows = (count + columns - 1) / columns;
    const QSize tileSize = tiles_.isEmpty() ? QSize() : tiles_.first()->sizeHint().expandedTo(QSize(300, 0));
    const int width = columns * (tileSize.width() + grid->spacing()) + 24;
    const int height = rows * (tileSize.height() + grid->spacing()) + header->sizeHint().height() +
                       buttons->sizeHint().height() + 40;
    resize(qMin(1280, width), qMin(800, height));

    flushTimer_.setInterval(FlushIntervalMs);
    connect(&flushTimer_, &QTimer::timeout, this, &TStationWindow::FlushTiles);
    flushTimer_.start();
    rescanTimer_.setInterval(RescanIntervalMs);
    connect(&rescanTimer_, &QTimer::timeout, this, [this] {
        // Reading the port list walks the system's device folders, the costliest thing the
        // window does; while every bay runs there is no bay that could come alive.
        for (int bay = 0; bay < tiles_.size(); ++bay)
            if (!run_->IsRunning(bay)) {
                Rescan();
                return;
            }
    });
    rescanTimer_.start();

    if (!job_.ReportPath().isEmpty())
        today_ = CountReportDay(job_.ReportPath(), QDate::currentDate());
    Rescan();
}

TStationWindow::~TStationWindow()
{
    // Bays still running (a test's end, a quit from elsewhere): they stop without asking, and
    // their records are written before the run goes.
    if (run_ && run_->AnyRunning()) {
        closing_ = true;
        run_->Terminate();
        AnswerEveryQuestion();
        while (run_->AnyRunning())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    flushTimer_.stop();
    rescanTimer_.stop();
    run_.reset();
}

TStationSink &TStationWindow::Sink()
{
    return *sink_;
}

void TStationWindow::SetRescanInterval(int ms)
{
    rescanTimer_.setInterval(ms);
}

void TStationWindow::Rescan()
{
    const QList<TBayPort> ports = resolver_(job_.Bays);
    for (int i = 0; i < tiles_.size() && i < ports.size(); ++i) {
        run_->SetPort(i, ports[i]);
        tiles_[i]->SetPort(ports[i].Given, ports[i].PortName, ports[i].Facts.SerialNumber);
    }
    UpdateWindowButtons();
    UpdateHeader();
}

void TStationWindow::FlushTiles()
{
    for (TBayTile *tile : tiles_)
        tile->Flush();
}

bool TStationWindow::AnyRunning() const
{
    return run_ && run_->AnyRunning();
}

QString TStationWindow::SessionCountsText() const
{
    return Counts(StationWindowTexts::SessionCounts, session_);
}

QString TStationWindow::TodayCountsText() const
{
    return Counts(StationWindowTexts::TodayCounts, today_);
}

void TStationWindow::UpdateHeader()
{
    // What Start would refuse is said before anyone presses it: a file that is not the job's
    // (or is gone), a report that cannot take records. Start still refuses each bay and
    // records why.
    const QString fileProblem = run_->FileProblem();
    const QString reportProblem = run_->ReportProblem();
    QStringList problems;
    for (const QString &problem : {fileProblem, reportProblem})
        if (!problem.isEmpty())
            problems << problem;
    const QString problem = problems.join(QLatin1Char('\n'));
    if (problem != jobProblem_) {
        jobProblem_ = problem;
        problemLabel_->setText(problem);
        problemLabel_->setVisible(!problem.isEmpty());
        fileLabel_->setStyleSheet(fileProblem.isEmpty() ? QString() : QStringLiteral("color: #b3261e;"));
        fileLabel_->setToolTip(fileProblem.isEmpty() ? job_.FilePath() : fileProblem);
        reportLabel_->setStyleSheet(reportProblem.isEmpty() ? QString() : QStringLiteral("color: #b3261e;"));
        reportLabel_->setToolTip(reportProblem.isEmpty() ? job_.ReportPath() : reportProblem);
    }
    sessionLabel_->setText(SessionCountsText());
    todayLabel_->setText(job_.ReportPath().isEmpty() ? QString() : TodayCountsText());
}

void TStationWindow::UpdateWindowButtons()
{
    bool canStart = false;
    for (int i = 0; i < tiles_.size(); ++i)
        canStart = canStart || (tiles_[i]->Plugged() && !run_->IsRunning(i));
    startAll_->setEnabled(canStart && !closing_);
    stopAll_->setEnabled(AnyRunning() && !closing_);
}

// ---------------------------------------------------------------------------------------------
// Starting and stopping

void TStationWindow::StartBays(const QList<int> &bays)
{
    if (closing_)
        return;
    QList<int> starting;
    QStringList serials;
    for (int bay : bays) {
        if (bay < 0 || bay >= tiles_.size() || run_->IsRunning(bay) || !tiles_[bay]->Plugged())
            continue;
        starting << bay;
        serials << tiles_[bay]->UnitSerial();
    }
    if (starting.isEmpty())
        return;
    const int group = ++groups_;
    for (int bay : starting) {
        bays_[bay].Group = group;
        bays_[bay].StopRound = 0;
        tiles_[bay]->Started();
    }
    run_->Start(starting, serials);
    UpdateWindowButtons();
}

void TStationWindow::StartAll()
{
    QList<int> all;
    for (int i = 0; i < tiles_.size(); ++i)
        all << i;
    StartBays(all);
}

void TStationWindow::StopBay(int bay)
{
    if (bay < 0 || bay >= bays_.size() || !run_->IsRunning(bay))
        return;
    // A bay still at its Begin question has not begun: Stop answers it No.
    const auto &wait = bays_[bay].Wait;
    if (wait && wait->Kind == TKind::Begin) {
        AnswerBay(bay, false);
        return;
    }
    if (wait)
        return; // its flow asks already; the answer is on the tile
    bays_[bay].StopRound = 0;
    run_->Stop(bay); // the flow asks its own Stop question
}

void TStationWindow::StopAll()
{
    const int round = ++rounds_;
    QList<int> stopping;
    for (int bay = 0; bay < bays_.size(); ++bay) {
        if (!run_->IsRunning(bay))
            continue;
        const auto &wait = bays_[bay].Wait;
        if (wait && wait->Kind == TKind::Begin) {
            AnswerBay(bay, false);
            continue;
        }
        if (wait)
            continue;
        bays_[bay].StopRound = round;
        stopping << bay;
    }
    for (int bay : stopping)
        run_->Stop(bay);
}

void TStationWindow::SerialEntered(int bay)
{
    // A scanner types the number and presses Enter: the next bay that waits for a unit takes
    // the next number; after the last one, Start all has the focus.
    for (int next = bay + 1; next < tiles_.size(); ++next) {
        if (tiles_[next]->Plugged() && !run_->IsRunning(next)) {
            tiles_[next]->FocusSerial();
            return;
        }
    }
    startAll_->setFocus();
}

// ---------------------------------------------------------------------------------------------
// What the bays' flows show

void TStationWindow::OnStatus(int bay, const QString &text)
{
    if (TBayTile *tile = Tile(bay))
        tile->SetStatus(text);
}

void TStationWindow::OnBox(int bay, const QString &title, const QString &text, TBoxIcon icon)
{
    if (TBayTile *tile = Tile(bay))
        tile->ShowBox(title, text, icon);
}

void TStationWindow::OnGaugeMaximum(int bay, int maximum)
{
    if (TBayTile *tile = Tile(bay))
        tile->SetGaugeMaximum(maximum);
}

void TStationWindow::OnGaugePosition(int bay, int position)
{
    if (TBayTile *tile = Tile(bay))
        tile->SetGaugePosition(position);
}

void TStationWindow::OnLinesSent(int bay, const QString &caption)
{
    if (TBayTile *tile = Tile(bay))
        tile->SetLinesSent(caption);
}

TStationWindow::TKind TStationWindow::KindOf(const QString &title)
{
    switch (ClassifyQuestion(title)) {
    case TFlowQuestion::Begin:
        return TKind::Begin;
    case TFlowQuestion::Stop:
        return TKind::Stop;
    case TFlowQuestion::Restart:
    case TFlowQuestion::Other:
        break;
    }
    return TKind::Other;
}

QList<int> TStationWindow::Members(int id, bool ofRound) const
{
    QList<int> members;
    for (int bay = 0; bay < bays_.size(); ++bay)
        if ((ofRound ? bays_[bay].StopRound : bays_[bay].Group) == id && run_->IsRunning(bay))
            members << bay;
    return members;
}

QString TStationWindow::BayNames(const QList<int> &bays) const
{
    QStringList names;
    for (int bay : bays)
        names << job_.Bays[bay].Name;
    return names.join(QStringLiteral(", "));
}

void TStationWindow::OnAsk(int bay, const QString &title, const QString &text, TStationAnswer answer)
{
    const TKind kind = KindOf(title);
    if (bay < 0 || bay >= bays_.size())
        return answer(false);
    if (closing_)
        return answer(kind == TKind::Stop); // the window closes: stop without asking, begin nothing
    TBayRun &state = bays_[bay];
    // An answer given once for several bays is kept for each of them.
    if (kind == TKind::Begin && state.Group && groupAnswers_.contains(state.Group))
        return answer(groupAnswers_.value(state.Group));
    if (kind == TKind::Stop && state.StopRound && roundAnswers_.contains(state.StopRound)) {
        const int round = state.StopRound;
        state.StopRound = 0;
        return answer(roundAnswers_.value(round));
    }

    // The question stays open on its tile or in the prompt until answered; the window goes on
    // with every other bay meanwhile, and answers this one whenever its answer comes.
    state.Wait = std::make_shared<TWait>(TWait{kind, std::move(answer)});

    const int group = kind == TKind::Begin ? state.Group : kind == TKind::Stop ? state.StopRound : 0;
    const QList<int> members = group ? Members(group, kind == TKind::Stop) : QList<int>();
    if (members.size() > 1) {
        const QString key = (kind == TKind::Stop ? QStringLiteral("round:%1") : QStringLiteral("group:%1")).arg(group);
        if (!HasPrompt(key)) {
            TPrompt prompt;
            prompt.Key = key;
            prompt.Title = Text(StationWindowTexts::PromptForBays).arg(BayNames(members), title);
            prompt.Text = text;
            prompt.Answered = [this, kind, group](bool yes) {
                (kind == TKind::Stop ? roundAnswers_ : groupAnswers_)[group] = yes;
                for (int other = 0; other < bays_.size(); ++other) {
                    const TBayRun &b = bays_[other];
                    if (b.Wait && b.Wait->Kind == kind && (kind == TKind::Stop ? b.StopRound : b.Group) == group)
                        AnswerBay(other, yes);
                }
            };
            PushPrompt(prompt);
            if (OnQuestion)
                OnQuestion(-1);
        }
    } else {
        tiles_[bay]->Ask(title, text, [this, bay](bool yes) { AnswerBay(bay, yes); });
        if (OnQuestion)
            OnQuestion(bay);
    }
}

void TStationWindow::AnswerBay(int bay, bool yes)
{
    if (bay < 0 || bay >= bays_.size())
        return;
    const std::shared_ptr<TWait> wait = bays_[bay].Wait;
    if (!wait)
        return;
    bays_[bay].Wait.reset();
    if (wait->Kind == TKind::Stop)
        bays_[bay].StopRound = 0;
    if (tiles_[bay]->Asking())
        tiles_[bay]->EndQuestion();
    PrunePrompts();
    wait->Reply(yes);
}

void TStationWindow::PrunePrompts()
{
    // A prompt for several bays goes when none of them waits for it any more (each was stopped
    // or ended on its own).
    const int before = int(prompts_.size());
    prompts_.removeIf([this](const TPrompt &prompt) {
        const bool round = prompt.Key.startsWith(QLatin1String("round:"));
        if (!round && !prompt.Key.startsWith(QLatin1String("group:")))
            return false;
        const int id = prompt.Key.section(QLatin1Char(':'), 1).toInt();
        for (const TBayRun &b : bays_)
            if (b.Wait && b.Wait->Kind == (round ? TKind::Stop : TKind::Begin) &&
                (round ? b.StopRound : b.Group) == id)
                return false;
        return true;
    });
    if (prompts_.size() != before)
        ShowTopPrompt();
}

void TStationWindow::AnswerEveryQuestion()
{
    // Terminating: a Stop question is answered Yes, every other No; the window's prompts go
    // (the close prompt's own answer has been given).
    QList<TPrompt> dropped;
    dropped.swap(prompts_);
    ShowTopPrompt();
    for (int bay = 0; bay < bays_.size(); ++bay)
        if (bays_[bay].Wait)
            AnswerBay(bay, bays_[bay].Wait->Kind == TKind::Stop);
}

// ---------------------------------------------------------------------------------------------
// The window's prompt

bool TStationWindow::HasPrompt(const QString &key) const
{
    for (const TPrompt &prompt : prompts_)
        if (prompt.Key == key)
            return true;
    return false;
}

void TStationWindow::PushPrompt(const TPrompt &prompt)
{
    prompts_ << prompt;
    ShowTopPrompt();
}

void TStationWindow::ShowTopPrompt()
{
    if (prompts_.isEmpty()) {
        prompt_->hide();
        return;
    }
    const TPrompt &top = prompts_.last();
    promptTitle_->setText(top.Title);
    promptText_->setText(top.Text);
    prompt_->show();
    promptYes_->setFocus();
}

bool TStationWindow::PromptShown() const
{
    return !prompts_.isEmpty();
}

QString TStationWindow::PromptText() const
{
    return prompts_.isEmpty() ? QString() : prompts_.last().Title + QLatin1Char('\n') + prompts_.last().Text;
}

void TStationWindow::AnswerPrompt(bool yes)
{
    if (prompts_.isEmpty())
        return;
    const TPrompt prompt = prompts_.takeLast();
    ShowTopPrompt();
    if (prompt.Answered)
        prompt.Answered(yes);
}

// ---------------------------------------------------------------------------------------------
// A bay's end, closing

void TStationWindow::OnEnded(int bay, const TPortRun &run, const TUpdateRecord &record, const QString &recordError)
{
    Q_UNUSED(record)
    if (bay < 0 || bay >= bays_.size())
        return;
    AnswerBay(bay, false); // a question still open has nobody left to ask
    bays_[bay].Group = 0;
    bays_[bay].StopRound = 0;
    tiles_[bay]->Ended(run.Outcome, run.LastStatus, run.DurationMs, recordError);

    ++session_.Total;
    if (run.Outcome.IsCompleted())
        ++session_.Completed;
    else
        ++session_.Failed; // as the report's day counts them: every unit not completed
    if (!job_.ReportPath().isEmpty())
        today_ = CountReportDay(job_.ReportPath(), QDate::currentDate());
    UpdateHeader();
    UpdateWindowButtons();
    if (OnBayEnded)
        OnBayEnded(bay, run);
    if (closing_ && !AnyRunning())
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void TStationWindow::BeginClosing()
{
    closing_ = true;
    closingLabel_->show();
    UpdateWindowButtons();
    run_->Terminate();
    AnswerEveryQuestion();
    if (!AnyRunning())
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void TStationWindow::closeEvent(QCloseEvent *event)
{
    if (!AnyRunning()) {
        event->accept();
        return;
    }
    event->ignore();
    if (closing_ || HasPrompt(QStringLiteral("close")))
        return;
    int running = 0;
    for (int bay = 0; bay < bays_.size(); ++bay)
        running += run_->IsRunning(bay) ? 1 : 0;
    TPrompt prompt;
    prompt.Key = QStringLiteral("close");
    prompt.Title = Text(StationWindowTexts::CloseTitle);
    prompt.Text = Text(StationWindowTexts::CloseQuestion).arg(running);
    prompt.Answered = [this](bool yes) {
        if (yes)
            BeginClosing();
    };
    PushPrompt(prompt);
    if (OnQuestion)
        OnQuestion(-1);
}
