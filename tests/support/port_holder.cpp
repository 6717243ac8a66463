// A second program for the open-failure tests.
//   port_holder hold <device>            opens the device as Zorvane does, says "held" and
//                                        keeps it until its input closes
//   port_holder explain <documents> <n>  opens port n and prints why that failed
#include "serial/OpenFailure.h"
#include "serial/Serial_io.h"

#include <QCoreApplication>
#include <QSerialPort>

#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QLatin1String("hold")) {
        QSerialPort port(args[2]);
        if (!port.open(QIODevice::ReadWrite)) {
            std::fprintf(stderr, "cannot open %s\n", qPrintable(args[2]));
            return 1;
        }
        std::puts("held");
        std::fflush(stdout);
        std::string line;
        while (std::getline(std::cin, line)) {
        }
        return 0;
    }
    if (args.size() == 4 && args[1] == QLatin1String("explain")) {
        zorvane::serial::SerialIo io;
        io.setDocumentsFolder(args[2]);
        const int port = args[3].toInt();
        if (io.c_open(port, 9600, 8, 0, 1)) {
            std::puts("opened");
            return 0;
        }
        std::puts(qPrintable(zorvane::serial::explainOpenFailure(io.lastOpenFailure(), {})));
        return 0;
    }
    std::fprintf(stderr, "usage: port_holder hold <device> | explain <documents> <port>\n");
    return 2;
}
