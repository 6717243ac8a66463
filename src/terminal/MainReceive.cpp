// Receive side of the main window: the timer tick that reads the port and the terminal
// list's own operations.
#include "app/MainForm.h"

#include "TerminalModel.h"


using zorvane::terminal::LineStyle;

namespace {
const QColor kAliceBlue(0xF0, 0xF8, 0xFF);
const QColor kNavy(0x00, 0x00, 0x80);
const QColor kLawnGreen(0x7C, 0xFC, 0x00);
} // namespace

void TMain::Timer1Timer()
{
    ++tick_count;
    const int first = tick_count > 50 ? CheckLink() : serial.c_getc();
    if (first < 0)
        return;
    QByteArray pending(1, static_cast<char>(first));
    for (int budget = 0; budget < 255; ++budget) {
        const int next = serial.c_getc();
        if (next < 0)
            break;
        pending += static_cast<char>(next);
    }
    ListModel->lines().appendToLast(QByteArrayView(pending));
    ListModel->lines().setLastStyle(item_style);
}

void TMain::AddtoList(int newLine, const QString &text)
{
    QString line = text;
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    auto &lines = ListModel->lines();
    lines.appendToLast(QStringView(line));
    lines.setLastStyle(item_style);
    const QString opened = Echo1->isChecked() ? QStringLiteral("RX<= ") : QString();
    for (int i = 0; i < newLine; ++i)
        lines.addLine(opened);
}

void TMain::GreenonBlackClick()
{
    const bool green = GreenonBlack->isChecked();
    item_style = green ? LineStyle::Green : LineStyle::Standard;
    ListModel->setAllStyles(item_style);
    if (green)
        ListModel->setColours(Qt::black, kLawnGreen);
    else
        ListModel->setColours(kAliceBlue, kNavy);
}

void TMain::Clear1Click()
{
    ListModel->clear();
}
