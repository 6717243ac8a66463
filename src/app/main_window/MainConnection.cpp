// Connection control of the main window: which port is open, with which line settings,
// the probe of all port numbers, and the link check that notices and reopens a lost port.
#include "app/main_window/MainForm.h"

#include "app/MessageBoxes.h"
#include "serial/AdapterLookup.h"
#include "serial/ConnectionText.h"
#include "serial/PortClaim.h"
#include "serial/PortNames.h"

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
    return session.connection().portsWithDevice();
}

void TMain::connectConnection()
{
    using zorvane::session::Connection;
    Connection &connection = session.connection();
    connect(&connection, &Connection::portChosen, this, &TMain::showPortChosen);
    connect(&connection, &Connection::noPort, this, [this] {
        StatusBarPanel1->setText(offlineText(comItemName(session.connection().lastPort())));
        setWindowTitle(captionText(app_title, StatusBarPanel1->text()) + captionSuffix());
    });
    connect(&connection, &Connection::opened, this, &TMain::portOpened);
    connect(&connection, &Connection::openFailed, this, &TMain::portOpenFailed);
    connect(&connection, &Connection::countdownSecond, this, [this](double seconds) {
        const int last = session.connection().lastPort();
        StatusBarPanel1->setText(last != 0 ? countdownText(comItemName(last), seconds)
                                           : QStringLiteral("Offline"));
    });
}

void TMain::set_com(bool show)
{
    // Only the link check opens without showing a failure: that is the quiet reopening.
    session.connection().reopen(show ? SerialIo::OpenKind::Chosen
                                     : SerialIo::OpenKind::QuietReopen);
}

void TMain::showPortChosen()
{
    const zorvane::session::Connection &connection = session.connection();
    for (int port = 1; port <= kPortCount; ++port)
        com_items[static_cast<size_t>(port)]->setChecked(false);
    QAction *current = com_items[static_cast<size_t>(connection.port())];
    current->setChecked(true);
    current->setVisible(true);

    ShowBaudRate();
    ShowParity();
    ShowDataBits(connection.lineSettings().dataBits);
    ShowStopBits(connection.lineSettings().stopBits);
    ShowFlowControl();
}

void TMain::warnOfBaudRateZero()
{
    if (session.connection().lineSettings().baudRate == 0)
        zorvane::app::showMessage(this, QStringLiteral("Zorvane Error - Baud rate=0!"));
}

void TMain::portOpened()
{
    const zorvane::session::Connection &connection = session.connection();
    const int port = connection.port();
    modemLinesPortOpened(port);
    warnOfBaudRateZero();
    StatusBarPanel1->setText(onlineText(comItemName(port), connection.lineSettings()));
    networkPortNotes(connection.openKind() == SerialIo::OpenKind::Chosen);
    // The caption is set before any message box: the receive timer keeps ticking while the
    // box is open, and its countdown text must not end up in the caption.
    setWindowTitle(captionText(app_title, StatusBarPanel1->text()) + captionSuffix());
    if (ResetonConnect->isChecked())
        BtnRClick();
}

void TMain::portOpenFailed(const QString &reason)
{
    const zorvane::session::Connection &connection = session.connection();
    const int port = connection.lastPort();
    warnOfBaudRateZero();
    StatusBarPanel1->setText(offlineText(comItemName(port)));
    setWindowTitle(captionText(app_title, StatusBarPanel1->text()) + captionSuffix());
    if (connection.openKind() == SerialIo::OpenKind::Chosen)
        zorvane::app::showMessage(this, QStringLiteral("Unable to Open Port ") + comItemName(port),
                                  reason);
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
    session.connection().openPort(com, show ? SerialIo::OpenKind::Chosen
                                            : SerialIo::OpenKind::QuietReopen);
}

void TMain::COMxClick(QAction *sender)
{
    for (int port = 1; port <= kPortCount; ++port) {
        if (com_items[static_cast<size_t>(port)] == sender) {
            session.connection().openPort(port);
            return;
        }
    }
}

void TMain::BaudClick(int baudRate)
{
    session.connection().setBaudRate(baudRate);
    set_com(true);
}

void TMain::ParityClick(int parityCode)
{
    session.connection().setParity(parityCode);
    set_com(true);
}

void TMain::DataBitsClick(int count)
{
    session.connection().setDataBits(count);
    set_com(true);
}

void TMain::StopBitsClick(int count)
{
    session.connection().setStopBits(count);
    set_com(true);
}

void TMain::ShowBaudRate()
{
    const int rate = session.connection().lineSettings().baudRate;
    for (QAction *item : baud_items)
        item->setChecked(item->text().toInt() == rate);
    ShowOtherBaudRates();
}

void TMain::ShowParity()
{
    const int parity = session.connection().lineSettings().parity;
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
    if (StatusBarPanel1->text().contains(QLatin1String("Online")))
        session.connection().close();

    if (!com_items[0]->isChecked()) {
        for (int port = 1; port <= kPortCount; ++port)
            com_items[static_cast<size_t>(port)]->setVisible(true);
        for (QMenu *group : com_groups)
            group->menuAction()->setVisible(true);
        return;
    }

    refreshPortDevices();
    // A present port is one that opens and takes 8N1; nothing is sent or read.
    const auto present = session.connection().probePorts();
    for (int port = 1; port <= kPortCount; ++port)
        com_items[static_cast<size_t>(port)]->setVisible(present[static_cast<size_t>(port)]);
    warnOfBaudRateZero();

    for (QMenu *group : com_groups) {
        const auto items = group->actions();
        const bool anyVisible =
            std::any_of(items.begin(), items.end(), [](QAction *a) { return a->isVisible(); });
        if (!anyVisible)
            group->menuAction()->setVisible(false);
    }
    notePresentAtProbe();
}
