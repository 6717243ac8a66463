#pragma once

#include "Link.h"

#include <QString>

#include <memory>

namespace zorvane::serial {

// The link that reaches a target: a port another machine shares for an rfc2217:// or
// socket:// address, else a device path on this machine.
std::unique_ptr<Link> makeLink(const QString &target);

} // namespace zorvane::serial
