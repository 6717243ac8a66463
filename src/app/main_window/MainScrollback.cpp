#include "app/MessageBoxes.h"
#include "app/main_window/MainForm.h"
#include "terminal/view/TerminalModel.h"

void TMain::setUpScrollback()
{
    // Queued: the notice comes from inside a publication of new lines.
    connect(
        ListModel, &zorvane::terminal::TerminalModel::spillStopped, this,
        [this](const QString &text) { zorvane::app::showMessage(this, text); },
        Qt::QueuedConnection);
}
