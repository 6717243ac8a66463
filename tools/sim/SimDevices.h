#pragma once

#include "bgapi/Packet.h"

#include <QByteArray>

#include <array>

// The invented devices the simulated radios find. Locally administered addresses (second
// digit 2 or 6), so they can never be a real product's.
namespace zorvane::sim {

struct ClassicDevice
{
    const char *address; // as the module prints it
    const char *deviceClass;
    const char *name;
};

inline constexpr std::array<ClassicDevice, 3> kClassicDevices{{
    {"02:5A:10:4C:00:21", "240404", "Bench Headset"},
    {"02:5A:10:4C:00:37", "040680", "Lab Printer 3"},
    {"02:5A:10:4C:00:5E", "001F00", "Field Sensor 7"},
}};

struct BleDevice
{
    bgapi::RawAddress address; // least significant byte first, as it travels
    qint8 rssi;
    const char *name;
};

inline constexpr std::array<BleDevice, 3> kBleDevices{{
    {{0x01, 0x00, 0x7E, 0xA1, 0x3C, 0x06}, -58, "ZV Thermo Logger"},
    {{0x02, 0x00, 0x7E, 0xA1, 0x3C, 0x06}, -71, "ZV Door Tag"},
    {{0x03, 0x00, 0x7E, 0xA1, 0x3C, 0x06}, -83, "ZV Beacon"},
}};

} // namespace zorvane::sim
