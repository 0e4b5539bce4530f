// The engineer's job editor: what it saves is a job that reads back as the one on the form,
// with the file and the report relative to the job's folder and the file's hash taken.
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/station/JobEditor.h"
#include "tests/station_window/StationRig.h"

TEST(StationJobEditor, SavesAJobThatReadsBackWithItsPathsRelativeAndTheFilesHash)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("firmware")) && QDir(dir.path()).mkpath(QStringLiteral("jobs")));
    const QString file = dir.filePath(QStringLiteral("firmware/T4200170.s19"));
    ASSERT_TRUE(QFile::copy(SampleFile(), file));

    TJob job;
    job.Unit = QStringLiteral("TVR-4200");
    job.File = file;
    job.Sha256 = QString(64, QLatin1Char('0')); // the editor hashes the file itself
    job.Restart = true;
    job.Report = dir.filePath(QStringLiteral("reports/line3.jsonl"));
    job.Bays = {{QStringLiteral("A1"), QStringLiteral("/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0")},
                {QStringLiteral("A2"), QStringLiteral("ttyUSB7")}};
    TJobEditor editor(job);
    const QString path = dir.filePath(QStringLiteral("jobs/line3.json"));
    ASSERT_TRUE(editor.SaveTo(path));

    TJobError error;
    const std::optional<TJob> saved = LoadJob(path, error);
    ASSERT_TRUE(saved) << error.Text.toStdString();
    EXPECT_EQ(saved->File, QStringLiteral("../firmware/T4200170.s19"));
    EXPECT_EQ(saved->FilePath(), file);
    EXPECT_EQ(saved->Sha256, Sha256Of(SampleFile()));
    EXPECT_EQ(saved->Report, QStringLiteral("../reports/line3.jsonl"));
    EXPECT_EQ(saved->Restart, std::optional<bool>(true));
    ASSERT_EQ(saved->Bays.size(), 2);
    EXPECT_EQ(saved->Bays[0].Port, job.Bays[0].Port);
    EXPECT_EQ(saved->Bays[1].Name, QStringLiteral("A2"));
    EXPECT_EQ(saved->Name(), QStringLiteral("line3"));
}

TEST(StationJobEditor, RefusesAFormWithoutAFileOrWithoutABay)
{
    QTemporaryDir dir;
    QString error;
    TJobEditor empty(std::nullopt);
    EXPECT_FALSE(empty.FormJob(dir.filePath(QStringLiteral("a.json")), error));
    EXPECT_FALSE(error.isEmpty());

    TJob job;
    job.Unit = QStringLiteral("TVR-4200");
    job.File = SampleFile();
    job.Bays = {{QStringLiteral("A1"), QStringLiteral("ttyUSB0")}};
    TJobEditor withFile(job);
    error.clear();
    EXPECT_TRUE(withFile.FormJob(dir.filePath(QStringLiteral("a.json")), error)) << error.toStdString();
}

TEST(StationJobEditor, OffersThePortsNotYetBaysAndWritesATickedOneByItsSocket)
{
    QTemporaryDir dir;
    const QString a1Socket = QStringLiteral("/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0");
    const QString socket = QStringLiteral("/dev/serial/by-path/pci-0000:00:14.0-usb-0:3:1.0-port0");
    TJob job;
    job.Unit = QStringLiteral("TVR-4200");
    job.File = SampleFile();
    job.Bays = {{QStringLiteral("A1"), a1Socket}};
    QList<TJobEditor::TListedPort> ports(3);
    ports[0].Name = QStringLiteral("ttyUSB0"); // A1's adapter, known by its socket
    ports[0].Facts.LocationPath = a1Socket;
    ports[1].Name = QStringLiteral("ttyUSB1");
    ports[1].Facts.LocationPath = socket;
    ports[1].Facts.ByIdLink = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_FT2-if00-port0");
    ports[2].Name = QStringLiteral("ttyS0"); // no adapter facts: written by its name
    TJobEditor editor(job, [&] { return ports; });
    ASSERT_EQ(editor.PortRows(), 3);

    QString error;
    const std::optional<TJob> unticked = editor.FormJob(dir.filePath(QStringLiteral("a.json")), error);
    ASSERT_TRUE(unticked) << error.toStdString();
    EXPECT_EQ(unticked->Bays.size(), 1) << "an offered port is no bay until ticked";

    editor.SetBay(1, true, QStringLiteral("A2"));
    editor.SetBay(2, true, QStringLiteral("A3"));
    const std::optional<TJob> formed = editor.FormJob(dir.filePath(QStringLiteral("a.json")), error);
    ASSERT_TRUE(formed) << error.toStdString();
    ASSERT_EQ(formed->Bays.size(), 3);
    EXPECT_EQ(formed->Bays[1].Name, QStringLiteral("A2"));
    EXPECT_EQ(formed->Bays[1].Port, socket);
    EXPECT_EQ(formed->Bays[2].Port, QStringLiteral("ttyS0"));

    // Reading the ports again offers nothing twice; two bays of one name are refused.
    editor.ReadPorts();
    EXPECT_EQ(editor.PortRows(), 3);
    editor.SetBay(2, true, QStringLiteral("A2"));
    EXPECT_FALSE(editor.FormJob(dir.filePath(QStringLiteral("a.json")), error));
}
