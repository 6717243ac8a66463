#pragma once

#include "BgapiModule.h"
#include "TextModule.h"

#include <QByteArray>
#include <QByteArrayView>

namespace zorvane::sim {

// The simulated module behind the port: bytes from the program in, the module's bytes out.
// It starts as a text-command Bluetooth module and becomes a BGAPI dongle when a BGAPI command
// arrives (or from the start when asked); a known text command line brings it back, unless
// it was asked to stay BGAPI. The caller's clock drives the answers that come later.
class ModuleSim
{
public:
    enum class Start { Auto, Bgapi };

    explicit ModuleSim(Start start = Start::Auto);

    QByteArray receive(QByteArrayView bytes, qint64 nowMs);
    // Answers whose time has come.
    QByteArray due(qint64 nowMs);
    // When due() next has something to give; -1 when nothing waits.
    qint64 nextDueMs() const;

    bool bgapiMode() const { return m_bgapi; }
    const TextModule &text() const { return m_text; }
    const BgapiModule &ble() const { return m_ble; }

private:
    QByteArray receiveBgapi(QByteArrayView bytes, qint64 nowMs);

    bool m_bgapi = false;
    bool m_stayBgapi = false;
    TextModule m_text;
    BgapiModule m_ble;
    QByteArray m_line; // printable text seen in BGAPI mode, in case a command line comes
};

} // namespace zorvane::sim
