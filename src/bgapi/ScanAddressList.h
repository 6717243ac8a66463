#pragma once

#include "Packet.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace zorvane::bgapi {

// The devices found by scan responses: their raw addresses in the order first seen, and the
// rule by which each scan response edits the main window's address list.
class ScanAddressList
{
public:
    // How one scan response changes the address list and the address label.
    struct Update
    {
        bool clearEntries = false; // the list's entries go first (a non-address entry led it)
        QString text;              // the address text, for the label
        bool addEntry = false;     // append `text` as the last entry and select it
    };

    // `entries` are the address list's texts as they stand. A new address is recorded with
    // its raw bytes; the table grows as far as the list does.
    Update scanResponse(const RawAddress &address, const QStringList &entries);

    // The raw address of an entry added by a scan response; none for any other entry (the
    // placeholder, an inquiry result) or for no entry at all.
    std::optional<RawAddress> rawAddressOf(const QString &entryText) const;

    const QList<RawAddress> &bgapi_addresses() const { return m_addresses; }
    int bgapi_address_count() const { return int(m_addresses.size()); }
    // The address texts of bgapi_addresses, position for position.
    const QStringList &texts() const { return m_texts; }
    // The count goes back to 0 when the main window is first shown.
    void reset();

private:
    QList<RawAddress> m_addresses;
    QStringList m_texts;
};

} // namespace zorvane::bgapi
