#include "script/BgapiNames.h"

#include "bgapi/Commands.h"
#include "bgapi/Formats.h"
#include "bgapi/MessageIds.h"
#include "bgapi/Messages.h"
#include "bgapi/Overloaded.h"

#include <QRegularExpression>

namespace zorvane::script::bgapi_names {

using namespace zorvane::bgapi;

namespace {

struct Name
{
    quint8 type;
    quint8 classId;
    quint8 messageId;
    const char *name;
};

// Responses share their command's id; events have ids of their own.
constexpr Name kNames[] = {
    {kCommand, kSystem, kSystemReset, "system_reset"},
    {kCommand, kSystem, kSystemGetInfo, "system_get_info"},
    {kCommand, kConnection, kConnectionDisconnect, "connection_disconnect"},
    {kCommand, kAttributeClient, kAttclientReadByGroupType, "attclient_read_by_group_type"},
    {kCommand, kAttributeClient, kAttclientFindInformation, "attclient_find_information"},
    {kCommand, kAttributeClient, kAttclientAttributeWrite, "attclient_attribute_write"},
    {kCommand, kGap, kGapSetMode, "gap_set_mode"},
    {kCommand, kGap, kGapDiscover, "gap_discover"},
    {kCommand, kGap, kGapConnectDirect, "gap_connect_direct"},
    {kCommand, kGap, kGapEndProcedure, "gap_end_procedure"},
    {kCommand, kGap, kGapSetScanParameters, "gap_set_scan_parameters"},
    {kEvent, kSystem, kSystemBootEvent, "system_boot"},
    {kEvent, kSystem, kSystemProtocolErrorEvent, "system_protocol_error"},
    {kEvent, kConnection, kConnectionStatusEvent, "connection_status"},
    {kEvent, kConnection, kConnectionDisconnectedEvent, "connection_disconnected"},
    {kEvent, kAttributeClient, kAttclientProcedureCompletedEvent, "attclient_procedure_completed"},
    {kEvent, kAttributeClient, kAttclientGroupFoundEvent, "attclient_group_found"},
    {kEvent, kAttributeClient, kAttclientFindInformationFoundEvent,
     "attclient_find_information_found"},
    {kEvent, kAttributeClient, kAttclientAttributeValueEvent, "attclient_attribute_value"},
    {kEvent, kGap, kGapScanResponseEvent, "gap_scan_response"},
};

std::optional<RawAddress> readAddress(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^([0-9A-Fa-f]{2})(:[0-9A-Fa-f]{2}){5}$"));
    if (!form.match(text).hasMatch())
        return std::nullopt;
    const QStringList parts = text.split(QLatin1Char(':'));
    RawAddress address{};
    // Written most significant byte first; it travels least significant first.
    for (int i = 0; i < 6; ++i)
        address[5 - i] = static_cast<quint8>(parts[i].toUInt(nullptr, 16));
    return address;
}

} // namespace

std::optional<QByteArray> commandPacket(const QString &name, const QVariant &argument,
                                        QString *error)
{
    const auto handle = [&]() -> std::optional<quint16> {
        bool ok = false;
        const int value = argument.isValid() ? argument.toInt(&ok) : 0;
        if (argument.isValid() && (!ok || value < 0 || value > 0xFFFF)) {
            *error = QStringLiteral("%1 takes a connection handle 0 to 65535").arg(name);
            return std::nullopt;
        }
        return static_cast<quint16>(value);
    };
    using Build = QByteArray (*)();
    const std::pair<const char *, Build> plain[] = {
        {"system_reset", commands::system_reset},
        {"system_get_info", commands::system_get_info},
        {"gap_set_mode", commands::gap_set_mode},
        {"gap_discover", commands::gap_discover},
        {"gap_end_procedure", commands::gap_end_procedure},
        {"gap_set_scan_parameters", commands::gap_set_scan_parameters},
    };
    for (const auto &[n, build] : plain) {
        if (name == QLatin1String(n))
            return build();
    }
    using BuildOn = QByteArray (*)(quint16);
    const std::pair<const char *, BuildOn> onConnection[] = {
        {"attclient_read_by_group_type", commands::attclient_read_by_group_type},
        {"attclient_find_information", commands::attclient_find_information},
        {"attclient_attribute_write", commands::attclient_attribute_write},
    };
    for (const auto &[n, build] : onConnection) {
        if (name == QLatin1String(n)) {
            const auto h = handle();
            return h ? std::optional(build(*h)) : std::nullopt;
        }
    }
    if (name == QLatin1String("connection_disconnect")) {
        const auto h = handle();
        if (!h)
            return std::nullopt;
        if (*h > 0xFF) {
            *error = QStringLiteral("connection_disconnect takes a connection 0 to 255");
            return std::nullopt;
        }
        return commands::connection_disconnect(static_cast<quint8>(*h));
    }
    if (name == QLatin1String("gap_connect_direct")) {
        const auto address = readAddress(argument.toString());
        if (!address) {
            *error = QStringLiteral("gap_connect_direct takes an address xx:xx:xx:xx:xx:xx");
            return std::nullopt;
        }
        return commands::gap_connect_direct(*address);
    }
    *error = QStringLiteral("no BGAPI command is called '%1'").arg(name);
    return std::nullopt;
}

QString messageName(QByteArrayView packet)
{
    if (packet.size() < kHeaderSize)
        return {};
    const quint8 type = static_cast<quint8>(packet[0]) & kEvent;
    const auto classId = static_cast<quint8>(packet[2]);
    const auto messageId = static_cast<quint8>(packet[3]);
    for (const Name &n : kNames) {
        if (n.type == type && n.classId == classId && n.messageId == messageId)
            return QLatin1String(n.name);
    }
    return QStringLiteral("class_%1_id_%2").arg(classId).arg(messageId);
}

QList<std::pair<QString, QVariant>> messageFields(QByteArrayView packet)
{
    QList<std::pair<QString, QVariant>> fields{
        {QStringLiteral("name"), messageName(packet)},
        {QStringLiteral("raw"), packet.toByteArray()},
    };
    if (packet.size() < kHeaderSize)
        return fields;
    fields.append({QStringLiteral("class"), int(static_cast<quint8>(packet[2]))});
    fields.append({QStringLiteral("id"), int(static_cast<quint8>(packet[3]))});
    const std::optional<Message> message = interpret(packet);
    if (!message)
        return fields;
    auto add = [&fields](const char *key, QVariant value) {
        fields.append({QLatin1String(key), std::move(value)});
    };
    std::visit(Overloaded{
                   [&](const SystemInfo &m) { add("version", m.text); },
                   [&](const ResultCode &m) { add("result", int(m.code)); },
                   [&](const ConnectDirect &m) {
                       add("result", int(m.result));
                       add("connection", int(m.connection));
                   },
                   [&](const ConnectionStatus &) {},
                   [&](const Disconnected &m) { add("reason", int(m.reason)); },
                   [&](const ProcedureCompleted &m) {
                       add("result", int(m.result));
                       add("handle_low", int(m.handleLow));
                   },
                   [&](const GroupFound &m) {
                       add("first", int(m.first));
                       add("last", int(m.last));
                       add("uuid", m.uuid);
                   },
                   [&](const InformationFound &m) {
                       add("connection", int(m.connection));
                       add("handle", int(m.handle));
                       add("uuid", m.uuid);
                   },
                   [&](const AttributeValue &m) {
                       add("handle", int(m.handle));
                       add("value", m.value);
                   },
                   [&](const ScanResponse &m) {
                       add("address", addressText(m.address));
                       // The first payload byte is the signal strength, signed.
                       add("rssi", int(static_cast<qint8>(packet[kHeaderSize])));
                   },
               },
               *message);
    return fields;
}

} // namespace zorvane::script::bgapi_names
