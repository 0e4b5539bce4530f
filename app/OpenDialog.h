#pragma once

#include <QObject>
#include <QString>

class QFileDialog;
class QWidget;

// The open-file dialog component: its settings and the file name it keeps between runs. The
// dialog window is made when it runs; FileName is the last chosen file.
class TOpenDialog : public QObject {
    Q_OBJECT

public:
    explicit TOpenDialog(QObject *parent = nullptr);

    QString Title;
    QString Filter;   // "description (pattern)"
    QString FileName; // the last chosen file, full path
    QString InitialDir; // the folder the dialog opens in while no file has been chosen

    // Runs the dialog (only existing files can be chosen); true for OK, which sets FileName.
    bool Execute(QWidget *parent);

    // Gives a dialog this component's settings: title, filter, folder, the last file chosen.
    // The filter's list shows its description only ("S19 Files"), not its patterns.
    void Configure(QFileDialog &dialog) const;
};
