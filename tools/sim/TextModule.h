#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <functional>
#include <map>

namespace zorvane::sim {

// A Bluetooth module's text side: command lines in, answer lines out, the multiplexing mode's
// frames, BGIO packets that set simulated pins, Wi-Fi AT commands, and the "+++" escape
// between command and data mode. Time comes from the caller, so answers that follow after a
// moment can be tested without waiting.
class TextModule
{
public:
    struct Result
    {
        QByteArray out;       // answers due now
        QByteArray bgapi;     // a BGAPI command packet met on the text side, not consumed
        qsizetype consumed{}; // bytes taken; the rest belongs to the BGAPI side
    };

    TextModule();

    Result receive(QByteArrayView bytes, qint64 nowMs);
    // Answers whose time has come.
    QByteArray due(qint64 nowMs);
    // When the next delayed answer falls due; -1 when none waits.
    qint64 nextDueMs() const;

    bool muxMode() const { return m_mux; }
    // The link whose data the command side passes on; -1 in command mode.
    int dataLink() const { return m_dataLink; }
    quint8 pins() const { return m_pins; }

    // Handlers of the command table.
    using Args = QList<QByteArray>;
    void reset(const Args &, qint64 now);
    void settings(const Args &args, qint64 now);
    void inquiry(const Args &args, qint64 now);
    void call(const Args &args, qint64 now);
    void list(const Args &, qint64 now);
    void select(const Args &args, qint64 now);
    void close(const Args &args, qint64 now);
    void pio(const Args &args, qint64 now);
    void info(const Args &, qint64 now);

private:
    struct Pending
    {
        qint64 at;
        QList<QByteArray> lines;
        std::function<void()> then;
    };

    void take(quint8 byte, qint64 now, Result &result);
    void takeCommandByte(quint8 byte, qint64 now, Result &result);
    void takeMuxByte(quint8 byte, qint64 now);
    void takeBinaryByte(quint8 byte, Result &result);
    void frameDone(int link, const QByteArray &data, qint64 now);
    void command(const QByteArray &line, qint64 now);
    bool bgio(QByteArrayView packet);
    void answer(const QList<QByteArray> &lines);
    void later(qint64 at, QList<QByteArray> lines, std::function<void()> then = {});
    QByteArray wrap(const QList<QByteArray> &lines) const;
    void checkEscape(qint64 now);

    bool m_mux = false;
    int m_dataLink = -1;
    quint8 m_pins = 0;
    quint8 m_directions = 0;
    std::map<int, QByteArray> m_links; // link -> address
    QList<QByteArray> m_settings;

    QByteArray m_line;
    bool m_lineTooLong = false;
    QByteArray m_binary; // a BGIO or BGAPI packet met between lines
    QByteArray m_frame;  // a multiplexing frame being received
    qint64 m_lastByteMs = -1;
    // "+++" counts only with silence before and after it.
    int m_plusCount = 0;
    qint64 m_escapeAt = -1;

    QByteArray m_out;
    QList<Pending> m_pending; // ordered by time
};

} // namespace zorvane::sim
