#pragma once

#include "Formats.h"
#include "Packet.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <concepts>
#include <optional>

namespace zorvane::bgapi {

// What a scan response reads of the address list as it stands: whether it is empty, its first
// entry, and whether a text is among its entries. A QStringList will do; the session's address
// list answers from its counts, so a flood of new devices never searches the whole list.
template <class T>
concept AddressEntries = requires(const T &entries, const QString &text)
{
    bool(entries.isEmpty());
    QString(entries.first());
    bool(entries.contains(text));
};

// The entry the address list starts with until the first real address comes.
inline constexpr char kUnknownAddressEntry[] = "Unknown MAC";

// Whether the list is led by the placeholder, or by whatever other entry is not an address:
// the first real address, from a scan response or an inquiry, replaces the whole list then.
template <AddressEntries Entries> bool placeholderLeads(const Entries &entries)
{
    return !entries.isEmpty() && !entries.first().contains(QLatin1Char(':'));
}

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

    // `entries` are the address list's entries as they stand. A new address is recorded with
    // its raw bytes; the table grows as far as the list does.
    template <AddressEntries Entries>
    Update scanResponse(const RawAddress &address, const Entries &entries)
    {
        Update update;
        update.clearEntries = placeholderLeads(entries);
        update.text = addressText(address);
        update.addEntry = update.clearEntries || !entries.contains(update.text);
        if (update.addEntry)
            record(address, update.text);
        return update;
    }

    // The raw address of an entry added by a scan response; none for any other entry (the
    // placeholder, an inquiry result) or for no entry at all.
    std::optional<RawAddress> rawAddressOf(const QString &entryText) const;

    const QList<RawAddress> &bgapi_addresses() const { return m_addresses; }
    int bgapi_address_count() const { return int(m_addresses.size()); }
    // The address texts of bgapi_addresses, position for position.
    QStringList texts() const;
    // The count goes back to 0 when the main window is first shown.
    void reset();

private:
    void record(const RawAddress &address, const QString &text);

    QList<RawAddress> m_addresses;
    // Where each text first stands in m_addresses, so an entry's raw address is found without a
    // search through every device seen. A text recorded twice (its entry went from the list
    // meanwhile) keeps its first position.
    QHash<QString, qsizetype> m_firstAt;
};

} // namespace zorvane::bgapi
