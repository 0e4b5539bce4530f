// The port list's hints: an adapter's facts and why a port is busy, as the technician reads them.
#include <gtest/gtest.h>

#include "tests/wizard/WindowRig.h"
#include "wizard/PortHint.h"

namespace {

TPortFacts Ftdi()
{
    TPortFacts f;
    f.Description = QStringLiteral("FT232R USB UART");
    f.Manufacturer = QStringLiteral("FTDI");
    f.SerialNumber = QStringLiteral("A50285BI");
    f.VendorId = 0x0403;
    f.ProductId = 0x6001;
    f.ByIdLink = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    f.LatencyTimerMs = 1;
    return f;
}

const char *const FtdiLines = "FT232R USB UART\n"
                              "Manufacturer: FTDI\n"
                              "Serial number: A50285BI\n"
                              "USB vendor and product id: 0403:6001\n"
                              "Stable name: /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";

const char *const HeldAdvice = "Close that program, then go Back and Next to list the ports again.\n"
                               "A modem manager or braille display service that keeps taking the\n"
                               "adapter can be stopped from doing so; see Help.";
#ifdef Q_OS_WIN
// Windows lets no program lower the timer: the technician does, once.
const char *const SlowTimer = "This adapter holds received bytes for 16 ms before it passes them\n"
                              "on, which slows every exchange. Set its latency timer to 1 ms in\n"
                              "Device Manager (the port's Properties, Port Settings, Advanced);\n"
                              "see Help.";
#else
const char *const SlowTimer = "This adapter holds received bytes for 16 ms before it passes them\n"
                              "on, which slows every exchange. Varnel asks the driver for 1 ms\n"
                              "when an update opens the port; Help gives the rule that sets it\n"
                              "for good.";
#endif
const char *const NoPermission = "Varnel has no permission to open this port. On Linux, join the\n"
                                 "dialout group (sudo usermod -aG dialout $USER), then log out and\n"
                                 "in again. See Help for details.";

QString S(const char *text)
{
    return QString::fromUtf8(text);
}

// An FTDI adapter as Windows describes it.
TPortFacts WindowsFtdi()
{
    TPortFacts f = Ftdi();
    f.ByIdLink.clear();
    f.FriendlyName = QStringLiteral("USB Serial Port (COM5)");
    f.LocationPath = QStringLiteral("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)");
    return f;
}

const char *const WindowsFtdiLines = "USB Serial Port (COM5)\n"
                                     "FT232R USB UART\n"
                                     "Manufacturer: FTDI\n"
                                     "Serial number: A50285BI\n"
                                     "USB vendor and product id: 0403:6001\n"
                                     "Socket (location path): PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)";

TPortFacts Flagged(const char *name, bool bluetooth, bool network)
{
    TPortFacts f;
    f.FriendlyName = QString::fromUtf8(name);
    f.Bluetooth = bluetooth;
    f.OverNetwork = network;
    return f;
}

const QString HeldByModemManager = S("Held by ModemManager (pid 812).\n") + S(HeldAdvice);

struct THintCase {
    const char *Name;
    TPortFacts Facts;
    TPortBusy Busy;
    std::optional<TPortHolder> Holder;
    QString Hint;
};

class PortHint : public ::testing::TestWithParam<THintCase> {};

TEST_P(PortHint, NamesTheAdapterAndWhyItIsBusy)
{
    const THintCase &c = GetParam();
    EXPECT_EQ(PortItemHint(c.Facts, c.Busy, c.Holder).toStdString(), c.Hint.toStdString());
}

TPortFacts Edited(TPortFacts f, void (*edit)(TPortFacts &))
{
    edit(f);
    return f;
}

INSTANTIATE_TEST_SUITE_P(
    Facts, PortHint,
    ::testing::Values(
        THintCase{"FreeAdapterAtOneMillisecond", Ftdi(), TPortBusy::Free, std::nullopt, S(FtdiLines)},
        THintCase{"NoSerialNumber", Edited(Ftdi(), [](TPortFacts &f) { f.SerialNumber.clear(); }),
                  TPortBusy::Free, std::nullopt,
                  S("FT232R USB UART\nManufacturer: FTDI\nUSB vendor and product id: 0403:6001\n"
                    "Stable name: /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0")},
        THintCase{"NoByIdLink",
                  Edited(Ftdi(), [](TPortFacts &f) { f.ByIdLink.clear(); f.SerialNumber.clear(); }),
                  TPortBusy::Free, std::nullopt,
                  S("FT232R USB UART\nManufacturer: FTDI\nUSB vendor and product id: 0403:6001")},
        THintCase{"OnlyAVendorId",
                  Edited(TPortFacts{}, [](TPortFacts &f) { f.VendorId = 0x10c4; }),
                  TPortBusy::Free, std::nullopt, S("USB vendor id: 10c4")},
        THintCase{"BuiltInPortKnowsNothing", TPortFacts{}, TPortBusy::Free, std::nullopt, QString()},
        THintCase{"TimerAboveOneMillisecond", Edited(Ftdi(), [](TPortFacts &f) { f.LatencyTimerMs = 16; }),
                  TPortBusy::Free, std::nullopt, S(FtdiLines) + S("\n\n") + S(SlowTimer)},
        THintCase{"HeldByANamedProgram", Ftdi(), TPortBusy::Held, TPortHolder{812, QStringLiteral("ModemManager")},
                  S(FtdiLines) + S("\n\n") + HeldByModemManager},
        THintCase{"HeldByAProgramWhoseNameCannotBeRead", TPortFacts{}, TPortBusy::Held, TPortHolder{4711, QString()},
                  S("Held by an unnamed program (pid 4711).\n") + S(HeldAdvice)},
        THintCase{"HeldByAProgramNoOneCanName", TPortFacts{}, TPortBusy::Held, std::nullopt,
                  S("Varnel could not open this port: another program may hold it, or no\n"
                    "device answers behind the name. Close any program that uses the\n"
                    "port, then go Back and Next to list the ports again.")},
        THintCase{"NoPermissionAndASlowTimer", Edited(Ftdi(), [](TPortFacts &f) { f.LatencyTimerMs = 16; }),
                  TPortBusy::NoPermission, std::nullopt,
                  S(FtdiLines) + S("\n\n") + S(NoPermission) + S("\n") + S(SlowTimer)},
        THintCase{"WindowsNamesThePortAndItsSocket", WindowsFtdi(), TPortBusy::Free, std::nullopt,
                  S(WindowsFtdiLines)},
        THintCase{"FriendlyNameEqualToTheDescriptionOnce",
                  Edited(TPortFacts{}, [](TPortFacts &f) { f.FriendlyName = f.Description = QStringLiteral("COM1"); }),
                  TPortBusy::Free, std::nullopt, S("COM1")},
        THintCase{"AdapterGone", WindowsFtdi(), TPortBusy::Gone, std::nullopt,
                  S(WindowsFtdiLines) + S("\n\nThe adapter of this port is not there: it was unplugged, or the\n"
                                          "system still lists a port that is gone. Plug it in, then go Back\n"
                                          "and Next to list the ports again.")},
        THintCase{"BluetoothOutOfRange", Flagged("Standard Serial over Bluetooth link (COM8)", true, false), TPortBusy::Unreachable, std::nullopt,
                  S("Standard Serial over Bluetooth link (COM8)\n\n"
                    "The device behind this port does not answer: a Bluetooth device\n"
                    "out of range or switched off, or a network port whose far end\n"
                    "cannot be reached. Bring it within reach, then go Back and Next to\n"
                    "list the ports again.\n"
                    "A Bluetooth port: the device must be switched on and within reach.")},
        THintCase{"OverTheNetworkAndSlow",
                  Edited(Flagged("Network Serial Port (COM9)", false, true), [](TPortFacts &f) { f.LatencyTimerMs = 16; }), TPortBusy::Free,
                  std::nullopt,
                  S("Network Serial Port (COM9)\n\n"
                    "A port reached over the network: a slow or broken network slows or\n"
                    "breaks the update.\n") + S(SlowTimer)}),
    [](const auto &info) { return std::string(info.param.Name); });

TEST(PortScanHints, EachItemNamesItsAdapterAndABusyOneItsHolder)
{
    TWindowRig rig(false, {"ttyS0", "ttyUSB0", "ttyUSB1"});
    rig.port.Facts[QStringLiteral("ttyUSB0")] = Ftdi();
    rig.port.Facts[QStringLiteral("ttyUSB1")] = Edited(Ftdi(), [](TPortFacts &f) { f.SerialNumber.clear(); });
    rig.port.BusyPorts = {"ttyUSB1"};
    rig.port.Holders[QStringLiteral("ttyUSB1")] = TPortHolder{812, QStringLiteral("ModemManager")};
    rig.GoToPortPage("TVR-3770 Resistance Grounded Relay");

    // The items keep their own text; the facts live in the hints.
    EXPECT_EQ(rig.PortList()->Items(), (QStringList{"ttyS0", "ttyUSB0", "ttyUSB1 (busy)"}));
    EXPECT_TRUE(rig.PortList()->Button(0)->toolTip().isEmpty());
    EXPECT_EQ(rig.PortList()->Button(1)->toolTip(), S(FtdiLines));
    const QString held = rig.PortList()->Button(2)->toolTip();
    EXPECT_TRUE(held.startsWith(QStringLiteral("FT232R USB UART\n"))) << held.toStdString();
    EXPECT_FALSE(held.contains(QStringLiteral("Serial number")));
    EXPECT_TRUE(held.endsWith(HeldByModemManager)) << held.toStdString();

    // The holder let go: the next scan lists the port free, with its facts only.
    rig.port.BusyPorts.clear();
    rig.Back();
    rig.Next();
    EXPECT_EQ(rig.PortList()->Items().last(), QStringLiteral("ttyUSB1"));
    EXPECT_FALSE(rig.PortList()->Button(2)->toolTip().contains(QStringLiteral("Held by")));
}

} // namespace
