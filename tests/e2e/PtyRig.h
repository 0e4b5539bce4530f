#pragma once

// The real window on its real serial port and the system clock, against a simulated unit on the
// far side of a pseudo-terminal: update files whose bytes are awkward for a line, a tap that
// keeps every byte the unit took, and the rig that drives the window as a technician does.
// Shared by the real-time tests of whole updates, of faults and of a pulled cable.
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

#include "app/Picture.h"
#include "protocols/FlowTexts.h"
#include "protocols/UpdateFlows.h"
#include "seriallink/TComPort.h"
#include "tests/wizard/WindowRig.h"
#include "unitsim/PtyUnit.h"
#include "unitsim/UnitFamilies.h"
#include "wizard/WizardTexts.h"

// ---------------------------------------------------------------------------------------------
// Update files

struct TDataRecord {
    quint32 Address;
    QByteArray Data;
};

// One S-record line with its count and checksum.
inline QByteArray RecordLine(const char *type, int addressBytes, quint32 address, const QByteArray &data)
{
    QByteArray bytes;
    bytes.append(char(addressBytes + data.size() + 1));
    for (int i = addressBytes - 1; i >= 0; --i)
        bytes.append(char((address >> (8 * i)) & 0xFF));
    bytes.append(data);
    quint8 sum = 0;
    for (const char b : bytes)
        sum += quint8(b);
    bytes.append(char(~sum));
    return QByteArray(type) + bytes.toHex().toUpper();
}

// Data bytes that a line which is not fully transparent would alter or act on (line ends,
// flow-control and interrupt characters, the lead-in byte), and bytes whose echo reads like a
// unit's own answer or a time-out: ".", "!", "E", "C", "t", "s".
inline const QByteArray AwkwardBytes = QByteArray::fromHex("000a0d0311131a1c7ffff02e2145437473");

inline QByteArray RecordData(int record, int length)
{
    QByteArray data;
    for (int j = 0; j < length; ++j)
        data.append(j % 2 == 0 ? AwkwardBytes.at((record + j / 2) % AwkwardBytes.size())
                               : char((record * 37 + j * 11) & 0xFF));
    return data;
}

struct TUpdateFile {
    QString Path;
    QList<QByteArray> Lines;    // every line, without its line end
    QList<TDataRecord> Records; // the data records, as written
};

enum class TFamily { UpdateMode, Monitor, Module };

// A file of the family's record form: header, 20 data records, end record.
inline TUpdateFile MakeUpdateFile(TFamily family, const QString &path)
{
    TUpdateFile file;
    file.Path = path;
    const bool wide = family == TFamily::UpdateMode; // 32-bit addresses (S3/S7)
    const char *dataType = wide ? "S3" : "S1";
    const int addressBytes = wide ? 4 : 2;
    const quint32 base = wide ? 0x00012000 : (family == TFamily::Monitor ? 0x2000 : 0x4000);

    file.Lines << RecordLine("S0", 2, 0, QByteArray("HDR"));
    quint32 address = base;
    for (int i = 0; i < 20; ++i) {
        // The monitor programs byte by byte: short records of varying length keep it quick.
        const int length = family == TFamily::Monitor ? 1 + (i * 3) % 8 : 16;
        const TDataRecord record{address, RecordData(i, length)};
        file.Records << record;
        file.Lines << RecordLine(dataType, addressBytes, record.Address, record.Data);
        address += quint32(length);
    }
    file.Lines << RecordLine(wide ? "S7" : "S9", addressBytes, 0, {});

    // Line ends as a PC writes them, and as other tools do.
    const QByteArray eol = family == TFamily::Monitor ? "\n" : "\r\n";
    QFile out(path);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly));
    for (const QByteArray &line : file.Lines)
        out.write(line + eol);
    return file;
}

// ---------------------------------------------------------------------------------------------
// The line and the unit

// The program's serial port, with the simulated unit's pseudo-terminal in its port list beside
// whatever ports the system has.
class TPtyListedPort : public TComPort {
public:
    QString PtyPath;
    void ListSerialPorts(QStringList &list) override
    {
        TComPort::ListSerialPorts(list);
        list << PtyPath;
        SortPortNames(list);
    }
};

// Keeps every byte the host sends, unparsed and in order, and hands it on to the unit.
class TWireTap : public TUnitModel, private TUnitLine {
public:
    explicit TWireTap(TUnitModel &unit) : unit_(unit) { unit_.AttachLine(this); }
    void FromHost(const QByteArray &bytes) override
    {
        Wire += bytes;
        unit_.FromHost(bytes);
    }
    QString Summary() const override { return unit_.Summary(); }

    QByteArray Wire;

private:
    void SendToHost(const QByteArray &bytes, qint64 delayMs) override { Answer(bytes, delayMs); }
    void HangUp(qint64 delayMs) override { Respond(std::nullopt, delayMs, true); }
    TUnitModel &unit_;
};

// Two byte strings equal, or where they part.
inline ::testing::AssertionResult SameBytes(const QByteArray &actual, const QByteArray &expected)
{
    if (actual == expected)
        return ::testing::AssertionSuccess();
    qsizetype at = 0;
    while (at < actual.size() && at < expected.size() && actual.at(at) == expected.at(at))
        ++at;
    return ::testing::AssertionFailure()
           << "the unit took " << actual.size() << " bytes, expected " << expected.size() << "; first difference at "
           << at << ": got \"" << actual.mid(at, 24).toHex(' ').toStdString() << "\", expected \""
           << expected.mid(at, 24).toHex(' ').toStdString() << "\"";
}

// The real window on the real port and the system clock, the unit behind a pseudo-terminal.
class TPtyRig {
public:
    TPtyRig(TUnitModel &unit, bool offerBrandChoice, int lineBaud) : tap(unit), pty(tap)
    {
        pty.PaceBaud = lineBaud;
        if (!pty.Start(&Error))
            return;
        port.PtyPath = PortName();
        window = std::make_unique<TTestMainF>(offerBrandChoice, &port, &clock);
        window->show();
    }
    ~TPtyRig()
    {
        window.reset();
        pty.Stop();
    }

    bool Ready() const { return window != nullptr; }

    // The unit's port as the program lists and opens it: the slave, or a link to it that
    // outlives the line (a pulled cable and a new line behind the same name).
    QString PortName() const { return pty.LinkPath().isEmpty() ? pty.SlavePath() : pty.LinkPath(); }
    bool UseLink(const QString &path)
    {
        if (!pty.MakeLink(path, &Error))
            return false;
        port.PtyPath = PortName();
        return true;
    }

    template <class T = QWidget> T *Control(const char *name) const
    {
        T *control = window->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    QAbstractButton *Button(const char *name) const { return Control<QAbstractButton>(name); }
    int Page() const { return window->State.CurrentPage; }
    void Next() const { Button("ButtonNext")->click(); }

    // From the first page to the summary as a technician: the brand's picture (when the brand
    // is offered), the product, the unit's port, the file through Browse; Next then runs the
    // real format check and probes the port.
    void GoToSummary(const QString &product, const QString &path)
    {
        if (window->Wizard().OfferBrandChoice()) {
            ASSERT_EQ(Page(), 0);
            QTest::mouseClick(Control<TPicture>("qb_I"), Qt::LeftButton);
        }
        ASSERT_EQ(Page(), 1);
        Next();
        auto *products = Control<TRadioGroup>("Product_Group_GB");
        const int productAt = int(products->Items().indexOf(product));
        ASSERT_GE(productAt, 0) << product.toStdString();
        products->Button(productAt)->click();
        Next();
        ASSERT_EQ(Page(), 3);

        auto *ports = Control<TRadioGroup>("comm_RG");
        const int portAt = int(ports->Items().indexOf(PortName()));
        ASSERT_GE(portAt, 0) << "the pseudo-terminal is not listed as a free port: "
                             << ports->Items().join(QStringLiteral(", ")).toStdString();
        ports->Button(portAt)->click();
        ASSERT_EQ(window->ComPort().Port(), PortName());

        window->Hooks().ChooseFile = [path] { return path; };
        Button("ButtonBrowse")->click();
        EXPECT_FALSE(Control<QLabel>("LabelFileWarning")->isVisible()) << "the file's name does not fit the unit type";
        Next();
        ASSERT_EQ(Page(), 4) << window->StatusText().toStdString();
        ASSERT_TRUE(window->Boxes.isEmpty()) << window->Boxes.first().Text.toStdString();
    }

    // After the flow: waits (a few seconds at most) until the unit has taken the bytes that
    // were written to it, checks that the line is free again, then ends the unit so that its
    // record may be read. The bytes the unit took.
    QByteArray FinishLine(qsizetype expectedBytes)
    {
        QElapsedTimer timer;
        timer.start();
        qsizetype taken = 0;
        do {
            pty.WithModel([&](TUnitModel &) { taken = tap.Wire.size(); });
            if (taken >= expectedBytes)
                break;
            QThread::msleep(10);
        } while (timer.elapsed() < 5000);
        // Nothing still holds the device: another opener gets it.
        TComPort other;
        other.SetPort(PortName());
        EXPECT_NO_THROW(other.OpenPort()) << "the program still holds the port";
        other.ClosePort();
        pty.Stop();
        return tap.Wire;
    }

    // The gauge and the lines-sent label both show this many acknowledged records.
    void ExpectProgressShows(qsizetype acknowledged) const
    {
        EXPECT_EQ(Control<QProgressBar>("ProgressBar1")->value(), acknowledged);
        EXPECT_EQ(Control<QLabel>("LabelSREClines")->text(), QString::number(acknowledged));
    }

    // The wizard after the flow: the summary's last page with Exit back and Next disabled.
    void ExpectWizardAfterTheFlow() const
    {
        EXPECT_EQ(Page(), 5);
        EXPECT_EQ(Button("ButtonExit")->text(), QString::fromUtf8(WizardTexts::ExitCaption));
        EXPECT_FALSE(Button("ButtonNext")->isEnabled());
        EXPECT_FALSE(window->State.UpdateActive);
        EXPECT_FALSE(window->ComPort().Connected());
        EXPECT_EQ(window->Terminations, 0);
    }

    QString Error;
    TSystemClock clock;
    TPtyListedPort port;
    TWireTap tap;
    TPtyUnit pty;
    std::unique_ptr<TTestMainF> window;
};

inline QStringList Titles(const QList<TShownBox> &boxes)
{
    QStringList titles;
    for (const TShownBox &box : boxes)
        titles << box.Title;
    return titles;
}

inline QByteArray UpdateModeLines(const QList<QByteArray> &lines)
{
    QByteArray bytes;
    for (const QByteArray &line : lines)
        bytes += line + "\r\n";
    return bytes;
}


inline std::unique_ptr<TUnitModel> MakeUnit(TFamily family)
{
    switch (family) {
    case TFamily::UpdateMode: return std::make_unique<TUpdateModeUnit>();
    case TFamily::Monitor: return std::make_unique<TMonitorUnit>();
    case TFamily::Module: return std::make_unique<TModuleUnit>();
    }
    return nullptr;
}

// What the program must have written to the unit, in order, for a clean update of the file.
inline QByteArray ExpectedWire(TFamily family, const TUpdateFile &file)
{
    QByteArray wire;
    switch (family) {
    case TFamily::UpdateMode:
        // Contact, erase, every line of the file with CR LF, restart.
        return "Pp" + UpdateModeLines(file.Lines) + "X";
    case TFamily::Monitor:
        // Lead-in and bootloader, contact, each data byte as "S", address, byte; the end.
        wire = char(0xF0) + BootloaderBlock(TBootloaderImage::Monitor) + ".";
        for (const TDataRecord &record : file.Records)
            for (qsizetype j = 0; j < record.Data.size(); ++j) {
                const quint32 address = record.Address + quint32(j);
                wire += 'S';
                wire += char(address >> 8);
                wire += char(address & 0xFF);
                wire += record.Data.at(j);
            }
        return wire + "!";
    case TFamily::Module:
        // Lead-in and bootloader, contact, each S1 record's text closed by ":"; the end.
        wire = char(0xF0) + BootloaderBlock(TBootloaderImage::Module) + ".";
        for (const QByteArray &line : file.Lines)
            if (line.startsWith("S1"))
                wire += line + ":";
        return wire + "!";
    }
    return wire;
}

