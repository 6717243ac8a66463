// The "Modem lines" toolbar in the window: its place under the command toolbars, its Options
// item after the others, and its settings beside the rest of the file's.
#include "app/main_window/MainForm.h"

#include "app/main_window/ModemToolbar.h"

#include <QAction>

void TMain::buildModemLines()
{
    addToolBarBreak();
    ToolBar_ModemLines = new zorvane::app::ModemToolbar(this);
    addToolBar(ToolBar_ModemLines);
    ToolBar_ModemLines->hide();

    connect(ModemLines1, &QAction::triggered, this,
            [this] { ToolbarSwitchClick(ModemLines1, ToolBar_ModemLines); });
    connect(ToolBar_ModemLines->toggleViewAction(), &QAction::toggled, ModemLines1,
            &QAction::setChecked);
}

void TMain::applyModemLineSettings()
{
    ToolBar_ModemLines->lineSettings().load(*SettingsRoot);
    ToolBar_ModemLines->showSettings();
    ModemLines1->setChecked(!ToolBar_ModemLines->isHidden());
}

void TMain::saveModemLineSettings()
{
    ToolBar_ModemLines->lineSettings().save(*SettingsRoot);
}

void TMain::modemLinesPortOpened(int port)
{
    ToolBar_ModemLines->setRtsByFlowControl(serial.flowControl(port) ==
                                            zorvane::serial::FlowControl::RtsCts);
    ToolBar_ModemLines->portOpened(port, serial.link());
}
