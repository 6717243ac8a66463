#include "script/ScriptPortOpen.h"

#include "serial/PortNames.h"
#include "session/ModuleSession.h"

#include <QEventLoop>

namespace zorvane::script {

QString openScriptPort(session::ModuleSession &session, int port,
                       const serial::LineSettings &settings, const serial::ModemLineChange &atOpen)
{
    using session::Connection;
    Connection &connection = session.connection();
    connection.setLineSettings(settings);
    QString reason;
    // A network port opens in the background: a run without a window waits for its end here,
    // with the event loop running so the link's answers come in.
    QEventLoop wait;
    QObject::connect(&connection, &Connection::opened, &wait, &QEventLoop::quit);
    QObject::connect(&connection, &Connection::openFailed, &wait, [&](const QString &why) {
        reason = why;
        wait.quit();
    });
    connection.openPort(port);
    if (connection.state() == Connection::State::Opening)
        wait.exec();
    if (connection.state() != Connection::State::Open) {
        if (reason.isEmpty())
            reason = QStringLiteral("the port could not be opened");
        return QStringLiteral("Unable to Open Port %1: %2").arg(serial::portName(port), reason);
    }
    if (atOpen.dtr || atOpen.rts)
        session.serial().link()->setOutputs(atOpen);
    return {};
}

} // namespace zorvane::script
