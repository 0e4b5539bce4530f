#pragma once

#include <QWidget>
#include <functional>
#include <optional>

#include "seriallink/PortFacts.h"
#include "station/Job.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QTableWidget;

// The engineer's side of the station: the job is made here (unit type, approved update file
// and its SHA-256, restart answer, report file, bays picked from the port list and named) and
// saved as a job file. The port list is read without opening any port. A bay is written as the
// adapter's physical socket where the system names it (Linux /dev/serial/by-path, Windows
// location path), so that the bay stays the same place on the bench when adapters are swapped;
// else as its by-id link, else as the port's name.
class TJobEditor : public QWidget {
    Q_OBJECT
public:
    // A port of the list the bays are picked from, with what the system says of its adapter.
    struct TListedPort {
        QString Name;
        TPortFacts Facts;
    };
    using TPortList = std::function<QList<TListedPort>()>;

    // ports reads the port list (the system's, without opening a port, unless a test replaces it).
    explicit TJobEditor(const std::optional<TJob> &job, TPortList ports = {}, QWidget *parent = nullptr);

    // Called with the saved job when the engineer saves and runs it.
    std::function<void(const TJob &)> OnRun;

    // The job as the form shows it, to be saved at jobPath; empty with a reason in error when the
    // form is not complete.
    std::optional<TJob> FormJob(const QString &jobPath, QString &error) const;
    // Saves the form at path; false with the reason shown on the form.
    bool SaveTo(const QString &path);

    void ReadPorts();
    void ChooseFile(const QString &path);
    // The bays' table: its rows, a row's tick and bay name, as the engineer sets them.
    int PortRows() const;
    void SetBay(int row, bool ticked, const QString &name);

private:
    void Save(bool run);
    void AddBayRow(const QString &name, const QString &portName, const QString &adapter, const QString &serial,
                   const QString &written, bool ticked);

    QComboBox *unit_;
    QLineEdit *file_;
    QLabel *sha_;
    QComboBox *restart_;
    QLineEdit *report_;
    QTableWidget *bays_;
    QLabel *message_;
    QString sha256_;
    QString jobPath_;
    TPortList ports_;
};
