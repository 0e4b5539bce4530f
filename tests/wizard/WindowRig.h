#pragma once

#include <QAbstractButton>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTextEdit>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

#include "app/MainForm.h"
#include "app/RadioGroup.h"
#include "unitsim/InProcessPort.h"
#include "unitsim/VirtualClock.h"

// A box the window showed, as the technician would have seen it.
struct TShownBox {
    QString Title;
    QString Text;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons Buttons;
    bool Owned = false;          // has an owner window
    Qt::WindowModality Modality = Qt::NonModal;
};

// The real main window with its message boxes answered by the test and the end of the
// application counted instead of done.
class TTestMainF : public TMainF {
public:
    using TMainF::TMainF;

    QList<TShownBox> Boxes;
    std::deque<bool> Answers;                      // questions: Yes/No, Yes when empty
    std::function<void(const TShownBox &)> OnBox;  // runs while a box is up
    int Terminations = 0;

    void TerminateApplication() override { ++Terminations; }

protected:
    int RunBox(QMessageBox &box) override
    {
        TShownBox shown{box.windowTitle(), box.text(), box.icon(), box.standardButtons(), box.parent() != nullptr,
                        box.windowModality()};
        Boxes.append(shown);
        if (OnBox)
            OnBox(shown);
        if (box.standardButtons() & QMessageBox::Yes) {
            bool yes = true;
            if (!Answers.empty()) {
                yes = Answers.front();
                Answers.pop_front();
            }
            return yes ? QMessageBox::Yes : QMessageBox::No;
        }
        return QMessageBox::Ok;
    }
};

// A window on a simulated port and virtual time, shown (so its show routine has run).
struct TWindowRig {
    explicit TWindowRig(bool offerBrandChoice = false, const QStringList &ports = {})
    {
        port.PortNames = ports;
        window = std::make_unique<TTestMainF>(offerBrandChoice, &port, &clock);
        window->show();
    }

    template <class T = QWidget> T *Control(const char *name) const
    {
        T *control = window->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    QAbstractButton *Button(const char *name) const { return Control<QAbstractButton>(name); }
    TRadioGroup *Products() const { return Control<TRadioGroup>("Product_Group_GB"); }
    TRadioGroup *PortList() const { return Control<TRadioGroup>("comm_RG"); }
    TWizardState &State() const { return window->State; }

    void Next() const { Button("ButtonNext")->click(); }
    void Back() const { Button("ButtonBack")->click(); }

    // Selects the product with this text on page 2.
    void ChooseProduct(const QString &name) const
    {
        const int at = int(Products()->Items().indexOf(name));
        ASSERT_GE(at, 0) << name.toStdString();
        Products()->Button(at)->click();
    }

    // A file that exists, in a folder of this rig.
    QString MakeFile(const QString &name) const
    {
        const QString path = files.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("S00600004844521B\n");
        return path;
    }

    // Chooses the update file through Browse as the technician would.
    void Browse(const QString &path) const
    {
        window->Hooks().ChooseFile = [path] { return path; };
        Button("ButtonBrowse")->click();
    }

    // From page 1 to the port-and-file page with that product chosen.
    void GoToPortPage(const QString &product) const
    {
        Next();
        ChooseProduct(product);
        Next();
    }

    QTemporaryDir files;
    TVirtualClock clock;
    TInProcessPort port{clock};
    std::unique_ptr<TTestMainF> window;
};
