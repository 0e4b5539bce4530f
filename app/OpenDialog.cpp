#include "app/OpenDialog.h"

#include <QFileDialog>
#include <QFileInfo>

TOpenDialog::TOpenDialog(QObject *parent) : QObject(parent)
{
}

bool TOpenDialog::Execute(QWidget *parent)
{
    QFileDialog dialog(parent, Title, FileName.isEmpty() ? InitialDir : QFileInfo(FileName).absolutePath(), Filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setSizeGripEnabled(true);
    if (!FileName.isEmpty())
        dialog.selectFile(FileName);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return false;
    FileName = chosen.first();
    return true;
}
