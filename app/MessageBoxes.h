#pragma once

#include <QMessageBox>

#include "operator/OperatorSurface.h"

// Sets a message box up the way the program shows every box: no owner window, modal for the
// whole application, the given icon and buttons.
void PrepareMessageBox(QMessageBox &box, const QString &text, const QString &title, TBoxIcon icon,
                       QMessageBox::StandardButtons buttons);
