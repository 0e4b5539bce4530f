#include "app/OpenDialog.h"

#include <QFileDialog>
#include <QFileInfo>

TOpenDialog::TOpenDialog(QObject *parent) : QObject(parent)
{
}

void TOpenDialog::Configure(QFileDialog &dialog) const
{
    dialog.setWindowTitle(Title);
    const QString folder = FileName.isEmpty() ? InitialDir : QFileInfo(FileName).absolutePath();
    if (!folder.isEmpty())
        dialog.setDirectory(folder);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setNameFilter(Filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setSizeGripEnabled(true);
    if (!FileName.isEmpty())
        dialog.selectFile(FileName);
}

bool TOpenDialog::Execute(QWidget *parent)
{
    QFileDialog dialog(parent);
    Configure(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return false;
    FileName = chosen.first();
    return true;
}
