#include "BgapiState.h"

#include "Overloaded.h"

#include <QLoggingCategory>

namespace zorvane::bgapi {

namespace {

// Each completed packet and whether it meant anything to the decoder.
Q_LOGGING_CATEGORY(lcBgapi, "zorvane.bgapi", QtWarningMsg)

} // namespace

std::optional<Message> BgapiState::completed()
{
    std::optional<Message> message = interpret(rx.packet());
    if (lcBgapi().isDebugEnabled()) {
        qCDebug(lcBgapi, "packet %s: %s", rx.packet().toByteArray().toHex(' ').constData(),
                message ? "decoded" : "not a message the decoder knows");
    }
    if (!message)
        return message;
    std::visit(Overloaded{
                   [this](const ResultCode &m) { bgapi_result = m.code; },
                   [this](const ConnectDirect &m) {
                       bgapi_connection = m.connection;
                       bgapi_result = m.result;
                   },
                   [this](const ConnectionStatus &) { rx.clear(); },
                   [this](const Disconnected &m) {
                       bgapi_result = m.reason;
                       rx.clear();
                   },
                   [this](const ProcedureCompleted &m) { bgapi_result = m.result; },
                   [this](AttributeValue &m) { m.reading = logger.step(m.value); },
                   [](const auto &) {},
               },
               *message);
    return message;
}

} // namespace zorvane::bgapi
