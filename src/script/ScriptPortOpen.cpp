#include "script/ScriptPortOpen.h"

#include "serial/PortNames.h"
#include "session/ModuleSession.h"

namespace zorvane::script {

QString openScriptPort(session::ModuleSession &session, int port,
                       const serial::LineSettings &settings, const serial::ModemLineChange &atOpen)
{
    serial::SerialIo &io = session.serial;
    io.c_close();
    io.com_port = port;
    io.last_com_port = port;
    if (!io.c_open(port, settings.baudRate, settings.dataBits, settings.parity,
                   settings.stopBits)) {
        io.com_port = 0;
        return QStringLiteral("Unable to Open Port %1: %2")
            .arg(serial::portName(port),
                 serial::explainOpenFailure(io.lastOpenFailure(), QStringList()));
    }
    if (atOpen.dtr || atOpen.rts)
        io.link()->setOutputs(atOpen);
    return {};
}

} // namespace zorvane::script
