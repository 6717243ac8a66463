#include "ModemLineWatch.h"

namespace zorvane::serial {

ModemLineWatch::ModemLineWatch(QObject *parent) : QObject(parent)
{
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &ModemLineWatch::read);
}

void ModemLineWatch::setLink(Link *link)
{
    if (m_link == link)
        return;
    if (m_link)
        disconnect(m_link, &Link::inputsChanged, this, &ModemLineWatch::read);
    m_link = link;
    if (m_link)
        connect(m_link, &Link::inputsChanged, this, &ModemLineWatch::read);
    refresh();
}

void ModemLineWatch::refresh()
{
    read();
    const bool open = m_link && m_link->isOpen();
    if (open && !m_poll.isActive())
        m_poll.start();
    else if (!open)
        m_poll.stop();
}

void ModemLineWatch::read()
{
    std::optional<ModemInputs> in;
    std::optional<ModemOutputs> out;
    const bool open = m_link && m_link->isOpen();
    if (open) {
        in = m_link->inputs();
        out = m_link->outputs();
    } else {
        // The port went away between two readings: nothing more to poll.
        m_poll.stop();
    }
    if (in == m_inputs && out == m_outputs && open == m_open)
        return;
    m_open = open;
    m_inputs = in;
    m_outputs = out;
    emit changed();
}

} // namespace zorvane::serial
