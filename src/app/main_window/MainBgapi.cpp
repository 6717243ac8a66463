// The main window's part of BGAPI: bytes to the decoder, the scan responses' addresses into
// the address label and list that the main toolbar holds, the rest of what the decoder finds
// to the BGAPI window, and the menu item that shows that window. The decoding rules live in
// the bgapi subsystem.
#include "app/bgapi_window/BgapiHost.h"
#include "app/bgapi_window/Unit_bgapi.h"
#include "app/main_window/MainForm.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>

using zorvane::bgapi::Message;
using zorvane::bgapi::ScanAddressList;
using zorvane::bgapi::ScanResponse;

namespace {

// The BGAPI window's way to the main window.
class MainBgapiHost : public zorvane::app::BgapiHost
{
public:
    explicit MainBgapiHost(TMain &main) : m_main(main) {}

    void c_puts(const QString &packet) override { m_main.c_puts(packet); }
    zorvane::bgapi::BgapiState &bgapi() override { return m_main.bgapi; }
    std::optional<QString> selectedAddressEntry() const override
    {
        if (m_main.MAC_Address->currentIndex() < 0)
            return std::nullopt;
        return m_main.MAC_Address->currentText();
    }
    void bgapiWindowClosed() override { m_main.Show_BGAPI->setChecked(false); }

private:
    TMain &m_main;
};

} // namespace

void TMain::createBgapiWindow()
{
    Form_BGAPI = new TForm_BGAPI(this, std::make_unique<MainBgapiHost>(*this));
}

void TMain::Show_BGAPIClick()
{
    // The item's mark has already toggled; the window's visibility decides, and closing the
    // window from its title bar takes the mark off, so both stay in step.
    Form_BGAPI->setVisible(!Form_BGAPI->isVisible());
}

void TMain::bgapi_decode(quint8 byte)
{
    const std::optional<Message> message = bgapi.bgapi_decode(byte);
    if (!message)
        return;
    if (const auto *scan = std::get_if<ScanResponse>(&*message)) {
        const ScanAddressList::Update update =
            bgapi.addresses.scanResponse(scan->address, *m_macEntries);
        if (update.clearEntries)
            MAC_Address->clear();
        MAC->setText(update.text);
        if (update.addEntry) {
            MAC_Address->addItem(update.text);
            MAC_Address->setCurrentIndex(MAC_Address->count() - 1);
        }
    }
    if (Form_BGAPI)
        Form_BGAPI->showMessage(*message);
}
