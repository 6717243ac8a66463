// The main window's part of plots: the Options item that shows the Plot window, and where
// that window's exports go. The window itself listens to the module session.
#include "app/main_window/MainForm.h"

#include "app/plot_window/PlotWindow.h"
#include "settings/Profile.h"

#include <QAction>

void TMain::createPlotWindow()
{
    Form_Plot = new zorvane::app::PlotWindow(this, session);
    connect(Form_Plot, &zorvane::app::PlotWindow::closed, this,
            [this] { Plot1->setChecked(false); });
}

void TMain::PlotClick()
{
    // The item's mark has already toggled; the window's visibility decides, and closing the
    // window takes the mark off, so both stay in step.
    showPlotWindow(!Form_Plot->isVisible());
}

void TMain::showPlotWindow(bool visible)
{
    // Exports go beside the logs, with the profile's name in front as theirs have it.
    Form_Plot->setExportPlace(DocumentsFolder, zorvane::settings::logFilePrefix(m_profile));
    Form_Plot->setVisible(visible);
    Plot1->setChecked(visible);
    if (visible) {
        Form_Plot->raise();
        Form_Plot->activateWindow();
    }
}
