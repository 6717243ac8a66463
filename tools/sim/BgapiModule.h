#pragma once

#include "bgapi/PacketAssembly.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace zorvane::sim {

// A BLE dongle speaking BGAPI, with one temperature and humidity logger among the devices it
// finds: command packets in, responses and events out. Scan responses stream while a
// discovery runs; the logger's readings drift slowly with the caller's clock.
class BgapiModule
{
public:
    // True for a complete packet that is one of the commands answered here.
    static bool isCommand(QByteArrayView packet);

    QByteArray receive(QByteArrayView bytes, qint64 nowMs);
    QByteArray due(qint64 nowMs);
    qint64 nextDueMs() const;

    bool scanning() const { return m_scanning; }
    // The dongle is put away: no scan stream, no answers still to come.
    void stop()
    {
        m_scanning = false;
        m_pending.clear();
    }

    // The logger's readings at a moment, so tests can tell what a reading should show.
    static double temperatureAt(qint64 nowMs);
    static double humidityAt(qint64 nowMs);

    // Handlers of the command table; `payload` holds at least the table's minimum.
    void reset(QByteArrayView payload, qint64 now);
    void getInfo(QByteArrayView payload, qint64 now);
    void disconnect(QByteArrayView payload, qint64 now);
    void readByGroupType(QByteArrayView payload, qint64 now);
    void findInformation(QByteArrayView payload, qint64 now);
    void attributeWrite(QByteArrayView payload, qint64 now);
    void setMode(QByteArrayView payload, qint64 now);
    void discover(QByteArrayView payload, qint64 now);
    void connectDirect(QByteArrayView payload, qint64 now);
    void endProcedure(QByteArrayView payload, qint64 now);
    void setScanParameters(QByteArrayView payload, qint64 now);

private:
    void packetDone(QByteArrayView packet, qint64 now);
    void later(qint64 at, QByteArray packet);
    // Answers a command for any connection but the open one with "not connected"; says
    // whether it did.
    bool refusedOffConnection(quint8 classId, quint8 messageId, quint8 connection);
    // An attribute-client event for each thing a procedure found, a step apart, then the
    // procedure's completion.
    void reportFound(quint8 messageId, const QList<QByteArray> &found, quint8 connection,
                     qint64 now);
    QByteArray scanResponse(int device) const;
    QByteArray loggerAnswer(QByteArrayView data, qint64 now);

    bgapi::PacketAssembly m_assembly;
    qint64 m_lastByteMs = -1;
    QByteArray m_out;
    QList<std::pair<qint64, QByteArray>> m_pending; // ordered by time

    bool m_scanning = false;
    qint64 m_nextScanMs = 0;
    int m_scanCount = 0;
    int m_connection = -1;
    quint8 m_lastMeasurement = 0x01; // what a reading command reads back
};

} // namespace zorvane::sim
