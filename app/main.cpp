// Varnel: the program entry. One copy per user session; the main window and its message loop.
#include <exception>

#include "app/MainForm.h"
#include "app/MessageBoxes.h"
#include "app/SingleInstance.h"
#include "app/VarnelApplication.h"
#include "wizard/TextFormat.h"
#include "wizard/WizardConfig.h"
#include "wizard/WizardTexts.h"

int main(int argc, char **argv)
{
    TVarnelApplication app(argc, argv);
    const QString program = QString::fromUtf8(WizardConfig::ProgramName);

    const QString instance = FormatText(WizardTexts::InstanceNameFormat, {program});
    if (TakeInstanceLock(instance) == TInstanceCheck::AlreadyRunning) {
        QMessageBox box;
        PrepareMessageBox(box, FormatText(WizardTexts::AlreadyRunning, {program, program}),
                          QString::fromUtf8(WizardTexts::AlreadyRunningTitle), TBoxIcon::None, QMessageBox::Ok);
        box.exec();
        return 0;
    }

    QCoreApplication::setApplicationName(program);
    try {
        TMainF MainF;
        MainF.show();
        app.exec();
    } catch (const std::exception &error) {
        TVarnelApplication::ShowException(QString::fromLocal8Bit(error.what()));
        return 0;
    } catch (...) {
        TVarnelApplication::ShowException(QString());
        return 0;
    }
    if (app.Failed())
        TVarnelApplication::ShowException(app.FailureMessage());
    return 0;
}
