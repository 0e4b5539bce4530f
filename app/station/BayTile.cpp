#include "app/station/BayTile.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/station/StationWindowTexts.h"

namespace {
QString Text(const char *text)
{
    return QString::fromUtf8(text);
}

// The outcome's colours: green for a unit that took its update, red for one that did not,
// amber for an update the operator stopped; the frame carries the same colour.
const char *const CompletedColour = "#1b7d2c";
const char *const FailedColour = "#b3261e";
const char *const StoppedColour = "#8a6100";
const char *const IdleColour = "#9a9a9a";
const char *const RunningColour = "#2a5db0";

QPushButton *MakeButton(const char *caption, QWidget *parent)
{
    auto *button = new QPushButton(Text(caption), parent);
    button->setAccessibleName(Text(caption));
    button->setAutoDefault(false);
    // Narrow buttons leave the serial number's field its room on a tile of 16.
    button->setMaximumWidth(button->fontMetrics().horizontalAdvance(Text(caption)) + 28);
    return button;
}
} // namespace

TBayTile::TBayTile(const QString &bayName, QWidget *parent) : QFrame(parent), bayName_(bayName)
{
    setObjectName(QStringLiteral("BayTile"));
    setAccessibleName(Text(StationWindowTexts::BayName).arg(bayName));
    setFrameShape(QFrame::NoFrame);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    name_ = new QLabel(bayName, this);
    QFont bold = name_->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.25);
    name_->setFont(bold);
    port_ = new QLabel(this);
    port_->setTextFormat(Qt::PlainText);
    port_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    serial_ = new QLineEdit(this);
    serial_->setAccessibleName(Text(StationWindowTexts::SerialField));
    serial_->setPlaceholderText(Text(StationWindowTexts::SerialPlaceholder));
    serial_->setClearButtonEnabled(true);
    // A barcode scanner types the number and presses Enter.
    connect(serial_, &QLineEdit::returnPressed, this, &TBayTile::SerialEntered);

    status_ = new QLabel(this);
    status_->setTextFormat(Qt::PlainText);
    status_->setWordWrap(true);
    status_->setAccessibleDescription(Text(StationWindowTexts::StatusName));
    status_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    status_->setFixedHeight(status_->fontMetrics().lineSpacing() * 2 + 2);

    progress_ = new QProgressBar(this);
    progress_->setRange(0, 1);
    progress_->setValue(0);
    progress_->setTextVisible(true);
    time_ = new QLabel(FormatTime(0), this);
    time_->setMinimumWidth(time_->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00")));
    time_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    outcome_ = new QLabel(this);
    outcome_->setTextFormat(Qt::PlainText);
    outcome_->setAccessibleDescription(Text(StationWindowTexts::OutcomeName));
    outcome_->setFont(bold);
    outcome_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    icon_ = new QLabel(this);
    const int iconSize = style()->pixelMetric(QStyle::PM_SmallIconSize);
    icon_->setFixedSize(iconSize, iconSize);
    icon_->hide();
    message_ = new QLabel(this);
    message_->setTextFormat(Qt::PlainText);
    message_->setWordWrap(true);
    message_->setAccessibleDescription(Text(StationWindowTexts::MessageName));
    message_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    message_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    QFont small = message_->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    message_->setFont(small);
    message_->setFixedHeight(MessageHeight(false));

    start_ = MakeButton(StationWindowTexts::Start, this);
    stop_ = MakeButton(StationWindowTexts::Stop, this);
    yes_ = MakeButton(StationWindowTexts::Yes, this);
    no_ = MakeButton(StationWindowTexts::No, this);
    dismiss_ = MakeButton(StationWindowTexts::Ok, this);
    connect(start_, &QPushButton::clicked, this, &TBayTile::StartClicked);
    connect(stop_, &QPushButton::clicked, this, &TBayTile::StopClicked);
    connect(yes_, &QPushButton::clicked, this, [this] { Answer(true); });
    connect(no_, &QPushButton::clicked, this, [this] { Answer(false); });
    connect(dismiss_, &QPushButton::clicked, this, [this] {
        boxIcon_ = TBoxIcon::None;
        boxTitle_.clear();
        boxText_.clear();
        ShowMessage(QString(), QString(), TBoxIcon::None);
        UpdateButtons();
    });

    // Six rows that fit a tile of 16 in a 1280 x 800 window: name and port; serial number and
    // the buttons; the status (two lines); the gauge and the time; the outcome; the flow's box
    // or question (two lines, five while a question is open, which takes the status's and the
    // outcome's place) with its answer buttons.
    progress_->setMaximumHeight(progress_->fontMetrics().height() + 4);
    auto *top = new QHBoxLayout;
    top->addWidget(name_);
    top->addWidget(port_, 1);
    auto *serial = new QHBoxLayout;
    serial->addWidget(serial_, 1);
    serial->addWidget(start_);
    serial->addWidget(stop_);
    serial->addWidget(yes_);
    serial->addWidget(no_);
    serial->addWidget(dismiss_);
    auto *gauge = new QHBoxLayout;
    gauge->addWidget(progress_, 1);
    gauge->addWidget(time_);
    auto *message = new QHBoxLayout;
    message->addWidget(icon_, 0, Qt::AlignTop);
    message->addWidget(message_, 1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->setSpacing(2);
    layout->addLayout(top);
    layout->addLayout(serial);
    layout->addWidget(status_);
    layout->addLayout(gauge);
    layout->addWidget(outcome_);
    layout->addLayout(message);
    layout->addStretch(1);

    SetPort(QString(), QString(), QString());
}

int TBayTile::MessageHeight(bool question) const
{
    const int line = message_->fontMetrics().lineSpacing();
    if (!question)
        return line * 2 + 2;
    // The status's two lines, the outcome's line and the spacing between them.
    return line * 2 + 2 + status_->height() + outcome_->sizeHint().height() + 2 * 2;
}

QString TBayTile::FormatTime(qint64 ms)
{
    const qint64 seconds = qMax<qint64>(ms, 0) / 1000;
    if (seconds >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(seconds / 3600)
            .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void TBayTile::SetFrameColour(const QString &colour)
{
    // Drawn by the tile itself rather than by a style sheet: a style sheet would make every
    // repaint of the tile's gauge and labels go through the style sheet's slower style.
    frameColour_ = QColor(colour);
    update();
}

void TBayTile::SetOutcomeColour(const QString &colour)
{
    QPalette palette = outcome_->palette();
    palette.setColor(QPalette::WindowText, QColor(colour));
    outcome_->setPalette(palette);
}

void TBayTile::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(frameColour_, 2));
    painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 4, 4);
}

void TBayTile::SetPort(const QString &given, const QString &portName, const QString &adapterSerial)
{
    given_ = given;
    plugged_ = !portName.isEmpty();
    QString line;
    if (!plugged_)
        line = Text(StationWindowTexts::NotPluggedIn).arg(given);
    else if (adapterSerial.isEmpty())
        line = Text(StationWindowTexts::PortLine).arg(portName);
    else
        line = Text(StationWindowTexts::PortLineWithSerial).arg(portName, adapterSerial);
    port_->setText(line);
    port_->setToolTip(given.isEmpty() || given == portName ? line : line + QLatin1Char('\n') + given);
    if (state_ == TState::Unplugged && plugged_) {
        state_ = TState::Idle;
        status_->setText(Text(StationWindowTexts::Idle));
        SetFrameColour(QString::fromLatin1(IdleColour));
    } else if (state_ == TState::Idle && !plugged_) {
        state_ = TState::Unplugged;
    }
    if (state_ == TState::Unplugged) {
        status_->setText(line);
        SetFrameColour(QString::fromLatin1(IdleColour));
    }
    UpdateButtons();
}

QString TBayTile::UnitSerial() const
{
    return serial_->text().trimmed();
}

void TBayTile::FocusSerial()
{
    serial_->setFocus();
    serial_->selectAll();
}

void TBayTile::SetStatus(const QString &text)
{
    statusPending_ = text;
    dirty_ = true;
}

void TBayTile::SetGaugeMaximum(int maximum)
{
    // As the wizard's gauge: an empty range keeps one step, so the bar never shows a busy
    // animation.
    maximumPending_ = qMax(maximum, 1);
    dirty_ = true;
}

void TBayTile::SetGaugePosition(int position)
{
    positionPending_ = position;
    dirty_ = true;
}

void TBayTile::SetLinesSent(const QString &caption)
{
    linesPending_ = caption;
    dirty_ = true;
}

bool TBayTile::Flush()
{
    bool painted = false;
    if (state_ == TState::Running) {
        const qint64 second = clock_.elapsed() / 1000;
        if (second != shownSecond_) {
            shownSecond_ = second;
            time_->setText(FormatTime(clock_.elapsed()));
            painted = true;
        }
    }
    if (dirty_) {
        dirty_ = false;
        if (status_->text() != statusPending_) {
            status_->setText(statusPending_);
            status_->setToolTip(statusPending_);
        }
        if (progress_->maximum() != maximumPending_)
            progress_->setRange(0, maximumPending_);
        // A position past the end is a full gauge, as on the wizard.
        progress_->setValue(qBound(0, positionPending_, progress_->maximum()));
        const QString format = linesPending_.isEmpty() ? QStringLiteral("%p%") : linesPending_ + QStringLiteral("  %p%");
        if (progress_->format() != format)
            progress_->setFormat(format);
        painted = true;
    }
    if (painted)
        ++paints_;
    return painted;
}

void TBayTile::ShowMessage(const QString &title, const QString &text, TBoxIcon icon)
{
    // A box shows its text by its icon (the title in the tooltip); a question its title too.
    const bool question = bool(answered_);
    const QString shown = question ? title + QStringLiteral(" ") + text : text;
    message_->setText(shown);
    message_->setToolTip(title.isEmpty() ? text : title + QStringLiteral(": ") + text);
    message_->setAccessibleName(title.isEmpty() ? text : title + QStringLiteral(": ") + text);
    // An open question takes the room of the status and the outcome.
    status_->setVisible(!question);
    outcome_->setVisible(!question);
    message_->setFixedHeight(MessageHeight(question));
    QStyle::StandardPixmap pixmap = QStyle::SP_MessageBoxInformation;
    switch (icon) {
    case TBoxIcon::None:
        icon_->clear();
        icon_->hide();
        return;
    case TBoxIcon::Warning:
        pixmap = QStyle::SP_MessageBoxWarning;
        break;
    case TBoxIcon::Question:
        pixmap = QStyle::SP_MessageBoxQuestion;
        break;
    }
    icon_->setPixmap(style()->standardIcon(pixmap).pixmap(icon_->size()));
    icon_->show();
}

void TBayTile::ShowBox(const QString &title, const QString &text, TBoxIcon icon)
{
    boxIcon_ = icon;
    boxTitle_ = title;
    boxText_ = text;
    if (!answered_)
        ShowMessage(title, text, icon);
    UpdateButtons();
}

QString TBayTile::BoxText() const
{
    return boxText_;
}

void TBayTile::Ask(const QString &title, const QString &text, std::function<void(bool)> answered)
{
    answered_ = std::move(answered);
    questionTitle_ = title;
    ShowMessage(title, text, TBoxIcon::Question);
    UpdateButtons();
    yes_->setFocus();
}

void TBayTile::Answer(bool yes)
{
    if (!answered_)
        return;
    const auto answered = std::move(answered_);
    answered_ = nullptr;
    EndQuestion();
    answered(yes);
}

void TBayTile::EndQuestion()
{
    answered_ = nullptr;
    // The box shown before the question comes back.
    ShowMessage(boxTitle_, boxText_, boxText_.isEmpty() ? TBoxIcon::None : boxIcon_);
    UpdateButtons();
}

void TBayTile::Started()
{
    state_ = TState::Running;
    clock_.start();
    shownSecond_ = -1;
    boxIcon_ = TBoxIcon::None;
    boxTitle_.clear();
    boxText_.clear();
    ShowMessage(QString(), QString(), TBoxIcon::None);
    outcome_->setText(Text(StationWindowTexts::Running));
    SetOutcomeColour(QString::fromLatin1(RunningColour));
    SetFrameColour(QString::fromLatin1(RunningColour));
    statusPending_.clear();
    maximumPending_ = 1;
    positionPending_ = 0;
    linesPending_.clear();
    dirty_ = true;
    serial_->setReadOnly(true);
    Flush();
    UpdateButtons();
}

void TBayTile::Ended(const TUpdateOutcome &outcome, const QString &lastStatus, qint64 durationMs,
                     const QString &recordError)
{
    // What the flow said last is painted before the outcome.
    if (!lastStatus.isEmpty())
        SetStatus(lastStatus);
    Flush();
    state_ = TState::Ended;
    answered_ = nullptr;
    time_->setText(FormatTime(durationMs));
    QString word;
    const char *colour = FailedColour;
    if (outcome.IsCompleted()) {
        word = Text(StationWindowTexts::Completed);
        colour = CompletedColour;
    } else if (outcome.Kind == TOutcomeKind::Stopped) {
        word = Text(StationWindowTexts::Stopped);
        colour = StoppedColour;
    } else {
        word = Text(StationWindowTexts::Failed).arg(DescribeOutcome(outcome));
    }
    if (!recordError.isEmpty()) {
        // The unit's update is not in the report: say so on the tile, in the failure colour.
        word += QStringLiteral("; ") + Text(StationWindowTexts::RecordNotWritten).arg(recordError);
        colour = FailedColour;
    }
    outcome_->setText(word);
    outcome_->setToolTip(word);
    SetOutcomeColour(QString::fromLatin1(colour));
    SetFrameColour(QString::fromLatin1(colour));
    if (boxText_.isEmpty())
        ShowMessage(QString(), QString(), TBoxIcon::None);
    else
        ShowMessage(boxTitle_, boxText_, boxIcon_);
    serial_->setReadOnly(false);
    serial_->selectAll();
    UpdateButtons();
}

QString TBayTile::OutcomeText() const
{
    return outcome_->text();
}

QString TBayTile::StatusText() const
{
    return status_->text();
}

void TBayTile::UpdateButtons()
{
    const bool running = state_ == TState::Running;
    const bool asking = bool(answered_);
    // While a question is open its answers take the place of Start and Stop.
    start_->setVisible(!asking);
    stop_->setVisible(!asking);
    start_->setEnabled(plugged_ && !running);
    stop_->setEnabled(running);
    yes_->setVisible(asking);
    no_->setVisible(asking);
    dismiss_->setVisible(!asking && !running && !boxText_.isEmpty());
}
