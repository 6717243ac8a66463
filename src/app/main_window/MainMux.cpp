// The iWRAP multiplexing mode of the main window: entering and leaving it, the link that
// frames go to, and the frame writer of the transmit path.
#include "app/main_window/MainForm.h"

#include "app/main_window/ClickFirstCheckBox.h"
#include "terminal/MuxFrame.h"

#include <QAction>
#include <QComboBox>

using zorvane::terminal::MuxFrame;

void TMain::MUX1Click()
{
    // Runs before the box changes: a clear box means the mode is being entered.
    if (!MUX1->isChecked()) {
        c_puts(QStringLiteral("SET CONTROL MUX 1"));
        serial.c_putc(13);
        mux_link = MuxFrame::kControlLink;
        // The module's frames from now on show as escapes rather than raw bytes.
        UnReadable1->setChecked(false);
    } else {
        // The mode is the module's own: the command that ends it goes to the control link.
        // Framed to a link chosen with Select it would reach the far device instead, and the
        // module would stay in the mode, ignoring every plain command after it.
        mc_puts_cmd(QStringLiteral("SET CONTROL MUX 0"));
        mux_link = -1;
    }
}

void TMain::SelectClick()
{
    const QString link = Channel->currentText();
    mc_puts_cmd(QStringLiteral("SELECT ") + link);
    mux_link = link.toInt();
}

void TMain::CloseCHClick()
{
    mc_puts(QStringLiteral("CLOSE ") + Channel->currentText());
}

void TMain::writeFrames(int link, QStringView text)
{
    // A text longer than a frame holds goes out as consecutive frames to the same link.
    if (Echo1->isChecked()) {
        qsizetype at = 0;
        do {
            const QStringView chunk = text.mid(at, MuxFrame::kMaxData);
            AddtoList(1, MuxFrame::echoLine(link, chunk));
            at += MuxFrame::kMaxData;
        } while (at < text.size());
    }
    serial.writeBytes(MuxFrame::frames(link, zorvane::serial::byteValued(text)));
}
