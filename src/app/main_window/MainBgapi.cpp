// The main window's part of the BGAPI receive side: bytes to the decoder, and the scan
// responses' addresses into the address label and list that the main toolbar holds. The
// decoding rules live in the bgapi subsystem; the BGAPI window shows the rest of what it
// finds.
#include "app/main_window/MainForm.h"

#include <QComboBox>
#include <QLabel>

using zorvane::bgapi::Message;
using zorvane::bgapi::ScanAddressList;
using zorvane::bgapi::ScanResponse;

void TMain::bgapi_decode(quint8 byte)
{
    const std::optional<Message> message = bgapi.bgapi_decode(byte);
    if (!message)
        return;
    const auto *scan = std::get_if<ScanResponse>(&*message);
    if (!scan)
        return;
    QStringList entries;
    for (int i = 0; i < MAC_Address->count(); ++i)
        entries << MAC_Address->itemText(i);
    const ScanAddressList::Update update = bgapi.addresses.scanResponse(scan->address, entries);
    if (update.clearEntries)
        MAC_Address->clear();
    MAC->setText(update.text);
    if (update.addEntry) {
        MAC_Address->addItem(update.text);
        MAC_Address->setCurrentIndex(MAC_Address->count() - 1);
    }
}
