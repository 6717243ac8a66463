#include "Messages.h"

#include "Formats.h"
#include "MessageIds.h"

namespace zorvane::bgapi {

namespace {

// Fixed-offset reads of one packet that refuse to go past its end.
class Fields
{
public:
    explicit Fields(QByteArrayView packet) : m_packet(packet) {}

    bool has(qsizetype offset, qsizetype size) const
    {
        return offset >= 0 && size >= 0 && offset + size <= m_packet.size();
    }
    quint8 u8(qsizetype offset) const { return quint8(m_packet[offset]); }
    quint16 u16(qsizetype offset) const { return quint16(u8(offset) | u8(offset + 1) << 8); }
    // The bytes of the array whose length byte stands at `offset`, when all are there.
    std::optional<QByteArrayView> array(qsizetype offset) const
    {
        if (!has(offset, 1) || !has(offset + 1, u8(offset)))
            return std::nullopt;
        return m_packet.sliced(offset + 1, u8(offset));
    }

private:
    QByteArrayView m_packet;
};

std::optional<Message> response(quint8 classId, quint8 messageId, const Fields &p)
{
    const auto resultAt = [&p](qsizetype offset) -> std::optional<Message> {
        if (!p.has(offset, 2))
            return std::nullopt;
        return ResultCode{p.u16(offset)};
    };
    switch (classId << 8 | messageId) {
    case kSystem << 8 | kSystemGetInfo: {
        if (!p.has(4, 12))
            return std::nullopt;
        return SystemInfo{QStringLiteral("ver %1.%2.%3.%4.%5.%6.%7")
                              .arg(p.u16(4))
                              .arg(p.u16(6))
                              .arg(p.u16(8))
                              .arg(p.u16(10))
                              .arg(p.u16(12))
                              .arg(p.u8(14))
                              .arg(p.u8(15))};
    }
    case kConnection << 8 | kConnectionDisconnect:
    case kAttributeClient << 8 | kAttclientReadByGroupType:
        return resultAt(5);
    case kGap << 8 | kGapSetMode:
    case kGap << 8 | kGapDiscover:
    case kGap << 8 | kGapEndProcedure:
    case kGap << 8 | kGapSetScanParameters:
        return resultAt(4);
    case kGap << 8 | kGapConnectDirect:
        if (!p.has(4, 3))
            return std::nullopt;
        return ConnectDirect{p.u16(4), p.u8(6)};
    default:
        return std::nullopt;
    }
}

std::optional<Message> event(quint8 classId, quint8 messageId, const Fields &p)
{
    switch (classId << 8 | messageId) {
    case kSystem << 8 | kSystemProtocolErrorEvent:
        if (!p.has(4, 2))
            return std::nullopt;
        return ResultCode{p.u16(4)};
    case kConnection << 8 | kConnectionStatusEvent:
        return ConnectionStatus{};
    case kConnection << 8 | kConnectionDisconnectedEvent:
        if (!p.has(5, 2))
            return std::nullopt;
        return Disconnected{p.u16(5)};
    case kAttributeClient << 8 | kAttclientProcedureCompletedEvent:
        if (!p.has(5, 3))
            return std::nullopt;
        return ProcedureCompleted{p.u16(5), p.u8(7)};
    case kAttributeClient << 8 | kAttclientGroupFoundEvent: {
        if (!p.has(5, 4))
            return std::nullopt;
        const auto uuid = p.array(9);
        if (!uuid)
            return std::nullopt;
        return GroupFound{p.u16(5), p.u16(7), hexBytes(*uuid, ByteOrder::Received)};
    }
    case kAttributeClient << 8 | kAttclientFindInformationFoundEvent: {
        if (!p.has(4, 3))
            return std::nullopt;
        const auto uuid = p.array(7);
        if (!uuid)
            return std::nullopt;
        return InformationFound{p.u8(4), p.u16(5), hexBytes(*uuid, ByteOrder::Reversed)};
    }
    case kAttributeClient << 8 | kAttclientAttributeValueEvent: {
        if (!p.has(5, 2))
            return std::nullopt;
        const auto value = p.array(8);
        if (!value)
            return std::nullopt;
        return AttributeValue{p.u16(5), decimalPieces(*value), value->toByteArray(), {}};
    }
    case kGap << 8 | kGapScanResponseEvent: {
        if (!p.has(6, 6))
            return std::nullopt;
        RawAddress address;
        for (int i = 0; i < 6; ++i)
            address[i] = p.u8(6 + i);
        return ScanResponse{address, qint8(p.u8(4))};
    }
    default:
        return std::nullopt;
    }
}

} // namespace

std::optional<Message> interpret(QByteArrayView packet)
{
    const Fields p(packet);
    if (!p.has(0, kHeaderSize))
        return std::nullopt;
    const quint8 type = p.u8(0);
    if (type == kCommand)
        return response(p.u8(2), p.u8(3), p);
    if (type == kEvent)
        return event(p.u8(2), p.u8(3), p);
    return std::nullopt;
}

} // namespace zorvane::bgapi
