// zorvane-send: opens a port by its number, sends one module command by the name its toolbar
// button or menu item shows, and prints the lines the module answers with. It drives the
// module session alone, without a window, as any headless use of Zorvane does.
#include "serial/PortNames.h"
#include "session/ModuleSession.h"
#include "settings/DocumentsFolder.h"
#include "terminal/CommandTables.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

using zorvane::session::Connection;
using zorvane::session::ModuleSession;

namespace {

constexpr int kDefaultWaitMs = 1000;

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zorvane-send"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Opens port COMn, sends one module command by its toolbar or menu name "
                       "and prints the lines the module answers with."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("port"),
                                 QStringLiteral("The port number, 1 to 100."));
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("The command's name as its button or menu item "
                                                "shows it (\"SPP On\"), or its control name."));
    const QCommandLineOption baud(QStringLiteral("baud"), QStringLiteral("The baud rate."),
                                  QStringLiteral("rate"), QStringLiteral("115200"));
    const QCommandLineOption wait(QStringLiteral("wait"),
                                  QStringLiteral("How long to listen for the answer, in ms."),
                                  QStringLiteral("ms"), QString::number(kDefaultWaitMs));
    const QCommandLineOption address(QStringLiteral("address"),
                                     QStringLiteral("The device address commands refer to."),
                                     QStringLiteral("address"));
    parser.addOptions({baud, wait, address});
    parser.process(app);

    const QStringList args = parser.positionalArguments();
    bool portOk = false;
    const int port = args.value(0).toInt(&portOk);
    bool baudOk = false;
    const int rate = parser.value(baud).toInt(&baudOk);
    bool waitOk = false;
    const int waitMs = parser.value(wait).toInt(&waitOk);
    if (args.size() != 2 || !portOk || port < 1 || port > zorvane::serial::kPortCount || !baudOk ||
        rate <= 0 || !waitOk || waitMs < 0) {
        err() << parser.helpText();
        return 2;
    }
    const std::optional<zorvane::terminal::ModuleCommand> command =
        zorvane::terminal::findCommand(args.at(1));
    if (!command) {
        err() << QStringLiteral("No command is named \"%1\".\n").arg(args.at(1));
        return 2;
    }

    ModuleSession session;
    session.serial().setDocumentsFolder(zorvane::settings::documentsFolder());
    Connection &connection = session.connection();
    connection.setBaudRate(rate);

    int status = 0;
    QObject::connect(&connection, &Connection::openFailed, &app, [&](const QString &reason) {
        err() << QStringLiteral("Unable to Open Port %1: %2\n")
                     .arg(zorvane::serial::portName(connection.lastPort()), reason);
        status = 1;
        QCoreApplication::quit();
    });
    QObject::connect(&connection, &Connection::opened, &app, [&] {
        session.start();
        session.sendCommand(*command, {parser.value(address), QString(), QStringLiteral("0")});
        QTimer::singleShot(waitMs, &app, [] { QCoreApplication::quit(); });
    });
    // Opened once the event loop runs: a network port's open ends there too.
    QTimer::singleShot(0, &app, [&] { connection.openPort(port); });
    app.exec();
    if (status != 0)
        return status;

    // The last line counts too, though the module has not ended it yet.
    for (qsizetype row = 0; row < session.lines().size(); ++row)
        out() << session.lines().text(row) << '\n';
    out().flush();
    connection.close();
    return 0;
}
