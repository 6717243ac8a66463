#include "plot/SessionFeed.h"

#include "plot/PlotData.h"
#include "session/ModuleSession.h"

namespace zorvane::plot {

SessionFeed::SessionFeed(session::ModuleSession &session, PlotData &data, QObject *parent)
    : QObject(parent), m_session(session), m_data(data)
{}

void SessionFeed::setActive(bool active)
{
    m_active = active;
    update();
}

void SessionFeed::patternsChanged()
{
    update();
}

void SessionFeed::update()
{
    using session::ModuleSession;
    const bool lines = m_active && !m_data.patterns().isEmpty();
    if (lines && !m_linesConnection) {
        // Lines already finished were shown before the plot listened; the one being received
        // now is the first it reads.
        m_nextRow = std::max<qsizetype>(m_session.lines().size() - 1, 0);
        m_linesConnection =
            connect(&m_session, &ModuleSession::linesReady, this, &SessionFeed::readNewLines);
        m_clearedConnection =
            connect(&m_session, &ModuleSession::listCleared, this, [this] { m_nextRow = 0; });
    } else if (!lines && m_linesConnection) {
        disconnect(m_linesConnection);
        disconnect(m_clearedConnection);
        m_linesConnection = {};
        m_clearedConnection = {};
    }
    if (m_active && !m_messageConnection) {
        m_messageConnection = connect(&m_session, &ModuleSession::bgapiMessage, this,
                                      [this](const bgapi::Message &message) {
                                          m_data.addMessage(message, m_clock());
                                          m_data.finishBatch();
                                      });
    } else if (!m_active && m_messageConnection) {
        disconnect(m_messageConnection);
        m_messageConnection = {};
    }
}

void SessionFeed::readNewLines()
{
    const terminal::LineStore &lines = m_session.lines();
    // The last row is still being received; it is read once a line end has closed it.
    const qsizetype finished = lines.size() - 1;
    for (; m_nextRow < finished; ++m_nextRow) {
        // The time first: the bytes stay valid only until the store is read again.
        const qint64 ms = lines.arrivalMs(m_nextRow);
        if (const auto bytes = lines.latin1(m_nextRow))
            m_data.addLine(*bytes, ms);
        else
            m_data.addLine(QStringView(lines.text(m_nextRow)), ms);
    }
    m_data.finishBatch();
}

} // namespace zorvane::plot
