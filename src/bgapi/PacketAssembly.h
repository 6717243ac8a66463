#pragma once

#include "Packet.h"

#include <QByteArrayView>

#include <array>

namespace zorvane::bgapi {

// Assembles received bytes into packets: accumulates from a 0x00 or 0x80 byte, keeps only the
// latest byte otherwise, restarts at a 0x00 or 0x80 byte once the buffer is long, and
// completes a packet when it holds its declared length. Constant work per byte, and never
// more than one packet's bytes held.
class PacketAssembly
{
public:
    // A buffer longer than this restarts at the next 0x00 or 0x80 byte.
    static constexpr int kRestartLength = 50;

    // Takes one byte; true when it completes a packet, which packet() then holds until the
    // next byte or takePacketDone(). A completed packet is dropped before the next byte is
    // taken, so it is never completed twice.
    bool add(quint8 byte)
    {
        if (m_complete) {
            m_size = 0;
            m_complete = false;
        }
        m_buffer[m_size++] = byte;
        const bool syncByte = byte == kCommand || byte == kEvent;
        if (m_size > kRestartLength && syncByte)
            restartAt(byte);
        if (m_buffer[0] != kCommand && m_buffer[0] != kEvent) {
            restartAt(byte);
            return false;
        }
        // The length byte is read only once it has arrived.
        if (m_size < 2 || m_size < int(m_buffer[1]) + kHeaderSize)
            return false;
        m_complete = true;
        m_packetDone = true;
        return true;
    }

    // bgapi_rx_buffer: the packet being received, or the one just completed.
    QByteArrayView bgapi_rx_buffer() const
    {
        return QByteArrayView(reinterpret_cast<const char *>(m_buffer.data()), m_size);
    }
    // The completed packet; empty while none is.
    QByteArrayView packet() const { return m_complete ? bgapi_rx_buffer() : QByteArrayView(); }
    // bgapi_packet_done.
    bool bgapi_packet_done() const { return m_packetDone; }
    // For the receive loop: reports whether a packet was completed since the last call, and
    // if so clears the flag and drops that packet. Bytes taken after it (an escape sequence
    // reads three more) already began the next packet, which is kept.
    bool takePacketDone()
    {
        if (!m_packetDone)
            return false;
        m_packetDone = false;
        if (m_complete)
            clear();
        return true;
    }
    // Empties the buffer.
    void clear()
    {
        m_size = 0;
        m_complete = false;
    }

private:
    void restartAt(quint8 byte)
    {
        m_buffer[0] = byte;
        m_size = 1;
    }

    std::array<quint8, kMaxPacketSize> m_buffer{};
    int m_size = 0;
    bool m_complete = false;
    bool m_packetDone = false;
};

} // namespace zorvane::bgapi
