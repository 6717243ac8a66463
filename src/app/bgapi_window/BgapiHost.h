#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace zorvane::bgapi {
struct BgapiState;
}

namespace zorvane::app {

// What the BGAPI window needs of the main window, and no more: the send path, the shared
// BGAPI state, the address list's selected entry and the menu mark that follows the window.
class BgapiHost
{
public:
    virtual ~BgapiHost() = default;

    // Writes a command packet as a command line (echo included); while the BGAPI window is
    // visible no CR follows it.
    virtual void sendPacket(const QByteArray &packet) = 0;
    // Writes command packets spaced out by the session's pause.
    virtual void sendSequence(const QList<QByteArray> &packets) = 0;
    virtual zorvane::bgapi::BgapiState &bgapi() = 0;
    // The text of the address list's selected entry; none when nothing is selected.
    virtual std::optional<QString> selectedAddressEntry() const = 0;
    // The user closed the window from its title bar.
    virtual void bgapiWindowClosed() = 0;
};

} // namespace zorvane::app
