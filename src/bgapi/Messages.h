#pragma once

#include "LoggerReading.h"
#include "Packet.h"

#include <QByteArrayView>
#include <QString>

#include <optional>
#include <variant>

// What each recognised response or event carries, ready for the BGAPI window to show.
namespace zorvane::bgapi {

// system_get_info response: edit_system_info.
struct SystemInfo
{
    QString text; // "ver %d.%d.%d.%d.%d.%d.%d"
};

// A response or event that only reports a result or reason code.
struct ResultCode
{
    quint16 code;
};

// gap_connect_direct response: edit_chan and the connection handle, then the result.
struct ConnectDirect
{
    quint16 result;
    quint8 connection;
};

// ble_evt_connection_status: empties the receive buffer, shows nothing.
struct ConnectionStatus
{
};

// ble_evt_connection_disconnected: the reason, and the receive buffer emptied.
struct Disconnected
{
    quint16 reason;
};

// ble_evt_attclient_procedure_completed: edit_result and edit_ahandle.
struct ProcedureCompleted
{
    quint16 result;
    quint8 handleLow; // only the low byte of the characteristic handle is shown
};

// ble_evt_attclient_group_found: edit_start, edit_end, edit_uuid.
struct GroupFound
{
    quint16 first;
    quint16 last;
    QString uuid; // received order
};

// ble_evt_attclient_find_information_found: edit_handle, edit_char, edit_uid.
struct InformationFound
{
    quint8 connection;
    quint16 handle;
    QString uuid; // last received byte first
};

// ble_evt_attclient_attribute_value: edit_handle, the pieces appended to edit_attr, and what
// the logger's reading step shows.
struct AttributeValue
{
    quint16 handle;
    QString pieces; // " %.2d" per value byte
    QByteArray value;
    LoggerReading::Shown reading;
};

// ble_evt_gap_scan_response: the sender's address for the address list, and the signal
// strength it was heard with.
struct ScanResponse
{
    RawAddress address;
    qint8 rssi = 0; // dBm
};

using Message =
    std::variant<SystemInfo, ResultCode, ConnectDirect, ConnectionStatus, Disconnected,
                 ProcedureCompleted, GroupFound, InformationFound, AttributeValue, ScanResponse>;

// The message a complete packet carries; none for a packet that is not recognised or that
// ends before the fields its class and id read.
std::optional<Message> interpret(QByteArrayView packet);

} // namespace zorvane::bgapi
