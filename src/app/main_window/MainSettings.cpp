// The settings file of the main window: read or created at start-up, carried into the window
// and the session variables, and written back at shutdown.
#include "app/main_window/MainForm.h"

#include "app/MessageBoxes.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QSignalBlocker>
#include <QToolBar>

using namespace zorvane::settings;

void TMain::LoadSettings()
{
    XMLDocument1.FileName = DocumentsFolder + QLatin1String(kSettingsFileName);
    SettingsRoot.reset();
    if (QFileInfo::exists(XMLDocument1.FileName)) {
        SettingsRoot = OpenSettingsRoot(XMLDocument1);
        if (!SettingsRoot) {
            zorvane::app::showMessage(this, QStringLiteral("Unable to open file: ") +
                                                XMLDocument1.FileName);
            WriteDefaultSettings();
        }
    } else {
        WriteDefaultSettings();
    }
}

void TMain::WriteDefaultSettings()
{
    XMLDocument1.clear();
    if (CreateSettingsFile())
        SettingsRoot = OpenSettingsRoot(XMLDocument1);
    const bool fromFile = SettingsRoot.has_value();
    if (!fromFile) {
        // No file could be written or read back: the run goes on with the new-file values,
        // and shutdown tries to write them again.
        XMLDocument1.clear();
        XMLDocument1.adopt(newSettingsDom());
        SettingsRoot = OpenSettingsRoot(XMLDocument1);
    }

    TXMLWindowType window = SettingsRoot->Window();
    window.setLeft(NewFileValues::left);
    window.setTop(NewFileValues::top);
    window.setWidth(NewFileValues::width);
    window.setHeight(NewFileValues::height);
    TXMLCOMPORTType port = SettingsRoot->COMPORT();
    port.setCom(NewFileValues::com);
    port.setBaud(NewFileValues::baud);
    port.setDataBits(NewFileValues::dataBits);
    port.setParity(NewFileValues::parity);
    port.setStopbits(NewFileValues::stopbits);
    TXMLToolbarsType toolbars = SettingsRoot->Toolbars();
    toolbars.setSpp(NewFileValues::toolbar);
    toolbars.setBGIO(NewFileValues::toolbar);
    toolbars.setHID(NewFileValues::toolbar);
    toolbars.setGainSpan(NewFileValues::toolbar);
    TXMLOptionsType options = SettingsRoot->Options();
    options.setEcho(NewFileValues::option);
    options.setHexmoder(NewFileValues::option);
    options.setHexmodew(NewFileValues::option);
    options.setUnreadable(NewFileValues::option);
    options.setMultiplex(NewFileValues::option);
    options.setGreenonblack(NewFileValues::option);
    options.setTimestamp(NewFileValues::option);
    options.setDatestamp(NewFileValues::option);
    options.setLog(NewFileValues::option);
    options.setResetOnConnect(NewFileValues::ResetOnConnect);
    TXMLDataType data = SettingsRoot->Data();
    data.setMac(QStringLiteral("Unknown Mac"));
    data.setSend(1, QStringLiteral("SET"));
    for (int n = 2; n <= TXMLDataType::kSendEntries; ++n)
        data.setSend(n, QStringLiteral(" "));
    data.setLogdir(DocumentsFolder + QStringLiteral("test.csv"));

    QString why;
    if (fromFile && !XMLDocument1.save(XMLDocument1.FileName, &why)) {
        zorvane::app::showMessage(this, QStringLiteral("Unable to write file: ") +
                                            XMLDocument1.FileName + QStringLiteral(" (") + why +
                                            QLatin1Char(')'));
    }
}

bool TMain::CreateSettingsFile()
{
    SettingsDocument skeleton;
    skeleton.adopt(newSettingsDom());
    auto root = OpenSettingsRoot(skeleton);
    root->Window();
    if (!skeleton.save(XMLDocument1.FileName)) {
        zorvane::app::showMessage(this, QStringLiteral("Unable to create xml file: ") +
                                            QLatin1String(kSettingsFileName));
        return false;
    }
    return true;
}

void TMain::ApplySettings()
{
    TXMLWindowType window = SettingsRoot->Window();
    // The size is the client area's: the frame is only known once the window manager has
    // framed the window, and this size comes back exactly at the next start.
    move(window.left(), window.top());
    resize(window.width(), window.height());

    TXMLCOMPORTType port = SettingsRoot->COMPORT();
    serial.com_port = port.com();
    baud_rate = port.baud();
    data_bits = port.dataBits();
    parity = port.parity();
    stop_bits = port.stopbits();

    TXMLToolbarsType toolbars = SettingsRoot->Toolbars();
    ToolBar_SPP->setHidden(!toolbars.spp());
    ToolBar_BGIO->setHidden(!toolbars.BGIO());
    ToolBar_HID->setHidden(!toolbars.HID());
    ToolBar_GainSpan->setHidden(!toolbars.GainSpan());

    // Marks only: QAction::setChecked runs no triggered handler, and the MUX box is kept
    // quiet so no multiplexing command goes out.
    TXMLOptionsType options = SettingsRoot->Options();
    Echo1->setChecked(options.echo());
    HexMode->setChecked(options.hexmoder());
    HexModeWrite1->setChecked(options.hexmodew());
    UnReadable1->setChecked(options.unreadable());
    {
        const QSignalBlocker quiet(MUX1);
        MUX1->setChecked(options.multiplex());
    }
    GreenonBlack->setChecked(options.greenonblack());
    TimeStamp1->setChecked(options.timestamp());
    DateStamp1->setChecked(options.datestamp());
    Log1->setChecked(options.log());
    ResetonConnect->setChecked(options.ResetOnConnect());

    TXMLDataType data = SettingsRoot->Data();
    for (int n = 1; n <= TXMLDataType::kSendEntries; ++n)
        SendString->setItemText(n - 1, data.send(n));
    // The file holds ten entries; the eleventh repeats the newest.
    SendString->setItemText(SendString->count() - 1, data.send(1));
    LogFileName = data.logdir();
}

void TMain::SaveSettings()
{
    if (!SettingsRoot)
        return;
    TXMLWindowType window = SettingsRoot->Window();
    window.setLeft(x());
    window.setTop(y());
    window.setWidth(width());
    window.setHeight(height());

    TXMLCOMPORTType port = SettingsRoot->COMPORT();
    port.setCom(serial.com_port);
    port.setBaud(baud_rate);
    port.setDataBits(data_bits);
    port.setParity(parity);
    port.setStopbits(stop_bits);

    TXMLToolbarsType toolbars = SettingsRoot->Toolbars();
    toolbars.setSpp(!ToolBar_SPP->isHidden());
    toolbars.setBGIO(!ToolBar_BGIO->isHidden());
    toolbars.setHID(!ToolBar_HID->isHidden());
    toolbars.setGainSpan(!ToolBar_GainSpan->isHidden());

    TXMLOptionsType options = SettingsRoot->Options();
    options.setEcho(Echo1->isChecked());
    options.setHexmoder(HexMode->isChecked());
    options.setHexmodew(HexModeWrite1->isChecked());
    options.setUnreadable(UnReadable1->isChecked());
    options.setMultiplex(MUX1->isChecked());
    options.setGreenonblack(GreenonBlack->isChecked());
    options.setTimestamp(TimeStamp1->isChecked());
    options.setDatestamp(DateStamp1->isChecked());
    options.setLog(Log1->isChecked());
    options.setResetOnConnect(ResetonConnect->isChecked());

    TXMLDataType data = SettingsRoot->Data();
    data.setMac(MAC_Address->currentText());
    for (int n = 1; n <= TXMLDataType::kSendEntries; ++n)
        data.setSend(n, SendString->itemText(n - 1));
    data.setLogdir(LogFileName);

    // The permission bits decide, not whether this process could write anyway (root can).
    if (SettingsDocument::isReadOnly(XMLDocument1.FileName)) {
        zorvane::app::showMessage(this, QLatin1String(kSettingsFileName) +
                                            QStringLiteral(" file read only - settings not saved"));
        return;
    }
    // A file removed while the program ran is written anew.
    QString why;
    if (!XMLDocument1.save(XMLDocument1.FileName, &why)) {
        zorvane::app::showMessage(this, QStringLiteral("Unable to write file: ") +
                                            XMLDocument1.FileName + QStringLiteral(" (") + why +
                                            QLatin1Char(')'));
    }
}
