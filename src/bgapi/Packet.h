#pragma once

#include <QtGlobal>

#include <array>

namespace zorvane::bgapi {

// First byte of a packet: commands and their responses, and events.
inline constexpr quint8 kCommand = 0x00;
inline constexpr quint8 kEvent = 0x80;
// Message type, payload length, class id, message id.
inline constexpr int kHeaderSize = 4;
inline constexpr int kMaxPacketSize = kHeaderSize + 255;

// Class ids.
inline constexpr quint8 kSystem = 0;
inline constexpr quint8 kConnection = 3;
inline constexpr quint8 kAttributeClient = 4;
inline constexpr quint8 kGap = 6;

// A device address as it travels: least significant byte first.
using RawAddress = std::array<quint8, 6>;

} // namespace zorvane::bgapi
