#include "SignalPipe.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace zorvane::os {

namespace {

int g_writeEnd = -1;

void onSignalHandler(int signalNumber)
{
    // Only async-signal-safe calls here, and errno as the interrupted code left it. The byte
    // says which signal came (signal numbers are small).
    const int saved = errno;
    const char byte = static_cast<char>(signalNumber);
    [[maybe_unused]] const auto n = ::write(g_writeEnd, &byte, 1);
    errno = saved;
}

} // namespace

SignalPipe::SignalPipe(std::initializer_list<int> caughtSignals, Repeat repeat, QObject *parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, m_fds) != 0)
        return;
    g_writeEnd = m_fds[0];
    m_notifier = new QSocketNotifier(m_fds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalPipe::drain);

    struct sigaction action
    {
    };
    action.sa_handler = onSignalHandler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | (repeat == Repeat::DefaultAction ? SA_RESETHAND : 0);
    for (int sig : caughtSignals) {
        if (m_signalCount == int(std::size(m_signals)))
            break;
        m_signals[m_signalCount++] = sig;
        ::sigaction(sig, &action, nullptr);
    }
}

SignalPipe::~SignalPipe()
{
    for (int i = 0; i < m_signalCount; ++i)
        ::signal(m_signals[i], SIG_DFL);
    g_writeEnd = -1;
    for (int fd : m_fds) {
        if (fd >= 0)
            ::close(fd);
    }
}

void SignalPipe::drain()
{
    char bytes[16];
    int last = 0;
    ssize_t n = 0;
    while ((n = ::read(m_fds[1], bytes, sizeof bytes)) > 0)
        last = static_cast<unsigned char>(bytes[n - 1]);
    emit caught();
    if (last != 0)
        emit caughtSignal(last);
}

} // namespace zorvane::os
