#include "BgapiState.h"

namespace zorvane::bgapi {

namespace {
template <class... Handlers> struct Overloaded : Handlers...
{
    using Handlers::operator()...;
};
template <class... Handlers> Overloaded(Handlers...) -> Overloaded<Handlers...>;
} // namespace

std::optional<Message> BgapiState::completed()
{
    std::optional<Message> message = interpret(rx.packet());
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
