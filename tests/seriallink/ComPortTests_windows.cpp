// The Windows serial port without a line at the far end: what the system answers for a port
// that does not exist, the port list from the registry, and the operations of a closed port.
#include <gtest/gtest.h>

#include <QStringList>

#include "seriallink/PortPlatform.h"
#include "seriallink/TComPort.h"

namespace {

TEST(WindowsComPort, ANameOpensInTheDeviceNamespaceSoThatTwoDigitPortsWork)
{
    EXPECT_EQ(PortDeviceLocation(QStringLiteral("COM12")), QStringLiteral("\\\\.\\COM12"));
    EXPECT_EQ(PortDeviceLocation(QStringLiteral("COM1")), QStringLiteral("\\\\.\\COM1"));
}

TEST(WindowsComPort, APortThatDoesNotExistFailsToOpenWithTheSystemsErrorNumber)
{
    TComPort port;
    port.SetPort(QStringLiteral("COM249"));
    try {
        port.OpenPort();
        FAIL() << "COM249 opened";
    } catch (const EComPort &error) {
        EXPECT_EQ(error.Code(), CE_OpenFailed);
        // ERROR_FILE_NOT_FOUND (2) or ERROR_PATH_NOT_FOUND (3): the system's own number.
        EXPECT_TRUE(error.WinCode() == 2 || error.WinCode() == 3) << error.WinCode();
        EXPECT_EQ(std::string(error.what()),
                  "Unable to open com port (win error code: " + std::to_string(error.WinCode()) + ")");
    }
    EXPECT_FALSE(port.Connected());
    EXPECT_TRUE(port.LastOpenError() == 2 || port.LastOpenError() == 3) << port.LastOpenError();
}

TEST(WindowsComPort, AClosedPortRaisesTheCodeOfEachOperation)
{
    TComPort port;
    QByteArray text;
    const auto code = [](const auto &operation) {
        try {
            operation();
        } catch (const EComPort &error) {
            return error.Code();
        }
        return 0;
    };
    EXPECT_EQ(code([&] { port.WriteBytes("P"); }), CE_WriteFailed);
    EXPECT_EQ(code([&] { port.ReadBytes(text, 1); }), CE_ReadFailed);
    EXPECT_EQ(code([&] { port.PurgeQueues(true, true); }), CE_PurgeFailed);
    EXPECT_NO_THROW(port.ClosePort()); // closing a closed port does nothing
}

TEST(WindowsComPort, ThePortListIsTheRegistrysSortedTheWayThePortPageShowsIt)
{
    TComPort port;
    QStringList ports;
    try {
        port.ListSerialPorts(ports);
    } catch (const EComPort &error) {
        // A PC without any serial port driver has no SERIALCOMM key at all.
        EXPECT_EQ(error.Code(), CE_RegError);
        GTEST_SKIP() << "no serial ports registered: " << error.what();
    }
    QStringList sorted = ports;
    SortPortNames(sorted);
    EXPECT_EQ(ports, sorted);
    for (const QString &name : ports)
        EXPECT_FALSE(name.isEmpty() || name.contains(QChar(0))) << name.toStdString();
}

} // namespace
