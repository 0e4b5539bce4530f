#include "app/MessageBoxes.h"

void PrepareMessageBox(QMessageBox &box, const QString &text, const QString &title, TBoxIcon icon,
                       QMessageBox::StandardButtons buttons)
{
    box.setParent(nullptr);
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowTitle(title);
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    switch (icon) {
    case TBoxIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case TBoxIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case TBoxIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    box.setStandardButtons(buttons);
    if (buttons & QMessageBox::Yes)
        box.setDefaultButton(QMessageBox::Yes);
    else if (buttons & QMessageBox::Ok)
        box.setDefaultButton(QMessageBox::Ok);
}
