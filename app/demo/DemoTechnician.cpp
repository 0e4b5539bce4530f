#include "app/demo/DemoTechnician.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

#include "app/RadioGroup.h"
#include "app/demo/DemoPlatform.h"
#include "app/demo/DemoPort.h"
#include "app/demo/DemoWindow.h"
#include "updatefile/UnitCatalogue.h"

namespace {
constexpr int WatchdogMs = 10 * 60 * 1000;
}

TDemoTechnician::TDemoTechnician(TDemoMainF &window, QString unitName, QString portName, QString filePath,
                                 QString screenshotPath)
    : window_(window), unitName_(std::move(unitName)), portName_(std::move(portName)), filePath_(std::move(filePath)),
      screenshotPath_(std::move(screenshotPath))
{
    interactiveTerminal_ = StdoutIsTerminal();
    window_.OnStatus = [this](const QString &text) { Status(text); };
    window_.OnProgress = [this](int position, int maximum) { Progress(position, maximum); };
    connect(&boxTimer_, &QTimer::timeout, this, &TDemoTechnician::AnswerBoxes);
    watchdog_.setSingleShot(true);
    connect(&watchdog_, &QTimer::timeout, this, [this] {
        // The update may still be running inside a click: report and end at once.
        Finish(false, QStringLiteral("the demonstration took too long"));
        std::fflush(stdout);
        std::_Exit(1);
    });
}

void TDemoTechnician::Start()
{
    clock_.start();
    Say(QStringLiteral("Varnel demonstration: a scripted technician updates a simulated %1.").arg(unitName_));
    boxTimer_.start(150);
    watchdog_.start(WatchdogMs);
    QTimer::singleShot(300, this, &TDemoTechnician::Step);
}

QString TDemoTechnician::Stamp() const
{
    return QStringLiteral("[%1 s]").arg(clock_.elapsed() / 1000.0, 8, 'f', 3);
}

void TDemoTechnician::Say(const QString &line)
{
    if (progressOpen_) {
        std::fputs("\n", stdout);
        progressOpen_ = false;
    }
    std::fprintf(stdout, "%s\n", qPrintable(line));
    std::fflush(stdout);
}

void TDemoTechnician::Status(const QString &text)
{
    Say(QStringLiteral("%1 status: %2").arg(Stamp(), text));
}

void TDemoTechnician::Progress(int position, int maximum)
{
    const int percent = maximum > 0 ? int(qint64(qMin(position, maximum)) * 100 / maximum) : 0;
    const QString line = QStringLiteral("%1 progress: %2 / %3 lines sent (%4 %)")
                             .arg(Stamp())
                             .arg(position)
                             .arg(maximum)
                             .arg(percent);
    if (interactiveTerminal_) {
        std::fprintf(stdout, "\r%s", qPrintable(line));
        std::fflush(stdout);
        progressOpen_ = true;
    } else if (percent / 10 != lastPrintedPercent_ / 10 || position == maximum) {
        lastPrintedPercent_ = percent;
        Say(line);
    }
}

bool TDemoTechnician::PressNext(int expectedPage)
{
    auto *next = window_.findChild<QAbstractButton *>(QStringLiteral("ButtonNext"));
    if (!next || !next->isEnabled()) {
        Finish(false, QStringLiteral("Next is not available on page %1").arg(window_.State.CurrentPage));
        return false;
    }
    Say(QStringLiteral("%1 technician presses %2").arg(Stamp(), next->text()));
    next->click();
    if (window_.State.CurrentPage != expectedPage) {
        Finish(false, QStringLiteral("the wizard stayed on page %1").arg(window_.State.CurrentPage));
        return false;
    }
    return true;
}

void TDemoTechnician::Step()
{
    // Page 0 (when the build offers the brand choice): the unit's brand.
    if (window_.State.CurrentPage == 0) {
        int brand = SecondBrand;
        for (const TUnitType &type : UnitCatalogue())
            if (type.FullName == unitName_)
                brand = type.Brand;
        if (brand == FirstBrand) {
            Say(QStringLiteral("%1 technician picks the Quenby brand").arg(Stamp()));
            window_.quenby_BClick();
        } else {
            Say(QStringLiteral("%1 technician picks the TRIVANE brand").arg(Stamp()));
            window_.trivane_BClick();
        }
    }
    // Page 1 -> 2: the product list.
    if (!PressNext(2))
        return;
    auto *products = window_.findChild<TRadioGroup *>(QStringLiteral("Product_Group_GB"));
    const int product = products ? products->Items().indexOf(unitName_) : -1;
    if (product < 0) {
        Finish(false, QStringLiteral("the product list does not offer %1").arg(unitName_));
        return;
    }
    Say(QStringLiteral("%1 technician picks \"%2\"").arg(Stamp(), unitName_));
    products->SetItemIndex(product);
    // Page 2 -> 3: port and file.
    if (!PressNext(3))
        return;
    auto *ports = window_.findChild<TRadioGroup *>(QStringLiteral("comm_RG"));
    const int port = ports ? ports->Items().indexOf(portName_) : -1;
    if (port < 0) {
        Finish(false, QStringLiteral("the port \"%1\" is not listed (or busy)").arg(portName_));
        return;
    }
    Say(QStringLiteral("%1 technician picks the port \"%2\"").arg(Stamp(), ports->Items().at(port)));
    ports->SetItemIndex(port);
    Say(QStringLiteral("%1 technician chooses the file %2").arg(Stamp(), filePath_));
    window_.Hooks().ChooseFile = [this] { return filePath_; };
    window_.ButtonBrowseClick();
    // Page 3 -> 4: the format check and the port probe, then the summary.
    if (!PressNext(4))
        return;
    // Page 4 -> 5: Begin runs the whole update inside the click.
    if (!PressNext(5))
        return;
    const bool completed = window_.StatusText() == QLatin1String("Update complete.");
    Finish(completed, completed ? QString() : QStringLiteral("the update ended with \"%1\"").arg(window_.StatusText()));
}

void TDemoTechnician::AnswerBoxes()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible() || box->property("varnelAnswered").toBool())
        return;
    box->setProperty("varnelAnswered", true);
    QAbstractButton *yes = box->button(QMessageBox::Yes);
    QAbstractButton *ok = box->button(QMessageBox::Ok);
    QAbstractButton *press = yes ? yes : ok;
    Say(QStringLiteral("%1 box \"%2\": %3 -> %4")
            .arg(Stamp(), box->windowTitle(), box->text().simplified(), press ? press->text().remove('&') : QString()));
    if (press)
        QTimer::singleShot(200, press, &QAbstractButton::click);
}

void TDemoTechnician::Finish(bool completed, const QString &why)
{
    boxTimer_.stop();
    watchdog_.stop();
    if (!screenshotPath_.isEmpty()) {
        if (window_.grab().save(screenshotPath_))
            Say(QStringLiteral("%1 screenshot of the window: %2").arg(Stamp(), screenshotPath_));
        else
            Say(QStringLiteral("%1 could not save the screenshot to %2").arg(Stamp(), screenshotPath_));
    }
    if (completed)
        Say(QStringLiteral("%1 demonstration finished: Update complete.").arg(Stamp()));
    else
        Say(QStringLiteral("%1 demonstration FAILED: %2").arg(Stamp(), why));
    QCoreApplication::exit(completed ? 0 : 1);
}
