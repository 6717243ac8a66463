#include "app/bgapi_window/Unit_bgapi.h"

#include "app/bgapi_window/BgapiHost.h"
#include "app/bgapi_window/DesignLayout.h"
#include "app/bgapi_window/WindowRoles.h"
#include "app/main_window/WindowPlace.h"
#include "bgapi/BgapiState.h"
#include "bgapi/Formats.h"
#include "bgapi/Overloaded.h"
#include "serial/LinePause.h"

#include <QCloseEvent>
#include <QEvent>
#include <QFrame>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QTimer>

using zorvane::app::DesignPlace;
using zorvane::bgapi::LoggerReading;
using zorvane::bgapi::commands::LoggerCommand;
namespace commands = zorvane::bgapi::commands;

namespace {

constexpr QSize kClientSize(851, 628);
constexpr int kTimer1IntervalMs = 100;
constexpr int kAllPauseMs = 10;
constexpr int kShowOffset = 250;
// The attribute text keeps its newest pieces once it is this long, so a logger that keeps
// notifying cannot grow it without end.
constexpr int kAttrTextLimit = 30000;

const QString kNoAddressNote = QStringLiteral("No scanned device selected: nothing sent");
const QString kBadChannelNote = QStringLiteral("Not a whole number: the connection stays %1");

} // namespace

TForm_BGAPI::TForm_BGAPI(QWidget *mainWindow, std::unique_ptr<zorvane::app::BgapiHost> host)
    : QWidget(mainWindow, Qt::Tool), m_host(std::move(host))
{
    zorvane::app::installBgapiWindowRoles();
    setObjectName(QStringLiteral("Form_BGAPI"));
    setWindowTitle(QStringLiteral("BGAPI Interface"));
    setAccessibleName(QStringLiteral("BGAPI Interface"));
    buildPanel1();
    buildPanel2();
    applyLayout();

    Timer1 = new QTimer(this);
    Timer1->setInterval(kTimer1IntervalMs);
    connect(Timer1, &QTimer::timeout, this, &TForm_BGAPI::Timer1Timer);
}

TForm_BGAPI::~TForm_BGAPI() = default;

namespace {

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAccessibleName(caption);
    return button;
}

QLineEdit *makeEdit(QWidget *parent, const char *name, const QString &text, const QString &role)
{
    auto *edit = new QLineEdit(text, parent);
    edit->setObjectName(QLatin1String(name));
    edit->setAccessibleName(role);
    return edit;
}

QFrame *makePanel(QWidget *parent, const char *name, const QString &role)
{
    auto *panel = new QFrame(parent);
    panel->setObjectName(QLatin1String(name));
    panel->setAccessibleName(role);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    return panel;
}

} // namespace

void TForm_BGAPI::buildPanel1()
{
    Panel1 = makePanel(this, "Panel1", QStringLiteral("BGAPI commands"));
    QWidget *p = Panel1;
    btn_ble_cmd_connection_disconnect =
        makeButton(p, "btn_ble_cmd_connection_disconnect", QStringLiteral("connection_disconnect"));
    edit_chan = makeEdit(p, "edit_chan", QStringLiteral("0"), QStringLiteral("connection handle"));
    edit_error = makeEdit(p, "edit_error", QStringLiteral("-"), QStringLiteral("result"));
    gap_set_mode = makeButton(p, "gap_set_mode", QStringLiteral("gap_set_mode"));
    gap_end_procedure = makeButton(p, "gap_end_procedure", QStringLiteral("gap_end_procedure"));
    gap_set_scan_parameters =
        makeButton(p, "gap_set_scan_parameters", QStringLiteral("gap_set_scan_parameters"));
    gap_discover = makeButton(p, "gap_discover", QStringLiteral("gap_discover"));
    All = makeButton(p, "All", QStringLiteral("All"));
    btn_reset = makeButton(p, "btn_reset", QStringLiteral("reset"));
    System_Info = makeButton(p, "System_Info", QStringLiteral("System Info"));
    edit_system_info =
        makeEdit(p, "edit_system_info", QString(), QStringLiteral("firmware version"));
    Connect = makeButton(p, "Connect", QStringLiteral("Connect"));
    MAC_Addr = makeEdit(p, "MAC_Addr", QString(), QStringLiteral("device address"));
    connect_note = new QLabel(p);
    connect_note->setObjectName(QStringLiteral("connect_note"));
    connect_note->setAccessibleName(QStringLiteral("connect note"));
    Attr_Read_by_Group = makeButton(p, "Attr_Read_by_Group", QStringLiteral("Attr Read by Group"));
    edit_start =
        makeEdit(p, "edit_start", QStringLiteral("-"), QStringLiteral("group first handle"));
    edit_end = makeEdit(p, "edit_end", QStringLiteral("-"), QStringLiteral("group last handle"));
    edit_uuid = makeEdit(p, "edit_uuid", QStringLiteral("-"), QStringLiteral("group UUID"));
    Attr_Find_Information =
        makeButton(p, "Attr_Find_Information", QStringLiteral("Attr Find Information"));
    edit_handle = makeEdit(p, "edit_handle", QStringLiteral("-"), QStringLiteral("handle"));
    edit_char =
        makeEdit(p, "edit_char", QStringLiteral("-"), QStringLiteral("characteristic handle"));
    edit_uid = makeEdit(p, "edit_uid", QStringLiteral("-"), QStringLiteral("descriptor UUID"));
    Attr_Write = makeButton(p, "Attr_Write", QStringLiteral("Attr Write"));
    edit_result =
        makeEdit(p, "edit_result", QStringLiteral("-"), QStringLiteral("procedure result"));
    edit_ahandle =
        makeEdit(p, "edit_ahandle", QStringLiteral("-"), QStringLiteral("procedure handle"));

    connect(btn_ble_cmd_connection_disconnect, &QPushButton::clicked, this,
            &TForm_BGAPI::btn_ble_cmd_connection_disconnectClick);
    connect(gap_set_mode, &QPushButton::clicked, this, &TForm_BGAPI::gap_set_modeClick);
    connect(gap_end_procedure, &QPushButton::clicked, this, &TForm_BGAPI::gap_end_procedureClick);
    connect(gap_set_scan_parameters, &QPushButton::clicked, this,
            &TForm_BGAPI::gap_set_scan_parametersClick);
    connect(gap_discover, &QPushButton::clicked, this, &TForm_BGAPI::gap_discoverClick);
    connect(All, &QPushButton::clicked, this, &TForm_BGAPI::AllClick);
    connect(btn_reset, &QPushButton::clicked, this, &TForm_BGAPI::btn_resetClick);
    connect(System_Info, &QPushButton::clicked, this, &TForm_BGAPI::System_InfoClick);
    connect(Connect, &QPushButton::clicked, this, &TForm_BGAPI::ConnectClick);
    connect(Attr_Read_by_Group, &QPushButton::clicked, this, &TForm_BGAPI::Attr_Read_by_GroupClick);
    connect(Attr_Find_Information, &QPushButton::clicked, this,
            &TForm_BGAPI::Attr_Find_InformationClick);
    connect(Attr_Write, &QPushButton::clicked, this, &TForm_BGAPI::Attr_WriteClick);
    connect(edit_chan, &QLineEdit::textChanged, this, &TForm_BGAPI::edit_chanChange);
}

void TForm_BGAPI::buildPanel2()
{
    const QString title = QStringLiteral("OnSolution / Senonics Bluefin logger");
    Panel2 = makePanel(this, "Panel2", title);
    QWidget *p = Panel2;
    Label1 = new QLabel(title, p);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAccessibleName(title);
    d_Revision_Register =
        makeButton(p, "d_Revision_Register", QStringLiteral("d. Revision Register"));
    edit_attr = makeEdit(p, "edit_attr", QStringLiteral("-"), QStringLiteral("attribute value"));
    edit_attr->setMaxLength(kAttrTextLimit + 1000);
    j_SHT_temp_meas = makeButton(p, "j_SHT_temp_meas", QStringLiteral("j. SHT temp meas"));
    edit_temp = makeEdit(p, "edit_temp", QStringLiteral("-"), QStringLiteral("temperature"));
    k_Humidity_Meas = makeButton(p, "k_Humidity_Meas", QStringLiteral("k. Humidity Meas"));
    edit_hum = makeEdit(p, "edit_hum", QStringLiteral("-"), QStringLiteral("humidity"));
    l_SHT_reading = makeButton(p, "l_SHT_reading", QStringLiteral("l. SHT reading"));
    edit_num = makeEdit(p, "edit_num", QStringLiteral("-"), QStringLiteral("sample"));
    u_Flash_Burst = makeButton(p, "u_Flash_Burst", QStringLiteral("u. Flash Burst"));

    connect(d_Revision_Register, &QPushButton::clicked, this,
            &TForm_BGAPI::d_Revision_RegisterClick);
    connect(j_SHT_temp_meas, &QPushButton::clicked, this, &TForm_BGAPI::j_SHT_temp_measClick);
    connect(k_Humidity_Meas, &QPushButton::clicked, this, &TForm_BGAPI::k_Humidity_MeasClick);
    connect(l_SHT_reading, &QPushButton::clicked, this, &TForm_BGAPI::l_SHT_readingClick);
    connect(u_Flash_Burst, &QPushButton::clicked, this, &TForm_BGAPI::u_Flash_BurstClick);
}

void TForm_BGAPI::applyLayout()
{
    const auto caption = [](QPushButton *button) { return button->text(); };
    // The longest result text edit_error shows, and a 128-bit UUID.
    const QString longestResult = QStringLiteral("Invalid cmd parameters");
    const QString longestUuid(32, QLatin1Char('D'));
    const QString address = QStringLiteral("DD:DD:DD:DD:DD:DD");
    const QList<DesignPlace> panel1 = {
        {btn_ble_cmd_connection_disconnect,
         {90, 20, 150, 22},
         caption(btn_ble_cmd_connection_disconnect)},
        {edit_chan, {250, 20, 49, 22}, QStringLiteral("00000")},
        {edit_error, {482, 20, 111, 22}, longestResult, 255},
        {gap_set_mode, {90, 55, 150, 22}, caption(gap_set_mode)},
        {gap_end_procedure, {90, 90, 150, 22}, caption(gap_end_procedure)},
        {gap_set_scan_parameters, {90, 125, 150, 22}, caption(gap_set_scan_parameters)},
        {gap_discover, {90, 160, 150, 22}, caption(gap_discover)},
        {All, {10, 92, 55, 22}, caption(All)},
        {btn_reset, {410, 52, 87, 22}, caption(btn_reset)},
        {System_Info, {410, 76, 150, 22}, caption(System_Info)},
        {edit_system_info, {408, 112, 289, 25}, QStringLiteral("ver 65535.65535.65535.65535")},
        {Connect, {10, 192, 150, 22}, caption(Connect)},
        {MAC_Addr, {224, 192, 217, 25}, address},
        {connect_note, {450, 192, 287, 25}, kNoAddressNote},
        {Attr_Read_by_Group, {10, 224, 150, 22}, caption(Attr_Read_by_Group)},
        {edit_start, {226, 224, 49, 22}, QStringLiteral("65535")},
        {edit_end, {290, 224, 49, 22}, QStringLiteral("65535")},
        {edit_uuid, {346, 224, 191, 22}, longestUuid, 391},
        {Attr_Find_Information, {10, 256, 150, 22}, caption(Attr_Find_Information)},
        {edit_handle, {226, 256, 49, 22}, QStringLiteral("65535")},
        {edit_char, {290, 256, 49, 22}, QStringLiteral("65535")},
        {edit_uid, {346, 256, 49, 22}, QStringLiteral("DDDD")},
        {Attr_Write, {10, 288, 150, 22}, caption(Attr_Write)},
        {edit_result, {226, 288, 111, 22}, QStringLiteral("65535")},
        {edit_ahandle, {346, 288, 49, 22}, QStringLiteral("255")},
    };
    const QList<DesignPlace> panel2 = {
        {Label1, {88, 16, 233, 17}, Label1->text()},
        {d_Revision_Register, {18, 44, 150, 22}, caption(d_Revision_Register)},
        {edit_attr, {194, 43, 191, 22}, QString()},
        {j_SHT_temp_meas, {18, 76, 150, 22}, caption(j_SHT_temp_meas)},
        {edit_temp, {194, 75, 191, 22}, QStringLiteral("-40.00C")},
        {k_Humidity_Meas, {18, 108, 150, 22}, caption(k_Humidity_Meas)},
        {edit_hum, {194, 107, 191, 22}, QStringLiteral("100.00rH")},
        {l_SHT_reading, {18, 140, 150, 22}, caption(l_SHT_reading)},
        {edit_num, {250, 155, 87, 22}, QStringLiteral("65535")},
        {u_Flash_Burst, {18, 172, 150, 22}, caption(u_Flash_Burst)},
    };
    const double scale = zorvane::app::designScale(panel1 + panel2);
    zorvane::app::placeAll(
        {{Panel1, {16, 16, 745, 353}, QString()}, {Panel2, {16, 400, 393, 209}, QString()}}, scale);
    zorvane::app::placeAll(panel1 + panel2, scale);
    resize(zorvane::app::scaledRect(QRect(QPoint(0, 0), kClientSize), scale).size());
}

void TForm_BGAPI::changeEvent(QEvent *event)
{
    // A larger font, from the user or the system, lays the window out anew.
    if (event->type() == QEvent::FontChange && Panel2)
        applyLayout();
    QWidget::changeEvent(event);
}

// --- sending

void TForm_BGAPI::bgapi_send(const QByteArray &packet)
{
    m_host->c_puts(QString::fromLatin1(packet));
    m_host->bgapi().commandSent();
    edit_num->clear();
}

std::optional<int> TForm_BGAPI::channelNumber()
{
    bool ok = false;
    const int number = edit_chan->text().trimmed().toInt(&ok);
    markChannel(ok);
    if (!ok)
        return std::nullopt;
    return number;
}

void TForm_BGAPI::markChannel(bool valid)
{
    // A field that holds no number is marked where the user types, not with a message box,
    // since the field changes with every key.
    if (valid) {
        edit_chan->setStyleSheet(QString());
        edit_chan->setToolTip(QString());
        edit_chan->setAccessibleDescription(QString());
        return;
    }
    const QString note = kBadChannelNote.arg(m_host->bgapi().bgapi_connection);
    edit_chan->setStyleSheet(QStringLiteral("QLineEdit { border: 2px solid #C00000; }"));
    edit_chan->setToolTip(note);
    edit_chan->setAccessibleDescription(note);
}

void TForm_BGAPI::btn_ble_cmd_connection_disconnectClick()
{
    const std::optional<int> channel = channelNumber();
    if (!channel)
        return;
    bgapi_send(commands::connection_disconnect(quint8(*channel & 0xFF)));
}

void TForm_BGAPI::gap_set_modeClick()
{
    bgapi_send(commands::gap_set_mode());
}

void TForm_BGAPI::gap_end_procedureClick()
{
    bgapi_send(commands::gap_end_procedure());
}

void TForm_BGAPI::gap_set_scan_parametersClick()
{
    bgapi_send(commands::gap_set_scan_parameters());
}

void TForm_BGAPI::gap_discoverClick()
{
    bgapi_send(commands::gap_discover());
}

void TForm_BGAPI::btn_resetClick()
{
    bgapi_send(commands::system_reset());
}

void TForm_BGAPI::System_InfoClick()
{
    bgapi_send(commands::system_get_info());
    edit_system_info->clear();
}

void TForm_BGAPI::ConnectClick()
{
    // Only an entry a scan response added has an address to connect to; the placeholder, an
    // inquiry result or no selection would give a packet without one.
    const std::optional<QString> entry = m_host->selectedAddressEntry();
    const std::optional<zorvane::bgapi::RawAddress> raw =
        entry ? m_host->bgapi().addresses.rawAddressOf(*entry) : std::nullopt;
    if (!raw) {
        connect_note->setText(kNoAddressNote);
        return;
    }
    connect_note->clear();
    bgapi_send(commands::gap_connect_direct(*raw));
    MAC_Addr->setText(*entry);
}

void TForm_BGAPI::Attr_Read_by_GroupClick()
{
    edit_start->clear();
    edit_end->clear();
    edit_uuid->clear();
    bgapi_send(commands::attclient_read_by_group_type(m_host->bgapi().bgapi_connection));
}

void TForm_BGAPI::Attr_Find_InformationClick()
{
    edit_handle->clear();
    edit_char->clear();
    edit_uid->clear();
    bgapi_send(commands::attclient_find_information(m_host->bgapi().bgapi_connection));
}

void TForm_BGAPI::Attr_WriteClick()
{
    edit_result->clear();
    edit_ahandle->clear();
    bgapi_send(commands::attclient_attribute_write(m_host->bgapi().bgapi_connection));
    edit_attr->clear();
}

void TForm_BGAPI::AllClick()
{
    // The pauses hold everything, the receive loop included, so the module gets the commands
    // spaced out and its answers are decoded once the whole sequence is out. The sequence
    // opens with the disconnect, whose handle must be a number: without one nothing is sent,
    // as a scan started on a connection that was not closed would not be what was asked for.
    if (!channelNumber())
        return;
    btn_ble_cmd_connection_disconnectClick();
    zorvane::serial::linePause(kAllPauseMs);
    gap_set_modeClick();
    zorvane::serial::linePause(kAllPauseMs);
    gap_end_procedureClick();
    zorvane::serial::linePause(kAllPauseMs);
    gap_set_scan_parametersClick();
    zorvane::serial::linePause(kAllPauseMs);
    gap_discoverClick();
}

void TForm_BGAPI::edit_chanChange()
{
    if (const std::optional<int> channel = channelNumber())
        m_host->bgapi().bgapi_connection = quint16(*channel);
}

// --- the logger panel

void TForm_BGAPI::loggerCommand(LoggerCommand command)
{
    zorvane::bgapi::BgapiState &state = m_host->bgapi();
    bgapi_send(commands::loggerCommand(command, state.bgapi_connection));
    edit_attr->clear();
    state.logger.commandGiven(command);
}

void TForm_BGAPI::d_Revision_RegisterClick()
{
    loggerCommand(LoggerCommand::RevisionRegister);
}

void TForm_BGAPI::j_SHT_temp_measClick()
{
    loggerCommand(LoggerCommand::TemperatureMeasure);
}

void TForm_BGAPI::k_Humidity_MeasClick()
{
    loggerCommand(LoggerCommand::HumidityMeasure);
}

void TForm_BGAPI::l_SHT_readingClick()
{
    loggerCommand(LoggerCommand::Reading);
}

void TForm_BGAPI::u_Flash_BurstClick()
{
    loggerCommand(LoggerCommand::FlashBurst);
}

// --- what the decoder found

void TForm_BGAPI::showMessage(const zorvane::bgapi::Message &message)
{
    using namespace zorvane::bgapi;
    std::visit(
        Overloaded{
            [this](const SystemInfo &m) { edit_system_info->setText(m.text); },
            [this](const ConnectDirect &m) { edit_chan->setText(QString::number(m.connection)); },
            [this](const ProcedureCompleted &m) {
                edit_result->setText(QString::number(m.result));
                edit_ahandle->setText(QString::number(m.handleLow));
            },
            [this](const GroupFound &m) {
                edit_start->setText(QString::number(m.first));
                edit_end->setText(QString::number(m.last));
                edit_uuid->setText(m.uuid);
            },
            [this](const InformationFound &m) {
                edit_handle->setText(QString::number(m.connection));
                edit_char->setText(QString::number(m.handle));
                edit_uid->setText(m.uuid);
            },
            [this](const AttributeValue &m) {
                edit_handle->setText(QString::number(m.handle));
                QString attr = edit_attr->text() + m.pieces;
                if (attr.size() > kAttrTextLimit) {
                    // Whole pieces go, oldest first.
                    const qsizetype cut =
                        attr.indexOf(QLatin1Char(' '), attr.size() - kAttrTextLimit);
                    attr = attr.sliced(cut < 0 ? attr.size() - kAttrTextLimit : cut);
                }
                edit_attr->setText(attr);
                if (m.reading.sample)
                    edit_num->setText(QString::number(*m.reading.sample));
                if (m.reading.temperature)
                    edit_temp->setText(*m.reading.temperature);
                if (m.reading.humidity)
                    edit_hum->setText(*m.reading.humidity);
            },
            [this](const ScanResponse &m) { MAC_Addr->setText(addressText(m.address)); },
            [](const auto &) {},
        },
        message);
}

// --- the window itself

void TForm_BGAPI::Timer1Timer()
{
    const QString text = zorvane::bgapi::resultText(m_host->bgapi().bgapi_result);
    if (edit_error->text() != text)
        edit_error->setText(text);
}

void TForm_BGAPI::showEvent(QShowEvent *event)
{
    // A spontaneous show is the window system restoring it, not the program opening it.
    if (!event->spontaneous())
        FormShow();
    // The result is refreshed only while someone can see it: a hidden window costs no wake-ups.
    Timer1Timer();
    Timer1->start();
    QWidget::showEvent(event);
}

void TForm_BGAPI::hideEvent(QHideEvent *event)
{
    Timer1->stop();
    QWidget::hideEvent(event);
}

void TForm_BGAPI::FormShow()
{
    const QWidget *main = parentWidget();
    if (!main)
        return;
    // Beside the main window, moved sideways only: it keeps its own height on the screen,
    // from the first show on. Where that would put part of it off the screen (a small
    // screen, a main window near its right edge) it comes inside, so its close button and
    // fields stay in reach.
    const int top = pos().y();
    QSize frame = frameGeometry().size();
    // Before its first show the window has no frame yet: allow for a title bar above.
    if (frame == size())
        frame.rheight() += style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
    const QRect wanted(QPoint(main->pos().x() + kShowOffset, top), frame);
    move(zorvane::app::keepOnScreen(wanted, zorvane::app::availableScreenAreas()));
}

void TForm_BGAPI::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted())
        FormClose();
}

void TForm_BGAPI::FormClose()
{
    m_host->bgapiWindowClosed();
}
