// varnel-demo: the Varnel window beside a simulated unit, so that a whole update can be tried
// without hardware and without root. The simulated unit answers whichever protocol arrives
// (update mode, resistor-monitor bootloader, communications-module bootloader); its port is
// listed as "Simulated unit" and the sample update files are offered in the file dialog.
// With --headless a scripted technician runs one update on the offscreen platform. With --port
// the same happens over a real serial port instead (a unit on the bench, or a simulated unit at
// the far end of a line), and no simulated unit is started.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

#include "app/VarnelApplication.h"
#include "app/demo/DemoPort.h"
#include "app/demo/DemoTechnician.h"
#include "app/demo/DemoWindow.h"
#include "app/demo/DemoPlatform.h"
#include "unitsim/UnitFamilies.h"
#include "updatefile/FileNameRules.h"
#include "updatefile/UnitCatalogue.h"

namespace {

bool NoDisplay()
{
    return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// The sample folder: beside the program in the build tree, under share/ when installed, or the
// source tree's.
QString FindSamples(const QString &asked)
{
    if (!asked.isEmpty())
        return QDir(asked).absolutePath();
    const QString here = QCoreApplication::applicationDirPath();
    const QStringList candidates = {here + QStringLiteral("/samples"),
                                    here + QStringLiteral("/../../share/varnel/samples"),
                                    QStringLiteral(VARNEL_SOURCE_SAMPLES_DIR)};
    for (const QString &dir : candidates)
        if (QFileInfo(dir).isDir())
            return QDir(dir).canonicalPath();
    return QString();
}

// The first sample whose name fits the unit type's naming rule.
QString SampleFor(const QString &samples, int unitType)
{
    const QFileInfoList files = QDir(samples).entryInfoList({QStringLiteral("*.s19")}, QDir::Files, QDir::Name);
    for (const QFileInfo &file : files) {
        QString warning;
        if (CheckUpdateFileName(unitType, file.absoluteFilePath(), warning))
            return file.absoluteFilePath();
    }
    return QString();
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
    QCoreApplication::setApplicationName(QStringLiteral("varnel-demo"));
    QCommandLineParser options;
    options.setApplicationDescription(
        QStringLiteral("Varnel beside a simulated unit: try a whole firmware update without hardware."));
    options.addHelpOption();
    options.addOption({QStringLiteral("headless"),
                       QStringLiteral("Run one update with a scripted technician on the offscreen platform; "
                                      "exit 0 only on \"Update complete.\". Chosen by itself when there is no display.")});
    options.addOption({QStringLiteral("unit"), QStringLiteral("Product the scripted technician picks."),
                       QStringLiteral("name"), QStringLiteral("TVR-4200 Motor Protection Relay")});
    options.addOption({QStringLiteral("file"), QStringLiteral("Update file the scripted technician chooses "
                                                              "(default: the sample for the unit)."),
                       QStringLiteral("path")});
    options.addOption({QStringLiteral("port"), QStringLiteral("A real serial port for the scripted technician to pick "
                                                              "instead of the simulated unit's (no simulated unit is started)."),
                       QStringLiteral("name")});
    options.addOption({QStringLiteral("samples"), QStringLiteral("Folder of sample update files."),
                       QStringLiteral("dir")});
    options.addOption({QStringLiteral("screenshot"), QStringLiteral("Where the headless run saves a PNG of the window."),
                       QStringLiteral("path"), QDir::temp().filePath(QStringLiteral("varnel-demo.png"))});
    options.process(app);
    headless = options.isSet(QStringLiteral("headless")) || NoDisplay();

    // The simulated unit, behind a line of its own, unless a real port was named.
    const QString realPort = options.value(QStringLiteral("port"));
    TAnyUnit unit;
    std::unique_ptr<TSimulatedLine> line;
    if (realPort.isEmpty()) {
        QString error;
        line = StartSimulatedLine(unit, &error);
        if (!line) {
            std::fprintf(stderr, "varnel-demo: cannot start the simulated unit: %s\n", qPrintable(error));
            return 1;
        }
    }
    const QString samples = FindSamples(options.value(QStringLiteral("samples")));

    TDemoComPort port(line ? line->DevicePath() : QString());
    const QString portName = line ? QString::fromLatin1(TDemoComPort::SimulatedPortName) : realPort;
    port.SetPort(portName); // offered first on the port page
    int result = 0;
    {
        // The brand choice is offered so that every unit type of the catalogue can be tried.
        TDemoMainF window(true, &port);
        window.SetDialogInitialDir(samples);
        if (line)
            std::printf("Simulated unit on %s, listed as \"%s\" on the port page.\n", qPrintable(line->DevicePath()),
                        TDemoComPort::SimulatedPortName);
        else
            std::printf("Real port %s; no simulated unit.\n", qPrintable(realPort));
        std::printf("Sample update files: %s\n", samples.isEmpty() ? "(none found)" : qPrintable(samples));
        std::fflush(stdout);

        std::unique_ptr<TDemoTechnician> technician;
        if (headless) {
            const QString unitName = options.value(QStringLiteral("unit"));
            int code = 0;
            for (const TUnitType &type : UnitCatalogue())
                if (type.FullName == unitName)
                    code = type.Code;
            QString file = options.value(QStringLiteral("file"));
            if (file.isEmpty() && code != 0)
                file = SampleFor(samples, code);
            if (code == 0 || file.isEmpty()) {
                std::fprintf(stderr, "varnel-demo: no unit type \"%s\" or no sample file for it in %s\n",
                             qPrintable(unitName), qPrintable(samples));
                if (line)
                    line->Stop();
                return 1;
            }
            technician = std::make_unique<TDemoTechnician>(window, unitName, portName, QFileInfo(file).absoluteFilePath(),
                                                           options.value(QStringLiteral("screenshot")));
        }
        window.show();
        if (technician)
            technician->Start();
        result = app.exec();
    }
    if (line) {
        line->Stop();
        std::printf("\nWhat the simulated unit received:\n%s\n", qPrintable(unit.Summary()));
    }
    return result;
}
