// The iWRAP multiplexing mode of the main window: its check box and the link buttons.
#include "app/main_window/MainForm.h"

#include "app/main_window/ClickFirstCheckBox.h"

#include <QAction>
#include <QComboBox>

void TMain::MUX1Click()
{
    // Runs before the box changes: a clear box means the mode is being entered.
    if (!MUX1->isChecked()) {
        session.enterMux();
        // The module's frames from now on show as escapes rather than raw bytes.
        UnReadable1->setChecked(false);
    } else {
        session.leaveMux();
    }
}

void TMain::SelectClick()
{
    session.selectLink(Channel->currentText());
}

void TMain::CloseCHClick()
{
    mc_puts(QStringLiteral("CLOSE ") + Channel->currentText());
}
