#pragma once

#include "LoggerReading.h"
#include "Messages.h"
#include "PacketAssembly.h"
#include "ScanAddressList.h"

#include <optional>

namespace zorvane::bgapi {

// The BGAPI state shared by the receive loop, the BGAPI window and its logger panel for the
// whole run: the receive buffer, the last result, the connection handle, the devices found
// and the logger's collection. The main window owns the one instance.
struct BgapiState
{
    PacketAssembly rx; // bgapi_rx_buffer and bgapi_packet_done
    qint32 bgapi_result = 0;
    quint16 bgapi_connection = 0;
    ScanAddressList addresses; // bgapi_addresses and bgapi_address_count
    LoggerReading logger;      // bgapi_value_data and logger_mode

    // One received byte. When it completes a recognised packet, the packet's effect on this
    // state is made (result, connection, receive buffer, the logger's reading step) and its
    // message returned for the window to show. Every completed packet, recognised or not,
    // also sets bgapi_packet_done.
    std::optional<Message> bgapi_decode(quint8 byte)
    {
        if (!rx.add(byte))
            return std::nullopt;
        return completed();
    }

    // What bgapi_send does besides writing: the buffer and the logger's collection are
    // emptied, so answers are taken afresh.
    void commandSent()
    {
        rx.clear();
        logger.commandSent();
    }

    // The first show of the main window: an empty buffer and no devices.
    void reset()
    {
        rx.clear();
        addresses.reset();
    }

private:
    std::optional<Message> completed();
};

} // namespace zorvane::bgapi
