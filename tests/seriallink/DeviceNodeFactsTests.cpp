// An adapter's facts from what the Windows configuration manager tells of its device nodes, for
// the adapters a technician meets: FTDI, a composite USB device, Bluetooth, a network port, the
// PC's own port.
#include <gtest/gtest.h>

#include "seriallink/DeviceNodeFacts.h"

namespace {

TDeviceNode Node(const char *instanceId)
{
    TDeviceNode node;
    node.InstanceId = QString::fromUtf8(instanceId);
    return node;
}

QList<TDeviceNode> Ftdi()
{
    TDeviceNode port = Node("FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000");
    port.HardwareIds = {QStringLiteral("FTDIBUS\\COMPORT&VID_0403&PID_6001")};
    port.FriendlyName = QStringLiteral("USB Serial Port (COM5)");
    port.Manufacturer = QStringLiteral("FTDI");
    port.Description = QStringLiteral("USB Serial Port");
    port.LatencyTimer = 16;
    TDeviceNode usb = Node("USB\\VID_0403&PID_6001\\A50285BI");
    usb.BusReportedDescription = QStringLiteral("FT232R USB UART");
    usb.LocationPaths = {QStringLiteral("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)"),
                         QStringLiteral("ACPI(_SB_)#ACPI(PCI0)#ACPI(XHC_)#ACPI(RHUB)#ACPI(HS02)")};
    return {port, usb, Node("USB\\ROOT_HUB30\\4&2A6E3B1&0&0"), Node("PCI\\VEN_8086&DEV_A36D\\3&11583659&0&A0")};
}

TPortFacts Expected(void (*set)(TPortFacts &))
{
    TPortFacts f;
    set(f);
    return f;
}

struct TNodesCase {
    const char *Name;
    QList<TDeviceNode> Nodes;
    TPortFacts Facts;
};

class DeviceNodeFacts : public ::testing::TestWithParam<TNodesCase> {};

TEST_P(DeviceNodeFacts, TellTheAdapterApart)
{
    const TPortFacts got = PortFactsFromDeviceNodes(GetParam().Nodes);
    const TPortFacts &want = GetParam().Facts;
    EXPECT_EQ(got.FriendlyName, want.FriendlyName);
    EXPECT_EQ(got.Description, want.Description);
    EXPECT_EQ(got.Manufacturer, want.Manufacturer);
    EXPECT_EQ(got.SerialNumber, want.SerialNumber);
    EXPECT_EQ(got.VendorId, want.VendorId);
    EXPECT_EQ(got.ProductId, want.ProductId);
    EXPECT_EQ(got.LocationPath, want.LocationPath);
    EXPECT_EQ(got.Bluetooth, want.Bluetooth);
    EXPECT_EQ(got.OverNetwork, want.OverNetwork);
    EXPECT_EQ(got.LatencyTimerMs, want.LatencyTimerMs);
}

QList<TDeviceNode> Composite()
{
    TDeviceNode port = Node("USB\\VID_2341&PID_8036&MI_00\\7&1F4E2B7&0&0000");
    port.FriendlyName = QStringLiteral("USB Serial Device (COM11)");
    port.Description = QStringLiteral("USB Serial Device");
    TDeviceNode usb = Node("USB\\VID_2341&PID_8036\\HIDPC5");
    usb.LocationPaths = {QStringLiteral("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(3)")};
    return {port, usb};
}

QList<TDeviceNode> NoSerialNumber()
{
    TDeviceNode port = Node("USB\\VID_1A86&PID_7523\\5&2C8A1F3&0&4");
    port.FriendlyName = QStringLiteral("USB-SERIAL CH340 (COM4)");
    port.LocationPaths = {QStringLiteral("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(4)")};
    return {port};
}

QList<TDeviceNode> Bluetooth()
{
    TDeviceNode port = Node("BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\\7&3A2C1B&0&001A7DDA7113_C00000000");
    port.FriendlyName = QStringLiteral("Standard Serial over Bluetooth link (COM8)");
    return {port, Node("BTH\\MS_BTHBRB\\6&1B2C3D&0&1")};
}

QList<TDeviceNode> Network(const char *name)
{
    TDeviceNode port = Node("ROOT\\PORTS\\0000");
    port.FriendlyName = QString::fromUtf8(name);
    return {port, Node("HTREE\\ROOT\\0")};
}

QList<TDeviceNode> Remote()
{
    TDeviceNode port = Node("TSBUS\\UMB\\2&1E1C4E3&0&TSQ&COM1");
    port.FriendlyName = QStringLiteral("COM1");
    return {port};
}

QList<TDeviceNode> BuiltIn()
{
    TDeviceNode port = Node("ACPI\\PNP0501\\0");
    port.FriendlyName = QStringLiteral("Communications Port (COM1)");
    port.Description = QStringLiteral("Communications Port");
    port.Manufacturer = QStringLiteral("(Standard port types)");
    port.LocationPaths = {QStringLiteral("ACPI(_SB_)#ACPI(PCI0)#ACPI(LPCB)#ACPI(UAR1)")};
    return {port};
}

INSTANTIATE_TEST_SUITE_P(
    Adapters, DeviceNodeFacts,
    ::testing::Values(
        TNodesCase{"FtdiTakesItsSerialNumberAndSocketFromTheUsbDeviceAbove", Ftdi(), Expected([](TPortFacts &f) {
                       f.FriendlyName = QStringLiteral("USB Serial Port (COM5)");
                       f.Description = QStringLiteral("FT232R USB UART");
                       f.Manufacturer = QStringLiteral("FTDI");
                       f.SerialNumber = QStringLiteral("A50285BI");
                       f.VendorId = 0x0403;
                       f.ProductId = 0x6001;
                       f.LocationPath = QStringLiteral("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)");
                       f.LatencyTimerMs = 16;
                   })},
        TNodesCase{"OneInterfaceOfACompositeDeviceTakesTheDevicesSerialNumber", Composite(),
                   Expected([](TPortFacts &f) {
                       f.FriendlyName = QStringLiteral("USB Serial Device (COM11)");
                       f.Description = QStringLiteral("USB Serial Device");
                       f.SerialNumber = QStringLiteral("HIDPC5");
                       f.VendorId = 0x2341;
                       f.ProductId = 0x8036;
                       f.LocationPath = QStringLiteral("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(3)");
                   })},
        TNodesCase{"AnIdTheSystemMadeUpIsNoSerialNumber", NoSerialNumber(), Expected([](TPortFacts &f) {
                       f.FriendlyName = QStringLiteral("USB-SERIAL CH340 (COM4)");
                       f.VendorId = 0x1a86;
                       f.ProductId = 0x7523;
                       f.LocationPath = QStringLiteral("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(4)");
                   })},
        TNodesCase{"BluetoothIsFlagged", Bluetooth(), Expected([](TPortFacts &f) {
                       f.FriendlyName = QStringLiteral("Standard Serial over Bluetooth link (COM8)");
                       f.Bluetooth = true;
                   })},
        TNodesCase{"ASoftwarePortNamedForTheNetworkIsFlagged", Network("Network Serial Port (COM9)"),
                   Expected([](TPortFacts &f) {
                       f.FriendlyName = QStringLiteral("Network Serial Port (COM9)");
                       f.OverNetwork = true;
                   })},
        TNodesCase{"ASoftwarePortOfThisPcIsNot", Network("com0com - serial port emulator (COM20)"),
                   Expected([](TPortFacts &f) { f.FriendlyName = QStringLiteral("com0com - serial port emulator (COM20)"); })},
        TNodesCase{"APortRedirectedIntoARemoteSessionIsOverTheNetwork", Remote(), Expected([](TPortFacts &f) {
                       f.FriendlyName = QStringLiteral("COM1");
                       f.OverNetwork = true;
                   })},
        TNodesCase{"ThePcsOwnPortHasItsPlaceButNoUsbFacts", BuiltIn(), Expected([](TPortFacts &f) {
                       f.FriendlyName = QStringLiteral("Communications Port (COM1)");
                       f.Description = QStringLiteral("Communications Port");
                       f.Manufacturer = QStringLiteral("(Standard port types)");
                       f.LocationPath = QStringLiteral("ACPI(_SB_)#ACPI(PCI0)#ACPI(LPCB)#ACPI(UAR1)");
                   })},
        TNodesCase{"NoNodeNoFacts", {}, TPortFacts{}}),
    [](const auto &info) { return std::string(info.param.Name); });

} // namespace
