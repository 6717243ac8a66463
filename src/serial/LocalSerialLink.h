#pragma once

#include "Link.h"

#include <QSerialPort>

namespace zorvane::serial {

// A serial device on this machine, driven through QSerialPort: opens one device path with
// its line settings, checked against what the driver really holds.
class LocalSerialLink final : public Link
{
    Q_OBJECT
public:
    // Received bytes wait here while the display catches up; beyond it the device is left
    // unread, so the kernel's flow control slows the sender instead of memory growing.
    static constexpr qint64 kReadBufferBytes = 32 * 1024 * 1024;

    explicit LocalSerialLink(QObject *parent = nullptr);
    ~LocalSerialLink() override;

    bool open(const QString &target, const LineSettings &settings) override;
    void close() override;
    bool isOpen() const override { return m_device.isOpen(); }
    bool isAlive() const override;
    LinkError lastError() const override { return m_error; }

    qint64 bytesAvailable() const override { return m_device.bytesAvailable(); }
    QByteArray read(qint64 maxBytes) override { return m_device.read(maxBytes); }
    bool waitForReadyRead(int ms) override;
    void write(QByteArrayView bytes) override;
    void setResting(bool resting) override;
    void setDozing(bool dozing) override;

    bool setOutputs(const ModemLineChange &change) override;
    std::optional<ModemOutputs> outputs() const override;
    std::optional<ModemInputs> inputs() const override;
    bool setBreak(bool on) override;

private:
    bool applyLineSettings(const LineSettings &settings);

    QSerialPort m_device;
    LinkError m_error;
};

} // namespace zorvane::serial
