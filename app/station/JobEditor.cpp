#include "app/station/JobEditor.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/station/StationWindowTexts.h"
#include "seriallink/PortFacts.h"
#include "seriallink/TComPort.h"
#include "updatefile/UnitCatalogue.h"

#ifndef VARNEL_VERSION
#define VARNEL_VERSION "unknown"
#endif

namespace {
QString Text(const char *text)
{
    return QString::fromUtf8(text);
}

enum TColumn { ColumnBay, ColumnPort, ColumnAdapter, ColumnSerial, ColumnWritten, Columns };

QString FileSha256(const QString &path, bool &ok)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    ok = file.open(QIODevice::ReadOnly) && hash.addData(&file);
    return ok ? QString::fromLatin1(hash.result().toHex()) : QString();
}

// What a job names a port by: the physical socket, else the adapter's by-id link, else the name.
QString JobPortOf(const QString &name, const TPortFacts &facts)
{
    if (!facts.LocationPath.isEmpty())
        return facts.LocationPath;
    if (!facts.ByIdLink.isEmpty())
        return facts.ByIdLink;
    return name;
}
} // namespace

TJobEditor::TJobEditor(const std::optional<TJob> &job, TPortList ports, QWidget *parent)
    : QWidget(parent), ports_(std::move(ports))
{
    if (!ports_)
        ports_ = [] {
            QStringList names;
            TComPort().ListSerialPorts(names);
            QList<TListedPort> listed;
            for (const QString &name : names)
                listed << TListedPort{name, SystemPortFacts(name)};
            return listed;
        };
    setWindowTitle(Text(StationWindowTexts::EngineerTitle).arg(QString::fromLatin1(VARNEL_VERSION)));
    unit_ = new QComboBox(this);
    unit_->setAccessibleName(Text(StationWindowTexts::EngineerUnit));
    for (int code : OfferedUnitCodes(VARNEL_OFFER_BRAND_CHOICE_DEFAULT != 0))
        if (const TUnitType *unit = FindUnitType(code))
            unit_->addItem(unit->FullName, unit->ShortName);

    file_ = new QLineEdit(this);
    file_->setReadOnly(true);
    file_->setAccessibleName(Text(StationWindowTexts::EngineerFile));
    auto *browseFile = new QPushButton(Text(StationWindowTexts::EngineerBrowse), this);
    connect(browseFile, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, Text(StationWindowTexts::EngineerFile), file_->text(),
                                                          Text(StationWindowTexts::EngineerFileFilter));
        if (!path.isEmpty())
            ChooseFile(path);
    });
    sha_ = new QLabel(this);
    sha_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    restart_ = new QComboBox(this);
    restart_->setAccessibleName(Text(StationWindowTexts::EngineerRestart));
    restart_->addItem(Text(StationWindowTexts::EngineerRestartAsk));
    restart_->addItem(Text(StationWindowTexts::EngineerRestartYes));
    restart_->addItem(Text(StationWindowTexts::EngineerRestartNo));

    report_ = new QLineEdit(this);
    report_->setAccessibleName(Text(StationWindowTexts::EngineerReport));
    auto *browseReport = new QPushButton(Text(StationWindowTexts::EngineerBrowse), this);
    connect(browseReport, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, Text(StationWindowTexts::EngineerReport), report_->text(),
                                                          Text(StationWindowTexts::EngineerReportFilter), nullptr,
                                                          QFileDialog::DontConfirmOverwrite);
        if (!path.isEmpty())
            report_->setText(path);
    });

    bays_ = new QTableWidget(0, Columns, this);
    bays_->setAccessibleName(Text(StationWindowTexts::EngineerBays));
    bays_->setHorizontalHeaderLabels({Text(StationWindowTexts::EngineerColumnBay), Text(StationWindowTexts::EngineerColumnPort),
                                      Text(StationWindowTexts::EngineerColumnAdapter), Text(StationWindowTexts::EngineerColumnSerial),
                                      Text(StationWindowTexts::EngineerColumnWritten)});
    bays_->horizontalHeader()->setStretchLastSection(true);
    bays_->verticalHeader()->hide();
    auto *rescan = new QPushButton(Text(StationWindowTexts::EngineerRescan), this);
    connect(rescan, &QPushButton::clicked, this, &TJobEditor::ReadPorts);

    message_ = new QLabel(this);
    message_->setTextFormat(Qt::PlainText);
    message_->setWordWrap(true);
    auto *save = new QPushButton(Text(StationWindowTexts::EngineerSave), this);
    auto *saveRun = new QPushButton(Text(StationWindowTexts::EngineerRun), this);
    connect(save, &QPushButton::clicked, this, [this] { Save(false); });
    connect(saveRun, &QPushButton::clicked, this, [this] { Save(true); });

    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(file_, 1);
    fileRow->addWidget(browseFile);
    auto *reportRow = new QHBoxLayout;
    reportRow->addWidget(report_, 1);
    reportRow->addWidget(browseReport);
    auto *form = new QFormLayout;
    form->addRow(Text(StationWindowTexts::EngineerUnit), unit_);
    form->addRow(Text(StationWindowTexts::EngineerFile), fileRow);
    form->addRow(QString(), sha_);
    form->addRow(Text(StationWindowTexts::EngineerRestart), restart_);
    form->addRow(Text(StationWindowTexts::EngineerReport), reportRow);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(message_, 1);
    buttons->addWidget(save);
    buttons->addWidget(saveRun);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(new QLabel(Text(StationWindowTexts::EngineerBays), this));
    layout->addWidget(bays_, 1);
    layout->addWidget(rescan, 0, Qt::AlignLeft);
    layout->addLayout(buttons);
    resize(900, 600);

    if (job) {
        jobPath_ = job->JobPath;
        const int index = unit_->findData(job->Unit, Qt::UserRole, Qt::MatchFixedString);
        if (index >= 0)
            unit_->setCurrentIndex(index);
        ChooseFile(job->FilePath());
        restart_->setCurrentIndex(!job->Restart ? 0 : *job->Restart ? 1 : 2);
        report_->setText(job->ReportPath());
        for (const TJobBay &bay : job->Bays)
            AddBayRow(bay.Name, bay.Port, QString(), QString(), bay.Port, true);
    }
    ReadPorts();
}

void TJobEditor::AddBayRow(const QString &name, const QString &portName, const QString &adapter, const QString &serial,
                           const QString &written, bool ticked)
{
    const int row = bays_->rowCount();
    bays_->insertRow(row);
    auto *bay = new QTableWidgetItem(name);
    bay->setFlags(Qt::ItemIsEnabled | Qt::ItemIsEditable | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
    bay->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
    bays_->setItem(row, ColumnBay, bay);
    const QStringList cells = {portName, adapter, serial, written};
    for (int column = ColumnPort; column < Columns; ++column) {
        auto *item = new QTableWidgetItem(cells[column - ColumnPort]);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        bays_->setItem(row, column, item);
    }
}

void TJobEditor::ReadPorts()
{
    // The job's bays stay; ports not among them are offered below them, unticked.
    QSet<QString> known;
    for (int row = 0; row < bays_->rowCount(); ++row)
        known << bays_->item(row, ColumnWritten)->text();
    for (const TListedPort &port : ports_()) {
        const QString written = JobPortOf(port.Name, port.Facts);
        if (known.contains(written) || known.contains(port.Name))
            continue;
        known << written;
        AddBayRow(QStringLiteral("B%1").arg(bays_->rowCount() + 1), port.Name, port.Facts.Description,
                  port.Facts.SerialNumber, written, false);
    }
    bays_->resizeColumnsToContents();
}

int TJobEditor::PortRows() const
{
    return bays_->rowCount();
}

void TJobEditor::SetBay(int row, bool ticked, const QString &name)
{
    if (QTableWidgetItem *bay = bays_->item(row, ColumnBay)) {
        bay->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
        bay->setText(name);
    }
}

void TJobEditor::ChooseFile(const QString &path)
{
    bool ok = false;
    sha256_ = FileSha256(path, ok);
    file_->setText(QDir::toNativeSeparators(path));
    sha_->setText(ok ? Text(StationWindowTexts::HeaderSha).arg(sha256_) : Text(StationWindowTexts::EngineerUnreadable).arg(path));
}

std::optional<TJob> TJobEditor::FormJob(const QString &jobPath, QString &error) const
{
    if (file_->text().isEmpty() || sha256_.isEmpty()) {
        error = Text(StationWindowTexts::EngineerNoFile);
        return std::nullopt;
    }
    const QDir folder = QFileInfo(jobPath).absoluteDir();
    TJob job;
    job.Unit = unit_->currentData().toString();
    job.File = QDir::fromNativeSeparators(folder.relativeFilePath(QDir::fromNativeSeparators(file_->text())));
    job.Sha256 = sha256_;
    if (restart_->currentIndex() > 0)
        job.Restart = restart_->currentIndex() == 1;
    if (!report_->text().trimmed().isEmpty())
        job.Report = QDir::fromNativeSeparators(folder.relativeFilePath(report_->text().trimmed()));
    QSet<QString> names;
    for (int row = 0; row < bays_->rowCount(); ++row) {
        const QTableWidgetItem *bay = bays_->item(row, ColumnBay);
        if (bay->checkState() != Qt::Checked)
            continue;
        const QString name = bay->text().trimmed();
        if (names.contains(name)) {
            error = Text(StationWindowTexts::EngineerBayNamesTwice).arg(name);
            return std::nullopt;
        }
        names << name;
        job.Bays << TJobBay{name, bays_->item(row, ColumnWritten)->text()};
    }
    if (job.Bays.isEmpty()) {
        error = Text(StationWindowTexts::EngineerNoBays);
        return std::nullopt;
    }
    job.JobPath = QFileInfo(jobPath).absoluteFilePath();
    return job;
}

bool TJobEditor::SaveTo(const QString &path)
{
    QString error;
    const std::optional<TJob> job = FormJob(path, error);
    if (!job || !SaveJob(*job, path, &error)) {
        message_->setText(job ? Text(StationWindowTexts::EngineerSaveFailed).arg(error) : error);
        return false;
    }
    jobPath_ = job->JobPath;
    message_->setText(Text(StationWindowTexts::EngineerSaved).arg(QDir::toNativeSeparators(jobPath_)));
    return true;
}

void TJobEditor::Save(bool run)
{
    const QString path = QFileDialog::getSaveFileName(this, Text(StationWindowTexts::EngineerSave), jobPath_,
                                                      Text(StationWindowTexts::EngineerJobFilter));
    if (path.isEmpty() || !SaveTo(path))
        return;
    if (!run || !OnRun)
        return;
    // What runs is the job as the file now says, read back as an operator's run would read it.
    TJobError error;
    const std::optional<TJob> saved = LoadJob(jobPath_, error);
    if (!saved) {
        message_->setText(Text(StationWindowTexts::EngineerSaveFailed).arg(error.Text));
        return;
    }
    OnRun(*saved);
}
