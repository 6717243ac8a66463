#include "app/MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>

namespace zorvane::app {

namespace {
MessageHandler &handler()
{
    static MessageHandler h;
    return h;
}

PrintDialogHandler &printHandler()
{
    static PrintDialogHandler h;
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

void setPrintDialogHandler(PrintDialogHandler h)
{
    printHandler() = std::move(h);
}

bool showPrintDialog(QWidget *parent, PrintDialog dialog, QPrinter &printer)
{
    if (printHandler())
        return printHandler()(dialog, printer);
    if (dialog == PrintDialog::PageSetup)
        return QPageSetupDialog(&printer, parent).exec() == QDialog::Accepted;
    return QPrintDialog(&printer, parent).exec() == QDialog::Accepted;
}

} // namespace zorvane::app
