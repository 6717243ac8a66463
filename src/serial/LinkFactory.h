#pragma once

#include "Link.h"

#include <QString>

#include <memory>

namespace zorvane::serial {

// The link that reaches a target: today every target is a device path on this machine.
std::unique_ptr<Link> makeLink(const QString &target);

} // namespace zorvane::serial
