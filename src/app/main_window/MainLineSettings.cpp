// The line settings beyond the Parameters menu's first ones: the fast rates and any other
// rate, flow control kept per port number, pinning a port to a device or an address from the
// window, and devices plugged in after the probe listed in the COM menu.
#include "app/main_window/MainForm.h"

#include "app/main_window/PinPortDialog.h"
#include "serial/CustomBaud.h"
#include "serial/PortNames.h"
#include "serial/PresentDevices.h"
#include "settings/FlowControlSettings.h"

#include <QAction>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenu>
#include <QSpinBox>

using namespace zorvane::serial;

namespace {

QAction *addMarkedItem(QMenu *menu, const QString &text)
{
    QAction *item = menu->addAction(text);
    item->setCheckable(true);
    // The program sets this mark itself; a click must not toggle it.
    QObject::connect(item, &QAction::triggered, item,
                     [item](bool checked) { item->setChecked(!checked); });
    return item;
}

// A device by its resolved path, so two names of one device count as one; an address as is.
QString canonicalDevice(const QString &device)
{
    const QString resolved = QFileInfo(device).canonicalFilePath();
    return resolved.isEmpty() ? device : resolved;
}

// Lists a port item, and the group submenu that holds it.
void showPortItem(QAction *item, const std::array<QMenu *, 8> &groups)
{
    item->setVisible(true);
    for (QMenu *group : groups) {
        if (group->actions().contains(item))
            group->menuAction()->setVisible(true);
    }
}

// The port a flow control choice is for: the one in use, else the one last used.
int flowPort(const SerialIo &serial)
{
    return serial.com_port != 0 ? serial.com_port : serial.last_com_port;
}

} // namespace

void TMain::buildLineSettings()
{
    // After the menu's own groups, behind separators, so they keep their places.
    Parameters->addSeparator();
    static constexpr int kFastRates[] = {230400,  460800,  921600, 1000000,
                                         1500000, 2000000, 3000000};
    for (const int rate : kFastRates) {
        QAction *item = addMarkedItem(Parameters, QString::number(rate));
        connect(item, &QAction::triggered, this, [this, rate] { BaudClick(rate); });
        fast_baud_items.push_back(item);
    }
    OtherRate1 = addMarkedItem(Parameters, QStringLiteral("Other Rate..."));
    connect(OtherRate1, &QAction::triggered, this, &TMain::OtherRateClick);

    Parameters->addSeparator();
    NoFlowControl1 = addMarkedItem(Parameters, QStringLiteral("No Flow Control"));
    RtsCts1 = addMarkedItem(Parameters, QStringLiteral("RTS/CTS"));
    XonXoff1 = addMarkedItem(Parameters, QStringLiteral("XON/XOFF"));
    connect(NoFlowControl1, &QAction::triggered, this,
            [this] { FlowControlClick(FlowControl::None); });
    connect(RtsCts1, &QAction::triggered, this, [this] { FlowControlClick(FlowControl::RtsCts); });
    connect(XonXoff1, &QAction::triggered, this,
            [this] { FlowControlClick(FlowControl::XonXoff); });

    COM->addSeparator();
    PinPort1 = COM->addAction(QStringLiteral("Pin Port..."));
    connect(PinPort1, &QAction::triggered, this, &TMain::PinPortClick);
    // After the device column is refreshed, which the menu connected first.
    connect(COM, &QMenu::aboutToShow, this, &TMain::showLatePorts);

    ShowOtherBaudRates();
    ShowFlowControl();
}

void TMain::ShowOtherBaudRates()
{
    if (!OtherRate1)
        return;
    bool named = false;
    for (QAction *item : baud_items)
        named = named || item->text().toInt() == session.connection().lineSettings().baudRate;
    for (QAction *item : fast_baud_items) {
        item->setChecked(item->text().toInt() == session.connection().lineSettings().baudRate);
        named = named || item->isChecked();
    }
    OtherRate1->setChecked(!named);
    OtherRate1->setToolTip(
        named ? QString()
              : QStringLiteral("%1 baud").arg(session.connection().lineSettings().baudRate));
}

void TMain::OtherRateClick()
{
    // Opened, not run: the window keeps receiving while the rate is typed.
    auto *dialog = new QInputDialog(this);
    dialog->setObjectName(QStringLiteral("OtherRateDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("Other Rate"));
    dialog->setInputMode(QInputDialog::IntInput);
    dialog->setLabelText(QStringLiteral("Baud rate (%1 to %2):")
                             .arg(custom_baud::kMinRate)
                             .arg(custom_baud::kMaxRate));
    dialog->setIntRange(custom_baud::kMinRate, custom_baud::kMaxRate);
    dialog->setIntValue(qBound(custom_baud::kMinRate, session.connection().lineSettings().baudRate,
                               custom_baud::kMaxRate));
    if (auto *box = dialog->findChild<QSpinBox *>())
        box->setAccessibleName(QStringLiteral("Baud rate"));
    connect(dialog, &QInputDialog::intValueSelected, this, &TMain::BaudClick);
    dialog->open();
}

void TMain::FlowControlClick(FlowControl flow)
{
    serial.setFlowControl(flowPort(serial), flow);
    set_com(true);
}

void TMain::ShowFlowControl()
{
    if (!NoFlowControl1)
        return;
    const FlowControl flow = serial.flowControl(flowPort(serial));
    NoFlowControl1->setChecked(flow == FlowControl::None);
    RtsCts1->setChecked(flow == FlowControl::RtsCts);
    XonXoff1->setChecked(flow == FlowControl::XonXoff);
}

void TMain::applyFlowControlSettings()
{
    const auto flows = zorvane::settings::loadFlowControls(*SettingsRoot);
    for (int port = 1; port <= kPortCount; ++port)
        serial.setFlowControl(port, flows[static_cast<size_t>(port)]);
    ShowFlowControl();
}

void TMain::saveFlowControlSettings()
{
    zorvane::settings::PortFlowControls flows{};
    for (int port = 1; port <= kPortCount; ++port)
        flows[static_cast<size_t>(port)] = serial.flowControl(port);
    zorvane::settings::saveFlowControls(*SettingsRoot, flows);
}

void TMain::PinPortClick()
{
    const int port = flowPort(serial);
    auto *dialog = new zorvane::app::PinPortDialog(DocumentsFolder, port, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &zorvane::app::PinPortDialog::pinned, this, [this](int pinned) {
        refreshPortDevices();
        showPortItem(com_items[static_cast<size_t>(pinned)], com_groups);
        set_comx(pinned, true);
    });
    connect(dialog, &zorvane::app::PinPortDialog::unpinned, this, &TMain::refreshPortDevices);
    dialog->open();
}

void TMain::notePresentAtProbe()
{
    const AdapterLookup adapters;
    for (int port = 1; port <= kPortCount; ++port) {
        const QString device = port_names(port, DocumentsFolder);
        presentAtProbe[static_cast<size_t>(port)] =
            devicePresent(device, adapters) ? canonicalDevice(device) : QString();
    }
}

void TMain::showLatePorts()
{
    if (!com_items[0]->isChecked())
        return;
    // Nothing is opened here: an open drives DTR and resets many boards, so the probe is not
    // run again behind the user's back. A number whose device is there now is listed.
    const AdapterLookup adapters;
    for (int port = 1; port <= kPortCount; ++port) {
        QAction *item = com_items[static_cast<size_t>(port)];
        if (item->isVisible())
            continue;
        const QString device = port_names(port, DocumentsFolder);
        if (!devicePresent(device, adapters) ||
            presentAtProbe[static_cast<size_t>(port)] == canonicalDevice(device))
            continue;
        showPortItem(item, com_groups);
    }
}
