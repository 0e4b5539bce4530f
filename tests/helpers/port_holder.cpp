// Holds a serial port the way another program would: opens it with Qt Serial Port (which takes
// the port's lock file and exclusive mode), says "held" on its output, and keeps the port until
// its input ends. Usage: port_holder <device path>
#include <QCoreApplication>
#include <QSerialPort>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: port_holder <device path>\n");
        return 2;
    }
    QSerialPort port;
    port.setPortName(QString::fromLocal8Bit(argv[1]));
    if (!port.open(QIODevice::ReadWrite)) {
        std::fprintf(stderr, "cannot open %s: %s\n", argv[1], qPrintable(port.errorString()));
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}
