#pragma once

#include "terminal/LineStore.h"

#include <QMetaObject>
#include <QObject>

namespace zorvane::session {
class ModuleSession;
}

namespace zorvane::plot {

class PlotData;

// Hands the module session's news to the plot while the plot is shown: each received line,
// once finished, to the patterns (only while there are any, so the receive path does no work
// for a plot that takes none), and each decoded BGAPI message to the logger and scan series.
// Lines are read from the session's line store when it reports new ones, with their own
// arrival times.
class SessionFeed : public QObject
{
    Q_OBJECT
public:
    SessionFeed(session::ModuleSession &session, PlotData &data, QObject *parent = nullptr);

    // The plot is shown (or hidden): listening starts at the line being received now.
    void setActive(bool active);
    bool isActive() const { return m_active; }
    // Called after the patterns changed: lines are listened to only while there are some.
    void patternsChanged();
    bool listensToLines() const { return bool(m_linesConnection); }

    // Where BGAPI messages take their arrival time; tests hand in a clock of their own.
    void setClock(terminal::LineStore::Clock clock) { m_clock = clock; }

private:
    void update();
    void readNewLines();

    session::ModuleSession &m_session;
    PlotData &m_data;
    bool m_active = false;
    // The first row not read yet; the last row of the store is the line still being received.
    qsizetype m_nextRow = 0;
    QMetaObject::Connection m_linesConnection;
    QMetaObject::Connection m_clearedConnection;
    QMetaObject::Connection m_messageConnection;
    terminal::LineStore::Clock m_clock = &terminal::LineStore::systemClock;
};

} // namespace zorvane::plot
