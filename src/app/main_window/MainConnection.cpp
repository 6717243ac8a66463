// Connection control of the main window: which port is open, with which line settings,
// the probe of all port numbers, and the link check that notices and reopens a lost port.
#include "app/main_window/MainForm.h"

#include "app/MessageBoxes.h"
#include "serial/AdapterLookup.h"
#include "serial/ConnectionText.h"
#include "serial/PortClaim.h"
#include "serial/PortNames.h"
#include "serial/network/NetworkTarget.h"

#include "terminal/view/TerminalModel.h"

#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QFont>
#include <QLabel>
#include <QMenu>

#include <algorithm>

using namespace zorvane::serial;

QString TMain::comItemName(int port) const
{
    if (port < 0 || port > kPortCount)
        return {};
    // The item's text holds the device after a tab, shown as the menu's second column.
    return com_items[static_cast<size_t>(port)]->text().section(QLatin1Char('\t'), 0, 0);
}

void TMain::refreshPortDevices()
{
    const AdapterLookup adapters;
    for (int port = 1; port <= kPortCount; ++port) {
        QAction *item = com_items[static_cast<size_t>(port)];
        const QString device = port_names(port, DocumentsFolder);
        const AdapterInfo adapter = adapters.lookUp(device);
        QString text = portName(port);
        if (!device.isEmpty())
            text += QLatin1Char('\t') + device;
        if (const QString name = adapter.description(); !name.isEmpty())
            text += QStringLiteral("  ") + name;
        if (const auto holder = zorvaneHolder(QFileInfo(device).canonicalFilePath()))
            text += QStringLiteral("  ") + inUseByZorvaneText(*holder);
        // An ampersand from a device or a link name is text, not a shortcut mark.
        item->setText(text.replace(QLatin1Char('&'), QStringLiteral("&&")));
        // Numbers with something behind them stand out in the list.
        QFont font = item->font();
        font.setBold(adapter.present);
        item->setFont(font);
    }
    for (QMenu *group : com_groups) {
        const auto items = group->actions();
        QFont font = group->menuAction()->font();
        font.setBold(std::any_of(items.begin(), items.end(),
                                 [](const QAction *a) { return a->font().bold(); }));
        group->menuAction()->setFont(font);
    }
}

QStringList TMain::portsWithDevice() const
{
    const AdapterLookup adapters;
    QStringList ports;
    for (int port = 1; port <= kPortCount; ++port) {
        const QString device = port_names(port, DocumentsFolder);
        if (adapters.lookUp(device).present)
            ports << QStringLiteral("%1 (%2)").arg(portName(port), device);
    }
    return ports;
}

bool TMain::openPort(int port, int dataBits, int parityCode, int stopBits, SerialIo::OpenKind kind)
{
    const bool opened = serial.c_open(port, baud_rate, dataBits, parityCode, stopBits, kind);
    if (opened)
        modemLinesPortOpened(port);
    if (baud_rate == 0)
        zorvane::app::showMessage(this, QStringLiteral("Zorvane Error - Baud rate=0!"));
    return opened;
}

void TMain::set_com(bool show)
{
    // Only a damaged settings file hands over values outside these ranges.
    if (serial.com_port < 0 || serial.com_port > kPortCount)
        serial.com_port = 0;
    if (parity < 0 || parity > 2)
        parity = 0;
    // The device runs 8 data bits and 1 stop bit for any other count; say so.
    if (data_bits != 7 && data_bits != 8)
        data_bits = 8;
    if (stop_bits != 1 && stop_bits != 2)
        stop_bits = 1;

    for (int port = 1; port <= kPortCount; ++port)
        com_items[static_cast<size_t>(port)]->setChecked(false);
    QAction *current = com_items[static_cast<size_t>(serial.com_port)];
    current->setChecked(true);
    current->setVisible(true);

    ShowBaudRate();
    ShowParity();
    ShowDataBits(data_bits);
    ShowStopBits(stop_bits);
    ShowFlowControl();

    if (serial.com_port == 0) {
        StatusBarPanel1->setText(offlineText(comItemName(serial.last_com_port)));
        setWindowTitle(captionText(app_title, StatusBarPanel1->text()) + captionSuffix());
        return;
    }

    const int port = serial.com_port;
    serial.c_close();
    serial.com_port = port;
    serial.last_com_port = port;

    // Only the link check opens without showing a failure: that is the quiet reopening.
    const bool opened =
        openPort(port, data_bits, parity, stop_bits,
                 show ? SerialIo::OpenKind::Chosen : SerialIo::OpenKind::QuietReopen);
    if (opened) {
        StatusBarPanel1->setText(
            onlineText(comItemName(port), {baud_rate, data_bits, parity, stop_bits}));
        networkPortNotes(show);
    } else {
        StatusBarPanel1->setText(offlineText(comItemName(port)));
        serial.com_port = 0;
    }
    // The caption is set before any message box: the receive timer keeps ticking while the
    // box is open, and its countdown text must not end up in the caption.
    setWindowTitle(captionText(app_title, StatusBarPanel1->text()) + captionSuffix());
    if (opened && ResetonConnect->isChecked())
        BtnRClick();
    if (!opened && show)
        zorvane::app::showMessage(this, QStringLiteral("Unable to Open Port ") + comItemName(port),
                                  explainOpenFailure(serial.lastOpenFailure(), portsWithDevice()));
}

void TMain::networkPortNotes(bool chosen)
{
    // A server's greeting is text for the user, never bytes for the decoders.
    const QByteArray banner = serial.takeBanner();
    for (QByteArray line : banner.split('\n')) {
        line = line.trimmed();
        if (!line.isEmpty())
            AddtoList(1, QString::fromLatin1(line));
    }
    // Said at the open the user chose, not at every quiet reopen.
    if (chosen)
        StatusBarPanel5->setText(serial.lineSettingsFixedByServer()
                                     ? QStringLiteral("Line settings fixed by the server")
                                     : QString());
}

void TMain::set_comx(int com, bool show)
{
    serial.com_port = com;
    set_com(show);
}

void TMain::COMxClick(QAction *sender)
{
    for (int port = 1; port <= kPortCount; ++port) {
        if (com_items[static_cast<size_t>(port)] == sender) {
            serial.com_port = port;
            set_com(true);
            return;
        }
    }
}

void TMain::BaudClick(int baudRate)
{
    baud_rate = baudRate;
    set_com(true);
}

void TMain::ParityClick(int parityCode)
{
    parity = parityCode;
    set_com(true);
}

void TMain::DataBitsClick(int count)
{
    data_bits = count;
    set_com(true);
}

void TMain::StopBitsClick(int count)
{
    stop_bits = count;
    set_com(true);
}

void TMain::ShowBaudRate()
{
    for (QAction *item : baud_items)
        item->setChecked(item->text().toInt() == baud_rate);
    ShowOtherBaudRates();
}

void TMain::ShowParity()
{
    NoParity1->setChecked(parity == 0);
    oddparity1->setChecked(parity == 1);
    EvenParity1->setChecked(parity == 2);
}

void TMain::ShowDataBits(int count)
{
    N7DataBits1->setChecked(count == 7);
    N8DataBits1->setChecked(count == 8);
}

void TMain::ShowStopBits(int count)
{
    N1stopbit1->setChecked(count == 1);
    N2stopbits1->setChecked(count == 2);
}

void TMain::AutoDetectClick()
{
    if (StatusBarPanel1->text().contains(QLatin1String("Online"))) {
        serial.last_com_port = serial.com_port;
        serial.c_close();
    }

    if (!com_items[0]->isChecked()) {
        for (int port = 1; port <= kPortCount; ++port)
            com_items[static_cast<size_t>(port)]->setVisible(true);
        for (QMenu *group : com_groups)
            group->menuAction()->setVisible(true);
        return;
    }

    refreshPortDevices();
    // A present port is one that opens and takes 8N1; nothing is sent or read. A number
    // pinned to a network port stays listed unprobed: a connection to every server behind
    // the list would cost seconds and wake machines for nothing.
    for (int port = 1; port <= kPortCount; ++port) {
        QAction *item = com_items[static_cast<size_t>(port)];
        if (zorvane::serial::network::isNetworkTarget(port_names(port, DocumentsFolder))) {
            item->setVisible(true);
        } else if (serial.c_open(port, baud_rate, 8, 0, 1)) {
            item->setVisible(true);
            serial.c_close();
        } else {
            item->setVisible(false);
        }
    }
    if (baud_rate == 0)
        zorvane::app::showMessage(this, QStringLiteral("Zorvane Error - Baud rate=0!"));

    for (QMenu *group : com_groups) {
        const auto items = group->actions();
        const bool anyVisible =
            std::any_of(items.begin(), items.end(), [](QAction *a) { return a->isVisible(); });
        if (!anyVisible)
            group->menuAction()->setVisible(false);
    }
    notePresentAtProbe();
}
