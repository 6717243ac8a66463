// Transmit side of the main window: typed keys, the send box and its history, and the quick
// command buttons. How a command is composed and framed is the module session's rule.
#include "app/main_window/MainForm.h"

#include "app/MessageBoxes.h"
#include "app/main_window/ClickFirstCheckBox.h"
#include "terminal/KeyCodes.h"
#include "terminal/SendHistory.h"

#include <QAction>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>

using zorvane::terminal::TerminalKey;

void TMain::add_string(const QString &text)
{
    session.pushHistory({text});
}

void TMain::pushHistory(const QStringList &texts)
{
    QStringList entries;
    for (int i = 0; i < SendString->count(); ++i)
        entries << SendString->itemText(i);
    const QStringList pushed = zorvane::terminal::pushedHistory(entries, texts);
    for (int i = 0; i < SendString->count(); ++i)
        SendString->setItemText(i, pushed[i]);
    shiftHistoryModes(texts.size());
    selectHistory(0);
}

int TMain::historyIndex() const
{
    return m_historyEdited ? -1 : SendString->currentIndex();
}

void TMain::selectHistory(int index)
{
    SendString->setCurrentIndex(index);
    // Selecting the entry already current leaves the edit text alone; it must show the entry.
    SendString->setEditText(SendString->itemText(index));
    m_historyEdited = false;
    historyModeChosen(index);
}

bool TMain::ListBox1KeyDown(int key, const QString &text, Qt::KeyboardModifiers modifiers)
{
    const QList<TerminalKey> keys = zorvane::terminal::terminalKeys(key, text, modifiers);
    const int lastEntry = SendString->count() - 1;
    for (const TerminalKey &pressed : keys) {
        const auto code = static_cast<char16_t>(pressed.code);
        switch (pressed.kind) {
        case TerminalKey::Kind::HistoryUp:
            session.typeHistoryKey(SendString->currentText(), code);
            if (historyIndex() < lastEntry)
                selectHistory(historyIndex() + 1);
            break;
        case TerminalKey::Kind::HistoryDown:
            session.typeHistoryKey(SendString->currentText(), code);
            if (historyIndex() > 0)
                selectHistory(historyIndex() - 1);
            break;
        case TerminalKey::Kind::Byte:
            if (pressed.code == 13 && sendTypedLineEnd())
                continue;
            session.typeByte(code);
            break;
        }
    }
    return !keys.isEmpty();
}

void TMain::SendClick()
{
    if (sendExact())
        return;
    session.sendBoxText(SendString->currentText(), SendString->count());
}

void TMain::BtnSClick()
{
    mc_puts_cmd(QStringLiteral("SET"));
}

void TMain::BtnRClick()
{
    mc_puts_cmd(QStringLiteral("RESET"));
}

void TMain::BtnIClick()
{
    mc_puts_cmd(QStringLiteral("INQUIRY 5 NAME"));
}

void TMain::BtnLClick()
{
    mc_puts_cmd(QStringLiteral("LIST"));
}

void TMain::BCMDClick()
{
    if (MUX1->isChecked()) {
        zorvane::app::showMessage(this, QStringLiteral("No CMD/Data modes in Multiplex mode"));
        return;
    }
    sendEscapeSequence();
}

void TMain::sendEscapeSequence()
{
    session.sendEscapeSequence();
}

void TMain::Echo1Click()
{
    StatusBarPanel2->setText(Echo1->isChecked() ? QStringLiteral("Echo") : QStringLiteral("    "));
}

bool TMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == static_cast<QObject *>(ListBox1) && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        // Tab moves the focus; keys that send nothing keep scrolling the list.
        if (key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab &&
            ListBox1KeyDown(key->key(), key->text(), key->modifiers()))
            return true;
    }
    if ((watched == static_cast<QObject *>(SendString) ||
         watched == static_cast<QObject *>(SendString->lineEdit())) &&
        event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            SendClick();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMain::keyPressEvent(QKeyEvent *event)
{
    // Keys no control took for itself reach the window and go to the module too.
    if (!ListBox1KeyDown(event->key(), event->text(), event->modifiers()))
        QMainWindow::keyPressEvent(event);
}
