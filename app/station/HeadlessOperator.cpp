#include "app/station/HeadlessOperator.h"

#include <QCoreApplication>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

#include "app/station/BayTile.h"
#include "app/station/StationWindowTexts.h"
#include "app/station/StationWindow.h"

namespace {
QString Text(const char *text)
{
    return QString::fromUtf8(text);
}
} // namespace

THeadlessOperator::THeadlessOperator(TStationWindow &window, const QString &screenshot, QTextStream &out)
    : QObject(&window), window_(window), screenshot_(screenshot), out_(out)
{
    window_.OnQuestion = [this](int bay) {
        // Answered from the event loop, as a person's click would be.
        QTimer::singleShot(0, this, [this, bay] { Answer(bay); });
    };
    window_.OnBayEnded = [this](int bay, const TPortRun &run) {
        TBayTile *tile = window_.Tile(bay);
        ++ended_;
        if (run.Outcome.IsCompleted())
            ++completed_;
        out_ << Text(StationWindowTexts::HeadlessBay)
                    .arg(tile->BayName(), window_.Job().Bays[bay].Port, tile->OutcomeText(),
                         TBayTile::FormatTime(run.DurationMs))
             << '\n';
        out_.flush();
        if (ended_ >= started_)
            QTimer::singleShot(0, this, &THeadlessOperator::Finish);
    };
}

void THeadlessOperator::Start()
{
    QTimer::singleShot(0, this, [this] {
        window_.StartAllButton()->click();
        for (int bay = 0; bay < window_.BayCount(); ++bay) {
            TBayTile *tile = window_.Tile(bay);
            if (tile->State() == TBayTile::TState::Running || tile->State() == TBayTile::TState::Ended)
                ++started_;
            else
                out_ << Text(StationWindowTexts::HeadlessBay)
                            .arg(tile->BayName(), window_.Job().Bays[bay].Port, tile->StatusText(), QStringLiteral("-"))
                     << '\n';
        }
        out_.flush();
        if (ended_ >= started_)
            QTimer::singleShot(0, this, &THeadlessOperator::Finish);
    });
}

void THeadlessOperator::Answer(int bay)
{
    QPushButton *yes = nullptr;
    QString asked;
    if (bay < 0) {
        if (!window_.PromptShown())
            return;
        yes = window_.PromptYes();
        asked = window_.PromptText().section(QLatin1Char('\n'), 0, 0);
    } else {
        TBayTile *tile = window_.Tile(bay);
        if (!tile || !tile->Asking())
            return;
        yes = tile->YesButton();
        asked = Text(StationWindowTexts::PromptForBays).arg(tile->BayName(), tile->QuestionTitle());
    }
    out_ << Text(StationWindowTexts::HeadlessAnswer).arg(asked) << '\n';
    out_.flush();
    yes->click();
}

void THeadlessOperator::Finish()
{
    if (finished_)
        return;
    finished_ = true;
    window_.FlushTiles();
    if (!screenshot_.isEmpty() && !window_.grab().save(screenshot_))
        out_ << Text(StationWindowTexts::ScreenshotFailed).arg(screenshot_) << '\n';
    out_ << Text(StationWindowTexts::HeadlessSummary).arg(completed_).arg(window_.BayCount()) << '\n';
    out_.flush();
    QCoreApplication::exit(completed_ == window_.BayCount() ? 0 : 1);
}
