#pragma once

#include "Packet.h"

#include <QByteArray>
#include <QByteArrayView>

// Builders of the command packets the BGAPI window and its logger panel send, byte for byte.
namespace zorvane::bgapi::commands {

// Header (command type, payload length, class, id) followed by the payload.
QByteArray packet(quint8 classId, quint8 messageId, QByteArrayView payload);

QByteArray system_reset();    // boot mode 0, normal
QByteArray system_get_info(); // no payload
QByteArray connection_disconnect(quint8 connection);
// Handles 0x0001 to 0xFFFF, group type 0x2800 (primary service).
QByteArray attclient_read_by_group_type(quint16 bgapi_connection);
// Handles 0x0006 to 0xFFFF.
QByteArray attclient_find_information(quint16 bgapi_connection);
// Attribute 0x000A with a data array whose length byte says 2 but carries no data: the packet
// the Attr Write button has always sent, eight bytes long.
QByteArray attclient_attribute_write(quint16 bgapi_connection);
QByteArray gap_set_mode();            // not discoverable, not connectable
QByteArray gap_discover();            // mode 2, observation
QByteArray gap_end_procedure();       // no payload
QByteArray gap_set_scan_parameters(); // interval 200, window 200, passive
// Public address; interval 6 to 16, supervision timeout 256, latency 0.
QByteArray gap_connect_direct(const RawAddress &address);

// The logger's commands: a 17-byte write to its command attribute 0x0008.
enum class LoggerCommand {
    RevisionRegister,
    TemperatureMeasure,
    HumidityMeasure,
    Reading,
    FlashBurst
};
QByteArray loggerCommand(LoggerCommand command, quint16 bgapi_connection);

} // namespace zorvane::bgapi::commands
