#include "SignalClose.h"

#include "app/MessageBoxes.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QWidget>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace zorvane::app {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
int g_writeEnd = -1;

void onSignalHandler(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(g_writeEnd, &byte, 1);
    errno = saved;
}

} // namespace

SignalClose::SignalClose(QWidget *window) : m_window(window)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, m_fds) != 0)
        return;
    g_writeEnd = m_fds[0];
    m_notifier = new QSocketNotifier(m_fds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalClose::onSignal);

    struct sigaction action
    {
    };
    action.sa_handler = onSignalHandler;
    sigemptyset(&action.sa_mask);
    // Once caught, a signal gets its default action again: a program that hangs while
    // closing still ends at the second one.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (int sig : kSignals)
        ::sigaction(sig, &action, nullptr);
}

SignalClose::~SignalClose()
{
    for (int sig : kSignals)
        ::signal(sig, SIG_DFL);
    g_writeEnd = -1;
    for (int fd : m_fds) {
        if (fd >= 0)
            ::close(fd);
    }
}

void SignalClose::onSignal()
{
    char bytes[16];
    while (::read(m_fds[1], bytes, sizeof bytes) > 0) {
    }
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
