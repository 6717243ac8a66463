#include "SignalClose.h"

#include "app/MessageBoxes.h"

#include "os/SignalPipe.h"

#include <QApplication>
#include <QDialog>
#include <QWidget>

#include <csignal>

namespace zorvane::app {

SignalClose::SignalClose(QWidget *window) : m_window(window)
{
    auto *pipe = new os::SignalPipe({SIGTERM, SIGINT, SIGHUP}, os::SignalPipe::Repeat::DefaultAction,
                                    this);
    connect(pipe, &os::SignalPipe::caught, this, &SignalClose::onSignal);
}

SignalClose::~SignalClose() = default;

void SignalClose::onSignal()
{
    // A message box waiting for OK would hold the close up: dismiss those open, and let the
    // shutdown (or a start-up still running) open none, saying on standard error what they
    // would have said.
    sendMessagesToStandardError();
    for (int guard = 0; guard < 8; ++guard) {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == m_window)
            break;
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
    }
    if (m_window)
        QMetaObject::invokeMethod(m_window, &QWidget::close, Qt::QueuedConnection);
}

} // namespace zorvane::app
