#include "app/VarnelApplication.h"

#include <QMessageBox>
#include <exception>

#include "app/MessageBoxes.h"

TVarnelApplication::TVarnelApplication(int &argc, char **argv) : QApplication(argc, argv)
{
}

bool TVarnelApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &error) {
        Fail(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        Fail(QString());
    }
    return false;
}

void TVarnelApplication::Fail(const QString &message)
{
    if (!failed_) {
        failed_ = true;
        failureMessage_ = message;
    }
    quit();
}

void TVarnelApplication::ShowException(const QString &message)
{
    QMessageBox box;
    PrepareMessageBox(box, message, QCoreApplication::applicationName(), TBoxIcon::Warning, QMessageBox::Ok);
    box.setIcon(QMessageBox::Critical);
    box.exec();
}
