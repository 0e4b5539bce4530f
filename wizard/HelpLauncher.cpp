#include "wizard/HelpLauncher.h"

#include <QCoreApplication>
#include <QDir>

#include "operator/OperatorSurface.h"
#include "wizard/HelpShell.h"
#include "wizard/TextFormat.h"
#include "wizard/WizardConfig.h"
#include "wizard/WizardTexts.h"

QString ProgramFolder()
{
    const QString dir = QCoreApplication::applicationDirPath();
    if (dir.isEmpty())
        return QString();
    QString folder = QDir::toNativeSeparators(dir);
    if (!folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return folder;
}

QString HelpStartPagePath(const QString &programFolder)
{
    return programFolder + QString::fromUtf8(WizardConfig::HelpFolderName) + QDir::separator() +
           QString::fromUtf8(WizardConfig::HelpStartPageName);
}

QString HelpErrorText(int shellResult)
{
    if (shellResult > 32)
        return QString();
    const QString program = QString::fromUtf8(WizardConfig::ProgramName);
    switch (shellResult) {
    case 0:  // out of resources
    case 8:  // out of memory
        return QString::fromUtf8(WizardTexts::HelpNoMemory);
    case 2:  // file not found
    case 3:  // path not found
        return FormatText(WizardTexts::HelpNotFound, {program, program});
    case 5:  // access denied
    case 26: // sharing violation
        return QString::fromUtf8(WizardTexts::HelpPermissions);
    case 11: // bad executable format
    case 27: // file association incomplete
    case 31: // no application associated
        return FormatText(WizardTexts::HelpNoBrowser, {program});
    default:
        return QString::fromUtf8(WizardTexts::HelpSystemError);
    }
}

void ShowHelp(TOperatorSurface &surface, const QString &programFolder, const THelpOpener &open)
{
    const QString path = HelpStartPagePath(programFolder);
    const int result = open ? open(path) : OpenDocumentWithShell(path);
    const QString text = HelpErrorText(result);
    if (!text.isEmpty())
        surface.ReportBox(text, QString::fromUtf8(WizardTexts::HelpErrorTitle), TBoxIcon::None);
}
