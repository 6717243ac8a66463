#pragma once

#include <QString>

#include <functional>

class QPrinter;
class QWidget;

namespace zorvane::app {

// Every modal message of the program goes through here, so a test can answer it.
using MessageHandler = std::function<void(QWidget *parent, const QString &text)>;

// The same for a test that also reads the informative text below the message.
using DetailedMessageHandler =
    std::function<void(QWidget *parent, const QString &text, const QString &informativeText)>;

// Replaces the real modal box; an empty handler brings it back.
void setMessageHandler(MessageHandler handler);
void setDetailedMessageHandler(DetailedMessageHandler handler);

// From now on no box opens: each message goes to standard error instead, and print dialogs
// are declined. For a program told to end, which must not wait for anyone's OK.
void sendMessagesToStandardError();
bool messagesGoToStandardError();

// An information box with the text, an optional informative text below it and one OK button;
// returns when it is closed.
void showMessage(QWidget *parent, const QString &text, const QString &informativeText = {});

// The print and page-setup dialogs go the same way. A handler answers for the user: it may
// change the printer's settings as the dialog would, and returns whether it was accepted.
enum class PrintDialog { Print, PageSetup };
using PrintDialogHandler = std::function<bool(PrintDialog dialog, QPrinter &printer)>;

// Replaces the real dialogs; an empty handler brings them back.
void setPrintDialogHandler(PrintDialogHandler handler);

// The dialog on the printer, modal; true when the user accepted it.
bool showPrintDialog(QWidget *parent, PrintDialog dialog, QPrinter &printer);

} // namespace zorvane::app
