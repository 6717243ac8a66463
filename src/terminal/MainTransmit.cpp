// Transmit side of the main window: module commands and the send history.
#include "app/MainForm.h"

#include <QComboBox>

void TMain::mc_puts(const QString &text)
{
    serial.c_putc(13);
    c_puts(text);
    serial.c_putc(10);
    serial.c_putc(13);
    add_string(text);
}

void TMain::mc_puts_cmd(const QString &text)
{
    mc_puts(text);
}

void TMain::add_string(const QString &text)
{
    for (int i = SendString->count() - 1; i > 0; --i)
        SendString->setItemText(i, SendString->itemText(i - 1));
    SendString->setItemText(0, text);
    SendString->setCurrentIndex(0);
    SendString->setEditText(text);
}

void TMain::BtnRClick()
{
    mc_puts_cmd(QStringLiteral("RESET"));
}
