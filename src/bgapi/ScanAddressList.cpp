#include "ScanAddressList.h"

#include "Formats.h"

namespace zorvane::bgapi {

ScanAddressList::Update ScanAddressList::scanResponse(const RawAddress &address,
                                                      const QStringList &entries)
{
    Update update;
    // Drops the "Unknown MAC" placeholder once, or whatever non-address entry stands first.
    update.clearEntries = !entries.isEmpty() && !entries.first().contains(QLatin1Char(':'));
    update.text = addressText(address);
    const bool listed = !update.clearEntries && entries.contains(update.text, Qt::CaseSensitive);
    if (!listed) {
        update.addEntry = true;
        m_addresses.append(address);
        m_texts.append(update.text);
    }
    return update;
}

std::optional<RawAddress> ScanAddressList::rawAddressOf(const QString &entryText) const
{
    // Found by its text rather than by the entry's position: inquiry results in the same
    // list have no raw address and would otherwise shift every later position.
    const qsizetype at = m_texts.indexOf(entryText);
    if (at < 0)
        return std::nullopt;
    return m_addresses[at];
}

void ScanAddressList::reset()
{
    m_addresses.clear();
    m_texts.clear();
}

} // namespace zorvane::bgapi
