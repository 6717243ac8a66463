#include "ModemLinesIo.h"

#include <QLoggingCategory>

#include <cerrno>
#include <cstring>

#include <sys/ioctl.h>
#include <termios.h>

namespace zorvane::serial::modem_io {

namespace {

Q_LOGGING_CATEGORY(lcModem, "zorvane.modem", QtWarningMsg)

std::optional<int> lineBits(int fd)
{
    if (fd < 0)
        return std::nullopt;
    int bits = 0;
    int r;
    do
        r = ::ioctl(fd, TIOCMGET, &bits);
    while (r < 0 && errno == EINTR);
    if (r < 0) {
        qCDebug(lcModem) << "TIOCMGET:" << std::strerror(errno);
        return std::nullopt;
    }
    return bits;
}

bool retrying(int fd, unsigned long request, int *arg)
{
    int r;
    do
        r = arg ? ::ioctl(fd, request, arg) : ::ioctl(fd, request);
    while (r < 0 && errno == EINTR);
    if (r < 0)
        qCDebug(lcModem) << "ioctl" << request << std::strerror(errno);
    return r == 0;
}

} // namespace

std::optional<ModemOutputs> outputs(int fd)
{
    const auto bits = lineBits(fd);
    if (!bits)
        return std::nullopt;
    return ModemOutputs{(*bits & TIOCM_DTR) != 0, (*bits & TIOCM_RTS) != 0};
}

std::optional<ModemInputs> inputs(int fd)
{
    const auto bits = lineBits(fd);
    if (!bits)
        return std::nullopt;
    return ModemInputs{(*bits & TIOCM_CTS) != 0, (*bits & TIOCM_DSR) != 0, (*bits & TIOCM_CAR) != 0,
                       (*bits & TIOCM_RNG) != 0};
}

bool setOutputs(int fd, const ModemLineChange &change)
{
    // The present state is read first, so the lines not named keep theirs and the named ones
    // switch in the same instant; a device that cannot read its lines is not written either.
    auto bits = lineBits(fd);
    if (!bits)
        return false;
    if (change.dtr)
        *bits = *change.dtr ? (*bits | TIOCM_DTR) : (*bits & ~TIOCM_DTR);
    if (change.rts)
        *bits = *change.rts ? (*bits | TIOCM_RTS) : (*bits & ~TIOCM_RTS);
    return retrying(fd, TIOCMSET, &*bits);
}

bool setBreak(int fd, bool on)
{
    if (fd < 0)
        return false;
    return retrying(fd, on ? TIOCSBRK : TIOCCBRK, nullptr);
}

} // namespace zorvane::serial::modem_io
