// zorvane-sim: a module on a pseudo-terminal, pinned as a port number of Zorvane's, so the
// program can be tried and tested without hardware.
#include "ModuleSim.h"
#include "PortLink.h"

#include "os/PseudoTerminal.h"
#include "os/SignalPipe.h"
#include "serial/PortNames.h"
#include "settings/DocumentsFolder.h"
#include "settings/Profile.h"
#include "settings/zv_settings.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

using namespace zorvane;

namespace {

constexpr int kAlreadyPresent = 3;
constexpr int kRetryMs = 100;
// Opens a pseudo-terminal in raw mode; returns the master, and the slave's name in `device`.
// The slave is closed again: the program under test opens it.
int openPty(QString *device)
{
    const os::PseudoTerminal pty = os::openRawPseudoTerminal();
    if (!pty.isValid())
        return -1;
    *device = pty.slavePath;
    ::close(pty.slave);
    ::fcntl(pty.master, F_SETFL, ::fcntl(pty.master, F_GETFL) | O_NONBLOCK);
    return pty.master;
}

// The port a fresh Zorvane opens: the settings file's, COM1 when there is none.
int settingsPort(const QString &documents)
{
    settings::SettingsDocument document;
    document.FileName = documents + settings::settingsFileName(QString());
    if (!QFile::exists(document.FileName))
        return 1;
    auto root = settings::OpenSettingsRoot(document);
    if (!root)
        return 1;
    const int port = root->COMPORT().com();
    return port >= 1 && port <= serial::kPortCount ? port : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zorvane-sim"));
    QTextStream out(stdout);
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Plays a Bluetooth module on a pseudo-terminal so that Zorvane can be tried without\n"
        "hardware. The pseudo-terminal is pinned as port COMn through the link ports/COMn in\n"
        "Zorvane's documents folder; the link is removed when the simulator stops (Ctrl+C).\n"
        "\n"
        "Text mode answers module commands: RESET, SET, INQUIRY 5 NAME, CALL, LIST, SELECT,\n"
        "CLOSE, SET CONTROL MUX 1/0 (frames per link), PIO GET/SET, BGIO packets, AT\n"
        "commands, and \"+++\" between silences to toggle command and data mode.\n"
        "BGAPI mode (--ble, or as soon as a BGAPI command arrives) plays a BLE dongle that\n"
        "finds three devices, one of them a temperature and humidity logger.\n"
        "\n"
        "Exit codes: 0 stopped, 1 bad option, 2 the link could not be made, 3 the port\n"
        "already leads to a device (with --unless-present)."));
    parser.addHelpOption();
    const QCommandLineOption portOption(
        QStringLiteral("port"), QStringLiteral("Port number n to pin, 1 to 100 (default 1)."),
        QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption settingsOption(
        QStringLiteral("settings-port"),
        QStringLiteral("Pin the port Zorvane opens next: the settings file's (COM1 when none)."));
    const QCommandLineOption unlessOption(
        QStringLiteral("unless-present"),
        QStringLiteral("Do nothing and exit with 3 when the port already leads to a device."));
    const QCommandLineOption bleOption(QStringLiteral("ble"),
                                       QStringLiteral("Be a BGAPI dongle from the start."));
    parser.addOptions({portOption, settingsOption, unlessOption, bleOption});
    parser.process(app);

    const QString documents = settings::documentsFolder();
    bool ok = false;
    int port = parser.value(portOption).toInt(&ok);
    if (parser.isSet(settingsOption)) {
        port = settingsPort(documents);
        ok = true;
    }
    if (!ok || port < 1 || port > serial::kPortCount) {
        err << "zorvane-sim: --port takes a number from 1 to 100.\n";
        return 1;
    }

    sim::PortLink link(documents, port);
    if (parser.isSet(unlessOption)) {
        const QString present = link.presentDevice();
        if (!present.isEmpty()) {
            out << "zorvane-sim: " << serial::portName(port) << " leads to " << present
                << "; no simulator needed.\n";
            return kAlreadyPresent;
        }
    }

    QString device;
    const int master = openPty(&device);
    if (master < 0) {
        err << "zorvane-sim: cannot open a pseudo-terminal: " << strerror(errno) << '\n';
        return 2;
    }
    QString error;
    if (!link.pin(device, &error)) {
        err << "zorvane-sim: " << error << '\n';
        return 2;
    }

    os::SignalPipe signalPipe({SIGINT, SIGTERM, SIGHUP}, os::SignalPipe::Repeat::ThroughPipe);
    if (!signalPipe.isValid())
        return 2;
    QObject::connect(&signalPipe, &os::SignalPipe::caught, &app, &QCoreApplication::quit);

    sim::ModuleSim module(parser.isSet(bleOption) ? sim::ModuleSim::Start::Bgapi
                                                  : sim::ModuleSim::Start::Auto);
    QElapsedTimer clock;
    clock.start();

    // While the program has the line closed there is no one to answer; bytes are dropped.
    const auto send = [master](const QByteArray &bytes) {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master, bytes.constData() + done, bytes.size() - done);
            if (n <= 0)
                return;
            done += n;
        }
    };

    QTimer dueTimer;
    dueTimer.setSingleShot(true);
    const auto schedule = [&] {
        const qint64 next = module.nextDueMs();
        if (next >= 0)
            dueTimer.start(int(std::max<qint64>(0, next - clock.elapsed())));
    };
    QObject::connect(&dueTimer, &QTimer::timeout, [&] {
        send(module.due(clock.elapsed()));
        schedule();
    });

    QSocketNotifier reader(master, QSocketNotifier::Read);
    QTimer retry;
    retry.setSingleShot(true);
    QObject::connect(&retry, &QTimer::timeout, [&] { reader.setEnabled(true); });
    QObject::connect(&reader, &QSocketNotifier::activated, [&] {
        char buffer[4096];
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n > 0) {
            const qint64 now = clock.elapsed();
            send(module.receive(QByteArrayView(buffer, n), now) + module.due(now));
            schedule();
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            // No one has the line open: look again shortly rather than spin.
            reader.setEnabled(false);
            retry.start(kRetryMs);
        }
    });

    out << "zorvane-sim: " << serial::portName(port) << " is " << device << " (" << link.path()
        << "); " << (parser.isSet(bleOption) ? "BGAPI dongle" : "text module")
        << ", Ctrl+C stops.\n";
    out.flush();
    const int code = app.exec();
    link.unpin();
    ::close(master);
    return code;
}
