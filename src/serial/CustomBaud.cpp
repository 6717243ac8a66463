#include "CustomBaud.h"

#include <cerrno>
#include <cstdlib>

#if defined(__linux__)
// termios2 lives in the kernel's headers, which clash with glibc's <termios.h>: this file
// includes only the kernel's.
#include <asm/termbits.h>
#include <sys/ioctl.h>
#else
#include <termios.h>
#endif

namespace zorvane::serial::custom_baud {

namespace {

struct NamedRate
{
    int rate;
    unsigned constant;
};

// The constants both glibc and the kernel define, fastest last.
constexpr NamedRate kNamedRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},
#if defined(B460800)
    {460800, B460800},   {500000, B500000},   {576000, B576000},   {921600, B921600},
    {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000}, {2000000, B2000000},
    {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
#endif
};

const NamedRate *named(int rate)
{
    for (const NamedRate &n : kNamedRates) {
        if (n.rate == rate)
            return &n;
    }
    return nullptr;
}

} // namespace

bool isStandardRate(int rate)
{
    return named(rate) != nullptr;
}

bool closeEnough(int asked, int held)
{
    if (asked <= 0 || held <= 0)
        return false;
    return std::llabs(static_cast<long long>(held) - asked) * 1000 <=
           static_cast<long long>(asked) * kToleranceMille;
}

#if defined(__linux__)

bool setRate(int fd, int rate)
{
    if (rate < kMinRate || rate > kMaxRate) {
        errno = EINVAL;
        return false;
    }
    termios2 t{};
    if (::ioctl(fd, TCGETS2, &t) != 0)
        return false;
    // The input speed bits cleared: input then runs at the output's rate.
    t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    const NamedRate *n = named(rate);
    t.c_cflag |= n ? n->constant : BOTHER;
    t.c_ispeed = static_cast<speed_t>(rate);
    t.c_ospeed = static_cast<speed_t>(rate);
    return ::ioctl(fd, TCSETS2, &t) == 0;
}

int currentRate(int fd)
{
    termios2 t{};
    if (::ioctl(fd, TCGETS2, &t) != 0)
        return 0;
    const unsigned bits = t.c_cflag & CBAUD;
    if (bits == BOTHER)
        return static_cast<int>(t.c_ospeed);
    for (const NamedRate &n : kNamedRates) {
        if (n.constant == bits)
            return n.rate;
    }
    return 0;
}

#else

// Elsewhere the speed is a plain number where the system allows it (the BSDs, macOS) and a
// constant where it does not; a rate without one is tried as a number and read back.
bool setRate(int fd, int rate)
{
    if (rate < kMinRate || rate > kMaxRate) {
        errno = EINVAL;
        return false;
    }
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        return false;
    const NamedRate *n = named(rate);
    const speed_t speed = n ? static_cast<speed_t>(n->constant) : static_cast<speed_t>(rate);
    if (::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0)
        return false;
    return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

int currentRate(int fd)
{
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        return 0;
    const speed_t speed = ::cfgetospeed(&t);
    for (const NamedRate &n : kNamedRates) {
        if (static_cast<speed_t>(n.constant) == speed)
            return n.rate;
    }
    return static_cast<int>(speed);
}

#endif

} // namespace zorvane::serial::custom_baud
