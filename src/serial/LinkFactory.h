#pragma once

#include "Link.h"

#include <QString>

#include <memory>

namespace zorvane::serial {

// The link that reaches a target: a port another machine shares for an rfc2217:// or
// socket:// address, else a device path on this machine.
std::unique_ptr<Link> makeLink(const QString &target);

// Whether a pin's text is a target as written (a network address) rather than a path to
// resolve.
bool isAddressTarget(const QString &text);

// Whether AutoDetect may probe the target by opening it: a device on this machine opens in
// an instant, while a connection to every server behind the list would cost seconds and wake
// machines for nothing.
bool probedByAutoDetect(const QString &target);

} // namespace zorvane::serial
