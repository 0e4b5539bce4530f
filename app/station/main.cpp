// varnel-station: the window of a production bench. It runs a job (unit type, approved update
// file and its SHA-256, report file, bays) on every bay of the bench at once; the operator scans
// each unit's serial number and presses Start. --engineer makes or changes the job.
#include <QCommandLineParser>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QTextStream>
#include <cstdio>
#include <memory>

#include "app/VarnelApplication.h"
#include "app/station/HeadlessOperator.h"
#include "app/station/JobEditor.h"
#include "station/UnitLookup.h"
#include "app/station/StationWindowTexts.h"
#include "app/station/StationWindow.h"
#include "station/Job.h"

namespace {
bool NoDisplay()
{
    return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// A start-up error: on the error stream, and in a box when a person looks at a screen.
int Refuse(const QString &text, int exitCode, bool headless)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
    if (!headless) {
        QMessageBox box(QMessageBox::Warning, QString::fromUtf8(StationWindowTexts::TitlePrefix), text, QMessageBox::Ok);
        box.exec();
    }
    return exitCode;
}
} // namespace

int main(int argc, char **argv)
{
    bool headless = false;
    for (int i = 1; i < argc; ++i)
        if (qstrcmp(argv[i], "--headless") == 0)
            headless = true;
    if ((headless || NoDisplay()) && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    TVarnelApplication app(argc, argv);
    QCoreApplication::setApplicationName(QString::fromUtf8(StationWindowTexts::ProgramName));
    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral(
        "Varnel Station: updates the units of a production bench, one tile per bay, from a job file."));
    options.addHelpOption();
    options.addOption({QStringLiteral("job"),
                       QStringLiteral("The job to run (operator mode: the job cannot be changed from the window)."),
                       QStringLiteral("file")});
    options.addOption({QStringLiteral("engineer"),
                       QStringLiteral("Make a job, or change the one --job names: pick the unit type, the file "
                                      "and the bays from the port list, and save it.")});
    options.addOption({QStringLiteral("headless"),
                       QStringLiteral("Start every bay, answer the questions Yes, print each bay's outcome, save a "
                                      "screenshot; exit 0 only when every bay completed. Chosen by itself when "
                                      "there is no display.")});
    options.addOption({QStringLiteral("screenshot"), QStringLiteral("Where the headless run saves a PNG of the window."),
                       QStringLiteral("png"), QDir::temp().filePath(QStringLiteral("varnel-station.png"))});
    options.process(app);
    const bool engineer = options.isSet(QStringLiteral("engineer"));
    headless = options.isSet(QStringLiteral("headless")) || (NoDisplay() && !engineer);
    const QString jobPath = options.value(QStringLiteral("job"));

    std::optional<TJob> job;
    if (!jobPath.isEmpty()) {
        TJobError error;
        job = LoadJob(QDir(jobPath).absolutePath(), error);
        if (!job)
            return Refuse(QStringLiteral("varnel-station: ") + error.Text, error.ExitCode, headless);
    } else if (!engineer) {
        // Started without a job (from the Start menu, say): a person at a screen picks one;
        // nobody to ask is a usage error.
        if (headless)
            return Refuse(QString::fromUtf8(StationWindowTexts::NoJob), 2, headless);
        const QString picked = QFileDialog::getOpenFileName(nullptr, QString::fromUtf8(StationWindowTexts::OpenJobTitle),
                                                            QString(), QString::fromUtf8(StationWindowTexts::EngineerJobFilter));
        if (picked.isEmpty())
            return 0;
        TJobError error;
        job = LoadJob(QDir(picked).absolutePath(), error);
        if (!job)
            return Refuse(QStringLiteral("varnel-station: ") + error.Text, error.ExitCode, headless);
    }

    QTextStream out(stdout);
    std::unique_ptr<TJobEditor> editor;
    std::unique_ptr<TStationWindow> window;
    std::unique_ptr<THeadlessOperator> operatorRun;
    auto runJob = [&](const TJob &toRun) -> int {
        QString error;
        const TUnitType *unit = LookUpUnit(toRun.Unit, OfferedUnits(false), error);
        if (!unit)
            return Refuse(QStringLiteral("varnel-station: ") + error, 3, headless);
        window = std::make_unique<TStationWindow>(toRun, *unit);
        window->show();
        if (headless) {
            operatorRun = std::make_unique<THeadlessOperator>(*window, options.value(QStringLiteral("screenshot")), out);
            operatorRun->Start();
        }
        return 0;
    };

    if (engineer) {
        editor = std::make_unique<TJobEditor>(job);
        editor->OnRun = [&](const TJob &saved) {
            editor->hide();
            if (runJob(saved) != 0)
                editor->show();
        };
        editor->show();
    } else if (const int refused = runJob(*job)) {
        return refused;
    }
    const int result = app.exec();
    operatorRun.reset();
    window.reset();
    editor.reset();
    if (app.Failed()) {
        std::fprintf(stderr, "varnel-station: %s\n", qPrintable(app.FailureMessage()));
        return 1;
    }
    return result;
}
