#pragma once

#include "serial/LineSettings.h"
#include "serial/PortNames.h"
#include "settings/zv_settings.h"

#include <QString>

#include <array>

namespace zorvane::settings {

// The flow control of every port number, index 0 unused.
using PortFlowControls = std::array<serial::FlowControl, serial::kPortCount + 1>;

// Flow control is kept per port number as COMPORT leaves after the group's own: flow3 for
// COM3, holding "none", "rtscts" or "xonxoff". A port has a leaf only once it was given a flow
// control, so files written before it existed, and those of users who never use it, stay as
// they were. Missing or unreadable leaves read as none.
PortFlowControls loadFlowControls(TXMLZVSettingsType &root);
// Writes every port that has a flow control or already had its leaf in the file.
void saveFlowControls(TXMLZVSettingsType &root, const PortFlowControls &flows);

QString flowControlText(serial::FlowControl flow);
serial::FlowControl flowControlFrom(const QString &text);

} // namespace zorvane::settings
