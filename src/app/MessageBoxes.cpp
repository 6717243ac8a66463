#include "app/MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>

namespace zorvane::app {

namespace {
DetailedMessageHandler &handler()
{
    static DetailedMessageHandler h;
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
    if (!h) {
        handler() = nullptr;
        return;
    }
    handler() = [h = std::move(h)](QWidget *parent, const QString &text, const QString &) {
        h(parent, text);
    };
}

void setDetailedMessageHandler(DetailedMessageHandler h)
{
    handler() = std::move(h);
}

void showMessage(QWidget *parent, const QString &text, const QString &informativeText)
{
    if (handler()) {
        handler()(parent, text, informativeText);
        return;
    }
    if (informativeText.isEmpty()) {
        QMessageBox::information(parent, QApplication::applicationName(), text);
        return;
    }
    QMessageBox box(QMessageBox::Information, QApplication::applicationName(), text,
                    QMessageBox::Ok, parent);
    box.setInformativeText(informativeText);
    // The informative text may hold a command to copy into a shell.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.exec();
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
