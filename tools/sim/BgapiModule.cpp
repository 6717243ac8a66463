#include "BgapiModule.h"

#include "SimDevices.h"
#include "bgapi/Commands.h"
#include "bgapi/MessageIds.h"

#include <QtMath>

#include <algorithm>

namespace zorvane::sim {

namespace {

using namespace zorvane::bgapi;

constexpr qint64 kStaleMs = 300;
constexpr qint64 kScanIntervalMs = 120;
constexpr qint64 kBootMs = 400;
constexpr qint64 kConnectMs = 250;
constexpr qint64 kEventStepMs = 30;
constexpr qint64 kLoggerMs = 150;
constexpr quint8 kLoggerAttribute = 0x08;
constexpr quint16 kLoggerNotify = 0x000B;

constexpr quint16 kOk = 0x0000;
constexpr quint16 kInvalidParameter = 0x0180;
constexpr quint16 kWrongState = 0x0181;
constexpr quint16 kNotConnected = 0x0186;
constexpr quint16 kLocalHostClosed = 0x0216;

// The simulated dongle's version: major, minor, patch, build, link layer, protocol, hardware.
constexpr quint16 kVersion[] = {1, 3, 2, 122, 4};
constexpr quint8 kProtocol = 1;
constexpr quint8 kHardware = 1;

struct Group
{
    quint16 first, last, uuid;
};
// The logger's services: generic access, its own measurement service, battery.
constexpr Group kGroups[] = {
    {0x0001, 0x0005, 0x1800}, {0x0006, 0x000C, 0xFFF0}, {0x000D, 0x000F, 0x180F}};

struct Attribute
{
    quint16 handle, uuid;
};
constexpr Attribute kAttributes[] = {
    {0x0006, 0x2800}, {0x0007, 0x2803}, {0x0008, 0xFFF1}, {0x0009, 0x2803}, {0x000A, 0xFFF2},
    {0x000B, 0xFFF3}, {0x000C, 0x2902}, {0x000D, 0x2800}, {0x000E, 0x2803}, {0x000F, 0x2A19}};

struct CommandEntry
{
    quint8 classId, messageId;
    int minPayload;
    void (BgapiModule::*handler)(QByteArrayView, qint64);
};
// Adding a command is a line here.
constexpr CommandEntry kCommands[] = {
    {kSystem, kSystemReset, 1, &BgapiModule::reset},
    {kSystem, kSystemGetInfo, 0, &BgapiModule::getInfo},
    {kConnection, kConnectionDisconnect, 1, &BgapiModule::disconnect},
    {kAttributeClient, kAttclientReadByGroupType, 6, &BgapiModule::readByGroupType},
    {kAttributeClient, kAttclientFindInformation, 5, &BgapiModule::findInformation},
    {kAttributeClient, kAttclientAttributeWrite, 4, &BgapiModule::attributeWrite},
    {kGap, kGapSetMode, 2, &BgapiModule::setMode},
    {kGap, kGapDiscover, 1, &BgapiModule::discover},
    {kGap, kGapConnectDirect, 15, &BgapiModule::connectDirect},
    {kGap, kGapEndProcedure, 0, &BgapiModule::endProcedure},
    {kGap, kGapSetScanParameters, 5, &BgapiModule::setScanParameters},
};

const CommandEntry *entryFor(QByteArrayView packet)
{
    if (packet.size() < kHeaderSize || quint8(packet[0]) != kCommand)
        return nullptr;
    for (const CommandEntry &entry : kCommands) {
        if (entry.classId == quint8(packet[2]) && entry.messageId == quint8(packet[3]))
            return &entry;
    }
    return nullptr;
}

void put16(QByteArray &out, quint16 value)
{
    out.append(char(value & 0xFF));
    out.append(char(value >> 8));
}

QByteArray message(quint8 type, quint8 classId, quint8 messageId, const QByteArray &payload)
{
    QByteArray out;
    out.append(char(type));
    out.append(char(payload.size()));
    out.append(char(classId));
    out.append(char(messageId));
    return out + payload;
}

QByteArray response(quint8 classId, quint8 messageId, const QByteArray &payload)
{
    return message(kCommand, classId, messageId, payload);
}

QByteArray event(quint8 classId, quint8 messageId, const QByteArray &payload)
{
    return message(kEvent, classId, messageId, payload);
}

QByteArray result(quint16 code)
{
    QByteArray out;
    put16(out, code);
    return out;
}

QByteArray connectionResult(quint8 connection, quint16 code)
{
    return QByteArray(1, char(connection)) + result(code);
}

QByteArray procedureCompleted(quint8 connection, quint16 handle)
{
    QByteArray payload = connectionResult(connection, kOk);
    put16(payload, handle);
    return event(kAttributeClient, kAttclientProcedureCompletedEvent, payload);
}

QByteArray version()
{
    QByteArray out;
    for (const quint16 part : kVersion)
        put16(out, part);
    out.append(char(kProtocol));
    out.append(char(kHardware));
    return out;
}

// The SHT2x sensor's 16-bit sample for a reading; its two status bits stay clear.
quint16 temperatureSample(double celsius)
{
    return quint16(qRound((celsius + 46.85) / 175.72 * 65536.0)) & 0xFFFC;
}

quint16 humiditySample(double percent)
{
    return quint16(qRound((percent + 6.0) / 125.0 * 65536.0)) & 0xFFFC;
}

} // namespace

bool BgapiModule::isCommand(QByteArrayView packet)
{
    const CommandEntry *entry = entryFor(packet);
    return entry && packet.size() == kHeaderSize + quint8(packet[1]) &&
           quint8(packet[1]) >= entry->minPayload;
}

double BgapiModule::temperatureAt(qint64 nowMs)
{
    return 21.5 + 1.5 * qSin(2 * M_PI * double(nowMs) / 600000.0);
}

double BgapiModule::humidityAt(qint64 nowMs)
{
    return 45.0 + 5.0 * qSin(2 * M_PI * double(nowMs) / 900000.0);
}

QByteArray BgapiModule::receive(QByteArrayView bytes, qint64 nowMs)
{
    // A packet cut short is dropped once the line stays quiet, so it cannot swallow the next.
    if (m_lastByteMs >= 0 && nowMs - m_lastByteMs > kStaleMs)
        m_assembly.clear();
    if (!bytes.isEmpty())
        m_lastByteMs = nowMs;
    for (const char byte : bytes) {
        if (m_assembly.add(quint8(byte)))
            packetDone(m_assembly.packet(), nowMs);
    }
    return std::exchange(m_out, {});
}

void BgapiModule::packetDone(QByteArrayView packet, qint64 now)
{
    const CommandEntry *entry = entryFor(packet);
    if (!entry || packet.size() - kHeaderSize < entry->minPayload)
        return; // events, unknown commands and short payloads draw no answer
    (this->*entry->handler)(packet.sliced(kHeaderSize), now);
}

void BgapiModule::later(qint64 at, QByteArray packet)
{
    const auto after = std::upper_bound(
        m_pending.begin(), m_pending.end(), at,
        [](qint64 t, const std::pair<qint64, QByteArray> &p) { return t < p.first; });
    m_pending.insert(after, {at, std::move(packet)});
}

void BgapiModule::reset(QByteArrayView, qint64 now)
{
    m_pending.clear();
    m_scanning = false;
    m_connection = -1;
    later(now + kBootMs, event(kSystem, kSystemBootEvent, version()));
}

bool BgapiModule::refusedOffConnection(quint8 classId, quint8 messageId, quint8 connection)
{
    if (connection == m_connection)
        return false;
    m_out += response(classId, messageId, connectionResult(connection, kNotConnected));
    return true;
}

void BgapiModule::reportFound(quint8 messageId, const QList<QByteArray> &found, quint8 connection,
                              qint64 now)
{
    qint64 at = now;
    for (const QByteArray &payload : found)
        later(at += kEventStepMs, event(kAttributeClient, messageId, payload));
    later(at + kEventStepMs, procedureCompleted(connection, 0xFFFF));
}

void BgapiModule::getInfo(QByteArrayView, qint64)
{
    m_out += response(kSystem, kSystemGetInfo, version());
}

void BgapiModule::disconnect(QByteArrayView payload, qint64 now)
{
    const quint8 connection = quint8(payload[0]);
    if (refusedOffConnection(kConnection, 0, connection))
        return;
    m_connection = -1;
    m_out += response(kConnection, kConnectionDisconnect, connectionResult(connection, kOk));
    later(now + kEventStepMs,
          event(kConnection, kConnectionDisconnectedEvent, connectionResult(connection, kLocalHostClosed)));
}

void BgapiModule::readByGroupType(QByteArrayView payload, qint64 now)
{
    const quint8 connection = quint8(payload[0]);
    if (refusedOffConnection(kAttributeClient, 1, connection))
        return;
    m_out += response(kAttributeClient, kAttclientReadByGroupType, connectionResult(connection, kOk));
    QList<QByteArray> found;
    for (const Group &group : kGroups) {
        QByteArray &one = found.emplace_back(1, char(connection));
        put16(one, group.first);
        put16(one, group.last);
        one.append(char(2));
        put16(one, group.uuid);
    }
    reportFound(kAttclientGroupFoundEvent, found, connection, now);
}

void BgapiModule::findInformation(QByteArrayView payload, qint64 now)
{
    const quint8 connection = quint8(payload[0]);
    if (refusedOffConnection(kAttributeClient, 3, connection))
        return;
    const quint16 first = quint16(quint8(payload[1]) | quint8(payload[2]) << 8);
    const quint16 last = quint16(quint8(payload[3]) | quint8(payload[4]) << 8);
    m_out += response(kAttributeClient, kAttclientFindInformation, connectionResult(connection, kOk));
    QList<QByteArray> found;
    for (const Attribute &attribute : kAttributes) {
        if (attribute.handle < first || attribute.handle > last)
            continue;
        QByteArray &one = found.emplace_back(1, char(connection));
        put16(one, attribute.handle);
        one.append(char(2));
        put16(one, attribute.uuid);
    }
    reportFound(kAttclientFindInformationFoundEvent, found, connection, now);
}

void BgapiModule::attributeWrite(QByteArrayView payload, qint64 now)
{
    const quint8 connection = quint8(payload[0]);
    const quint16 handle = quint16(quint8(payload[1]) | quint8(payload[2]) << 8);
    const qsizetype length = quint8(payload[3]);
    if (refusedOffConnection(kAttributeClient, 5, connection))
        return;
    // A data array shorter than its length byte says is refused rather than read past.
    if (payload.size() < 4 + length || length == 0) {
        m_out += response(kAttributeClient, kAttclientAttributeWrite, connectionResult(connection, kInvalidParameter));
        return;
    }
    m_out += response(kAttributeClient, kAttclientAttributeWrite, connectionResult(connection, kOk));
    later(now + kEventStepMs, procedureCompleted(connection, handle));
    if (handle == kLoggerAttribute) {
        const QByteArray value = loggerAnswer(payload.sliced(4, length), now);
        if (value.isEmpty())
            return;
        QByteArray answer(1, char(connection));
        put16(answer, kLoggerNotify);
        answer.append(char(1)); // notification
        answer.append(char(value.size()));
        later(now + kLoggerMs, event(kAttributeClient, kAttclientAttributeValueEvent, answer + value));
    }
}

// The logger answers its commands with the command byte, the measurement, a status byte and
// the 16-bit sample, least significant byte first.
QByteArray BgapiModule::loggerAnswer(QByteArrayView data, qint64 now)
{
    QByteArray value;
    const auto sample = [&value](quint8 first, quint8 second, quint16 number) {
        value.append(char(first));
        value.append(char(second));
        value.append(char(0));
        put16(value, number);
    };
    const quint8 command = quint8(data[0]);
    if (command == 0x40 && data.size() > 1) {
        quint8 measurement = quint8(data[1]);
        if (measurement == 0x03) // a reading reads back the kind measured last
            measurement = m_lastMeasurement;
        if (measurement == 0x01)
            sample(command, measurement, temperatureSample(temperatureAt(now)));
        else if (measurement == 0x02)
            sample(command, measurement, humiditySample(humidityAt(now)));
        else
            return {};
        m_lastMeasurement = measurement;
    } else if (command == 0x60) {
        sample(command, 0, 0x0103); // revision register
    } else if (command == 0x28) {
        for (int i = 0; i < 16; ++i) // a burst of the logger's flash
            value.append(char(0xA0 + i));
    }
    return value;
}

void BgapiModule::setMode(QByteArrayView, qint64)
{
    m_out += response(kGap, kGapSetMode, result(kOk));
}

void BgapiModule::discover(QByteArrayView, qint64 now)
{
    if (m_scanning || m_connection >= 0) {
        m_out += response(kGap, kGapDiscover, result(kWrongState));
        return;
    }
    m_scanning = true;
    m_nextScanMs = now + kScanIntervalMs;
    m_out += response(kGap, kGapDiscover, result(kOk));
}

void BgapiModule::endProcedure(QByteArrayView, qint64)
{
    m_out += response(kGap, kGapEndProcedure, result(m_scanning ? kOk : kWrongState));
    m_scanning = false;
}

void BgapiModule::setScanParameters(QByteArrayView, qint64)
{
    m_out += response(kGap, kGapSetScanParameters, result(m_scanning ? kWrongState : kOk));
}

void BgapiModule::connectDirect(QByteArrayView payload, qint64 now)
{
    if (m_connection >= 0) {
        m_out += response(kGap, kGapConnectDirect, result(kWrongState) + char(m_connection));
        return;
    }
    m_scanning = false;
    m_connection = 0;
    m_out += response(kGap, kGapConnectDirect, result(kOk) + char(m_connection));
    QByteArray status(1, char(m_connection));
    status.append(char(0x05)); // connected, completed
    status.append(payload.first(6).toByteArray());
    status.append(char(0));    // public address
    put16(status, 0x0010);     // interval
    put16(status, 0x0100);     // supervision timeout
    put16(status, 0x0000);     // latency
    status.append(char(0xFF)); // no bonding
    later(now + kConnectMs, event(kConnection, kConnectionStatusEvent, status));
}

QByteArray BgapiModule::scanResponse(int device) const
{
    const BleDevice &d = kBleDevices[device];
    QByteArray payload;
    // The signal wavers by a few dB from one response to the next.
    payload.append(char(d.rssi - (m_scanCount * 7 % 5)));
    payload.append(char(0)); // connectable advertisement
    payload.append(reinterpret_cast<const char *>(d.address.data()), qsizetype(d.address.size()));
    payload.append(char(0));    // public address
    payload.append(char(0xFF)); // no bond
    const QByteArray name(d.name);
    QByteArray data = QByteArray("\x02\x01\x06", 3);
    data.append(char(name.size() + 1));
    data.append(char(0x09)); // complete local name
    data.append(name);
    payload.append(char(data.size()));
    return event(kGap, kGapScanResponseEvent, payload + data);
}

QByteArray BgapiModule::due(qint64 nowMs)
{
    while (!m_pending.isEmpty() && m_pending.first().first <= nowMs)
        m_out += m_pending.takeFirst().second;
    if (m_scanning) {
        // After a long pause the stream goes on from now rather than catching up in a burst.
        if (nowMs - m_nextScanMs > 10 * kScanIntervalMs)
            m_nextScanMs = nowMs;
        while (m_nextScanMs <= nowMs) {
            m_out += scanResponse(m_scanCount % int(kBleDevices.size()));
            ++m_scanCount;
            m_nextScanMs += kScanIntervalMs;
        }
    }
    return std::exchange(m_out, {});
}

qint64 BgapiModule::nextDueMs() const
{
    qint64 next = m_pending.isEmpty() ? -1 : m_pending.first().first;
    if (m_scanning && (next < 0 || m_nextScanMs < next))
        next = m_nextScanMs;
    return next;
}

} // namespace zorvane::sim
