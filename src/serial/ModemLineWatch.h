#pragma once

#include "Link.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <optional>

namespace zorvane::serial {

// Keeps the last known state of a link's modem lines for the windows: polled every 50 ms
// while the link is open, so a change shows within 100 ms, and not at all while it is closed
// or its device cannot tell its lines (a pseudo-terminal), so such a port costs no wake-ups. A link
// that tells of changes itself is read at once.
class ModemLineWatch : public QObject
{
    Q_OBJECT
public:
    static constexpr int kPollMs = 50;

    explicit ModemLineWatch(QObject *parent = nullptr);

    void setLink(Link *link);
    // Reads the lines now and polls on while the link is open and tells its lines, or stops;
    // called when the port has been opened or closed.
    void refresh();
    bool isPolling() const { return m_poll.isActive(); }

    // Nothing while the link is closed or cannot tell.
    std::optional<ModemInputs> inputs() const { return m_inputs; }
    // Both output lines, once both are known.
    std::optional<ModemOutputs> outputs() const;
    // Each output line as far as it is known.
    KnownOutputs knownOutputs() const { return m_outputs; }

signals:
    // The inputs or outputs differ from the last reading (including becoming unknown), or
    // the link was opened or closed since.
    void changed();

private:
    void read();
    // The last reading had something to tell.
    bool tells() const;

    QPointer<Link> m_link;
    QTimer m_poll;
    std::optional<ModemInputs> m_inputs;
    KnownOutputs m_outputs;
    bool m_open = false;
};

} // namespace zorvane::serial
