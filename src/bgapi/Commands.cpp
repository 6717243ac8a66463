#include "Commands.h"

#include "MessageIds.h"

namespace zorvane::bgapi::commands {

namespace {

constexpr quint8 kLoggerAttribute = 0x08;
constexpr int kLoggerDataSize = 17;

QByteArray bytes(std::initializer_list<quint8> values)
{
    QByteArray out;
    out.reserve(qsizetype(values.size()));
    for (const quint8 value : values)
        out.append(char(value));
    return out;
}

// Only the low byte of the connection handle goes on the wire.
quint8 low(quint16 value)
{
    return quint8(value & 0xFF);
}

} // namespace

QByteArray packet(quint8 classId, quint8 messageId, QByteArrayView payload)
{
    Q_ASSERT(payload.size() <= kMaxPacketSize - kHeaderSize);
    QByteArray out = bytes({kCommand, quint8(payload.size()), classId, messageId});
    out.append(payload.data(), payload.size());
    return out;
}

QByteArray system_reset()
{
    return packet(kSystem, kSystemReset, bytes({0x00}));
}

QByteArray system_get_info()
{
    return packet(kSystem, kSystemGetInfo, {});
}

QByteArray connection_disconnect(quint8 connection)
{
    return packet(kConnection, kConnectionDisconnect, bytes({connection}));
}

QByteArray attclient_read_by_group_type(quint16 bgapi_connection)
{
    return packet(kAttributeClient, kAttclientReadByGroupType,
                  bytes({low(bgapi_connection), 0x01, 0x00, 0xFF, 0xFF, 0x02, 0x00, 0x28}));
}

QByteArray attclient_find_information(quint16 bgapi_connection)
{
    return packet(kAttributeClient, kAttclientFindInformation, bytes({low(bgapi_connection), 0x06, 0x00, 0xFF, 0xFF}));
}

QByteArray attclient_attribute_write(quint16 bgapi_connection)
{
    return packet(kAttributeClient, kAttclientAttributeWrite, bytes({low(bgapi_connection), 0x0A, 0x00, 0x02}));
}

QByteArray gap_set_mode()
{
    return packet(kGap, kGapSetMode, bytes({0x00, 0x00}));
}

QByteArray gap_discover()
{
    return packet(kGap, kGapDiscover, bytes({0x02}));
}

QByteArray gap_end_procedure()
{
    return packet(kGap, kGapEndProcedure, {});
}

QByteArray gap_set_scan_parameters()
{
    return packet(kGap, kGapSetScanParameters, bytes({0xC8, 0x00, 0xC8, 0x00, 0x00}));
}

QByteArray gap_connect_direct(const RawAddress &address)
{
    QByteArray payload(reinterpret_cast<const char *>(address.data()), qsizetype(address.size()));
    payload += bytes({0x00, 0x06, 0x00, 0x10, 0x00, 0x00, 0x01, 0x00, 0x00});
    return packet(kGap, kGapConnectDirect, payload);
}

QByteArray loggerCommand(LoggerCommand command, quint16 bgapi_connection)
{
    QByteArray data(kLoggerDataSize, '\0');
    // The SHT commands name their measurement in the second byte.
    const auto sht = [&data](quint8 measurement) {
        const QByteArray head = bytes({0x40, measurement, 0x00, 0x00, 0x00, 0x00, 0x01, 0xAA});
        data.replace(0, head.size(), head);
    };
    switch (command) {
    case LoggerCommand::RevisionRegister:
        data[0] = char(0x60);
        break;
    case LoggerCommand::TemperatureMeasure:
        sht(0x01);
        break;
    case LoggerCommand::HumidityMeasure:
        sht(0x02);
        break;
    case LoggerCommand::Reading:
        sht(0x03);
        break;
    case LoggerCommand::FlashBurst:
        data[0] = char(0x28);
        break;
    }
    QByteArray payload = bytes({low(bgapi_connection), kLoggerAttribute, 0x00, kLoggerDataSize});
    return packet(kAttributeClient, kAttclientAttributeWrite, payload + data);
}

} // namespace zorvane::bgapi::commands
