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
        disconnect(m_link, nullptr, this, nullptr);
    m_link = link;
    if (m_link) {
        connect(m_link, &Link::inputsChanged, this, &ModemLineWatch::read);
        // Without polling, a failing or vanishing link must say so itself.
        connect(m_link, &Link::failed, this, &ModemLineWatch::read);
        connect(m_link, &QObject::destroyed, this, [this] {
            m_link = nullptr;
            read();
        });
    }
    refresh();
}

void ModemLineWatch::refresh()
{
    read();
    if (m_open && tells() && !m_poll.isActive())
        m_poll.start();
    else if (!m_open || !tells())
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
    }
    // The port went away between two readings, or its lines can no longer be read: nothing
    // more to poll until it is opened again.
    if (!open || (!in && !out))
        m_poll.stop();
    if (in == m_inputs && out == m_outputs && open == m_open)
        return;
    m_open = open;
    m_inputs = in;
    m_outputs = out;
    emit changed();
}

bool ModemLineWatch::tells() const
{
    return m_inputs.has_value() || m_outputs.has_value();
}

} // namespace zorvane::serial
