#include "app/MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>

#include <cstdio>

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

bool g_toStandardError = false;
} // namespace

void sendMessagesToStandardError()
{
    g_toStandardError = true;
}

bool messagesGoToStandardError()
{
    return g_toStandardError;
}

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
    if (g_toStandardError) {
        QString line = QApplication::applicationName() + QStringLiteral(": ") + text;
        if (!informativeText.isEmpty())
            line += QStringLiteral(" (") + informativeText + u')';
        std::fputs(qPrintable(line.replace(u'\n', u' ') + u'\n'), stderr);
        std::fflush(stderr);
        return;
    }
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
    if (g_toStandardError)
        return false;
    if (printHandler())
        return printHandler()(dialog, printer);
    if (dialog == PrintDialog::PageSetup)
        return QPageSetupDialog(&printer, parent).exec() == QDialog::Accepted;
    return QPrintDialog(&printer, parent).exec() == QDialog::Accepted;
}

} // namespace zorvane::app
