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
        connect(m_link, &Link::outputsChanged, this, &ModemLineWatch::read);
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
    KnownOutputs out;
    const bool open = m_link && m_link->isOpen();
    if (open) {
        in = m_link->inputs();
        out = m_link->knownOutputs();
    }
    // The port went away between two readings, or its lines can no longer be read: nothing
    // more to poll until it is opened again.
    if (!open || (!in && !out.dtr && !out.rts))
        m_poll.stop();
    if (in == m_inputs && out == m_outputs && open == m_open)
        return;
    m_open = open;
    m_inputs = in;
    m_outputs = out;
    emit changed();
}

std::optional<ModemOutputs> ModemLineWatch::outputs() const
{
    if (!m_outputs.dtr || !m_outputs.rts)
        return std::nullopt;
    return ModemOutputs{*m_outputs.dtr, *m_outputs.rts};
}

bool ModemLineWatch::tells() const
{
    return m_inputs.has_value() || m_outputs.dtr.has_value() || m_outputs.rts.has_value();
}

} // namespace zorvane::serial
