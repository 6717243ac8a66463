#include "app/MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

namespace zorvane::app {

namespace {
MessageHandler &handler()
{
    static MessageHandler h;
    return h;
}
} // namespace

void setMessageHandler(MessageHandler h)
{
    handler() = std::move(h);
}

void showMessage(QWidget *parent, const QString &text)
{
    if (handler()) {
        handler()(parent, text);
        return;
    }
    QMessageBox::information(parent, QApplication::applicationName(), text);
}

} // namespace zorvane::app
