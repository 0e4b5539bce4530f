// Bays resolved against a port list of real character devices (/dev/null, /dev/zero stand in
// for two adapters), so that names, device paths and links lead to real files.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "station/BayPorts.h"

namespace {

const char *const Socket = "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)";
const char *const ById = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";

TPortFacts FactsOf(const QString &name)
{
    TPortFacts facts;
    if (name == QLatin1String("zero")) {
        facts.LocationPath = QString::fromLatin1(Socket);
        facts.ByIdLink = QString::fromLatin1(ById);
        facts.SerialNumber = QStringLiteral("A50285BI");
    }
    return facts;
}

} // namespace

TEST(BayPorts, EachWayOfNamingAPortLeadsToTheListedPortOrToNone)
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("pci-0000:00:14.0-usb-0:2:1.0-port0"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), link));
    const QString plain = dir.filePath(QStringLiteral("plain.txt"));
    QFile f(plain);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();

    struct TCase {
        QString Given;
        QString Expected;
    };
    const QList<TCase> cases = {
        {QStringLiteral("null"), QStringLiteral("null")},           // the name as the list has it
        {QStringLiteral("/dev/null"), QStringLiteral("null")},      // its device
        {link, QStringLiteral("null")},                             // a by-path style link to it
        {QString::fromLatin1(Socket).toLower(), QStringLiteral("zero")}, // the socket's location path
        {QString::fromLatin1(ById), QStringLiteral("zero")},        // the adapter's by-id link
        {QStringLiteral("ttyNOPE0"), QString()},                    // not plugged in
        {QStringLiteral("/dev/full"), QStringLiteral("/dev/full")}, // a device the list does not name
        {plain, QString()},                                         // a plain file is no port
        {dir.path(), QString()},                                    // nor a folder
    };
    const QStringList listed = {QStringLiteral("null"), QStringLiteral("zero")};
    for (const TCase &c : cases) {
        const QList<TBayPort> ports = ResolveBays({{QStringLiteral("A1"), c.Given}}, listed, FactsOf);
        ASSERT_EQ(ports.size(), 1);
        EXPECT_EQ(ports[0].Bay, "A1");
        EXPECT_EQ(ports[0].Given, c.Given);
        EXPECT_EQ(ports[0].PortName, c.Expected) << c.Given.toStdString();
        EXPECT_TRUE(ports[0].SameLineAs.isEmpty());
        if (c.Expected == QLatin1String("zero")) {
            EXPECT_EQ(ports[0].Facts.SerialNumber, "A50285BI");
        }
    }
}

TEST(BayPorts, TwoBaysThatLeadToOneLineAreTold)
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("bay-link"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), link));
    const QList<TBayPort> ports = ResolveBays(
        {{QStringLiteral("A1"), QStringLiteral("null")}, {QStringLiteral("A2"), QStringLiteral("zero")},
         {QStringLiteral("A3"), link}},
        {QStringLiteral("null"), QStringLiteral("zero")}, FactsOf);
    ASSERT_EQ(ports.size(), 3);
    EXPECT_TRUE(ports[0].SameLineAs.isEmpty());
    EXPECT_TRUE(ports[1].SameLineAs.isEmpty());
    EXPECT_EQ(ports[2].PortName, "null");
    EXPECT_EQ(ports[2].SameLineAs, "A1");
}
