#include "ScanAddressList.h"

namespace zorvane::bgapi {

void ScanAddressList::record(const RawAddress &address, const QString &text)
{
    if (!m_firstAt.contains(text))
        m_firstAt.insert(text, m_addresses.size());
    m_addresses.append(address);
}

std::optional<RawAddress> ScanAddressList::rawAddressOf(const QString &entryText) const
{
    // Found by its text rather than by the entry's position: inquiry results in the same
    // list have no raw address and would otherwise shift every later position.
    const auto at = m_firstAt.constFind(entryText);
    if (at == m_firstAt.cend())
        return std::nullopt;
    return m_addresses[*at];
}

QStringList ScanAddressList::texts() const
{
    // Made on demand: the texts the list shows are the address list's own entries.
    QStringList texts;
    texts.reserve(m_addresses.size());
    for (const RawAddress &address : m_addresses)
        texts << addressText(address);
    return texts;
}

void ScanAddressList::reset()
{
    m_addresses.clear();
    m_firstAt.clear();
}

} // namespace zorvane::bgapi
