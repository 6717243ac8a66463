#pragma once

#include "LineSettings.h"

#include <QByteArray>
#include <QSerialPort>
#include <QString>

namespace zorvane::serial {

// Owns the one open serial device: opening by port number, byte reads and writes, and the
// liveness query that notices an unplugged adapter. Nothing else touches the device.
class SerialIo
{
public:
    // How long a read may wait for its byte when none is waiting yet.
    enum class ReadWait { None, Timeout };

    // A one-byte read gives up after 25 ms per byte plus 50 ms when nothing arrives.
    static constexpr int kReadTimeoutMs = 75;
    // Received bytes wait here while the display catches up; beyond it the device is left
    // unread, so the kernel's flow control slows the sender instead of memory growing.
    static constexpr qint64 kReadBufferBytes = 32 * 1024 * 1024;

    SerialIo();
    ~SerialIo();
    SerialIo(const SerialIo &) = delete;
    SerialIo &operator=(const SerialIo &) = delete;

    // Where the ports/ override links are looked up.
    void setDocumentsFolder(const QString &folder) { m_documentsFolder = folder; }

    bool c_open(int port, int baudRate, int dataBits, int parity, int stopBits);
    void c_close();
    void c_putc(char16_t ch);
    // The low 8 bits of every character, in order, with no echo and no line end.
    void writeText(QStringView text);
    // Asks the device for its line settings; fails once the device has gone.
    bool isAlive() const;

    int c_getc(ReadWait wait = ReadWait::None)
    {
        if (m_inPos < m_in.size())
            return static_cast<unsigned char>(m_in[m_inPos++]);
        return refillAndGet(wait);
    }
    int c_getc_link();
    bool port_is_open() const { return m_portOpen; }
    // A device is held from a successful open to the next close.
    bool holdsDevice() const { return m_held; }

    // What the last c_open asked of the device, and which device it was; kept so the
    // settings a device refused can still be checked.
    LineSettings lastRequested() const { return m_requested; }
    QString lastDevice() const { return m_lastDevice; }

    // Session variables the link shares with connection control: the port in use (0 none)
    // and the port most recently opened or closed, the target of quiet reopening.
    int com_port = 0;
    int last_com_port = 0;

private:
    int refillAndGet(ReadWait wait);
    bool applyLineSettings(const LineSettings &settings);

    QSerialPort m_device;
    QString m_documentsFolder;
    bool m_held = false;
    bool m_portOpen = false;
    LineSettings m_requested;
    QString m_lastDevice;
    // Bytes taken from the device in one go and handed out one at a time.
    QByteArray m_in;
    qsizetype m_inPos = 0;
};

} // namespace zorvane::serial
