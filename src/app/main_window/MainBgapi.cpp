// The main window's part of BGAPI: the BGAPI window's way to the session and to the address
// list, and the menu item that shows that window. The decoding rules live in the bgapi
// subsystem; the module session feeds the decoder and reports what it finds.
#include "app/bgapi_window/BgapiHost.h"
#include "app/bgapi_window/Unit_bgapi.h"
#include "app/main_window/MainForm.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>

namespace {

// The BGAPI window's way to the main window.
class MainBgapiHost : public zorvane::app::BgapiHost
{
public:
    explicit MainBgapiHost(TMain &main) : m_main(main) {}

    void sendPacket(const QByteArray &packet) override { m_main.session.sendBgapiPacket(packet); }
    void sendSequence(const QList<QByteArray> &packets) override
    {
        m_main.session.sendBgapiSequence(packets);
    }
    zorvane::bgapi::BgapiState &bgapi() override { return m_main.session.bgapi(); }
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
