#pragma once

#include "bgapi/Commands.h"
#include "bgapi/Messages.h"

#include <QWidget>

#include <memory>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace zorvane::app {
class BgapiHost;
}

// The "BGAPI Interface" tool window: buttons that send ready-made BGAPI commands and fields
// that show what the decoder finds in the answers, with the sensor logger's panel below.
// Created hidden with the main window and kept for the whole run; its visibility is what
// switches the receive side into decoding.
class TForm_BGAPI : public QWidget
{
    Q_OBJECT
public:
    TForm_BGAPI(QWidget *mainWindow, std::unique_ptr<zorvane::app::BgapiHost> host);
    ~TForm_BGAPI() override;

    // The single send path of every button: the packet goes out, and the answers to come
    // are collected afresh.
    void bgapi_send(const QByteArray &packet);
    // Puts what one decoded response or event carries into the fields.
    void showMessage(const zorvane::bgapi::Message &message);

    // Handlers
    void btn_ble_cmd_connection_disconnectClick();
    void gap_set_modeClick();
    void gap_end_procedureClick();
    void gap_set_scan_parametersClick();
    void gap_discoverClick();
    void btn_resetClick();
    void System_InfoClick();
    void ConnectClick();
    void Attr_Read_by_GroupClick();
    void Attr_Find_InformationClick();
    void Attr_WriteClick();
    void AllClick();
    void edit_chanChange();
    void Timer1Timer();
    void FormShow();
    void FormClose();
    void d_Revision_RegisterClick();
    void j_SHT_temp_measClick();
    void k_Humidity_MeasClick();
    void l_SHT_readingClick();
    void u_Flash_BurstClick();

    // Panel1: BGAPI operations
    QFrame *Panel1 = nullptr;
    QPushButton *btn_ble_cmd_connection_disconnect = nullptr;
    QLineEdit *edit_chan = nullptr;
    QLineEdit *edit_error = nullptr;
    QPushButton *gap_set_mode = nullptr;
    QPushButton *gap_end_procedure = nullptr;
    QPushButton *gap_set_scan_parameters = nullptr;
    QPushButton *gap_discover = nullptr;
    QPushButton *All = nullptr;
    QPushButton *btn_reset = nullptr;
    QPushButton *System_Info = nullptr;
    QLineEdit *edit_system_info = nullptr;
    QPushButton *Connect = nullptr;
    QLineEdit *MAC_Addr = nullptr;
    // Says why Connect sent nothing; empty otherwise.
    QLabel *connect_note = nullptr;
    QPushButton *Attr_Read_by_Group = nullptr;
    QLineEdit *edit_start = nullptr;
    QLineEdit *edit_end = nullptr;
    QLineEdit *edit_uuid = nullptr;
    QPushButton *Attr_Find_Information = nullptr;
    QLineEdit *edit_handle = nullptr;
    QLineEdit *edit_char = nullptr;
    QLineEdit *edit_uid = nullptr;
    QPushButton *Attr_Write = nullptr;
    QLineEdit *edit_result = nullptr;
    QLineEdit *edit_ahandle = nullptr;

    // Panel2: the sensor logger
    QFrame *Panel2 = nullptr;
    QLabel *Label1 = nullptr;
    QPushButton *d_Revision_Register = nullptr;
    QLineEdit *edit_attr = nullptr;
    QPushButton *j_SHT_temp_meas = nullptr;
    QLineEdit *edit_temp = nullptr;
    QPushButton *k_Humidity_Meas = nullptr;
    QLineEdit *edit_hum = nullptr;
    QPushButton *l_SHT_reading = nullptr;
    QLineEdit *edit_num = nullptr;
    QPushButton *u_Flash_Burst = nullptr;

    QTimer *Timer1 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildPanel1();
    void buildPanel2();
    // Places every control at its design position, all scaled alike when the font needs more
    // room than the design gave it.
    void applyLayout();
    void loggerCommand(zorvane::bgapi::commands::LoggerCommand command);
    // The connection handle in edit_chan, or none (and the field marked) when it is not a
    // whole number.
    std::optional<int> channelNumber();
    void markChannel(bool valid);

    std::unique_ptr<zorvane::app::BgapiHost> m_host;
};
