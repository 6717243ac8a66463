#pragma once

namespace zorvane::bgapi {

// One handler per message type for std::visit over a decoded Message: the lambdas' call
// operators side by side in one object.
template <class... Handlers> struct Overloaded : Handlers...
{
    using Handlers::operator()...;
};
template <class... Handlers> Overloaded(Handlers...) -> Overloaded<Handlers...>;

} // namespace zorvane::bgapi
