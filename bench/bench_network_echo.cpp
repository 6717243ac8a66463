// Network port round-trip benchmark. A 32-byte command goes out through the network link and
// its echo comes back, over the loopback: through ser2net's RFC 2217 accepter to a
// pseudo-terminal whose far end echoes at once, through the same ser2net with a raw TCP
// accepter, and through pyserial's RFC 2217 server over its loop port. Reports the median,
// 90th percentile and worst of each against the 5 ms goal for the median. The servers are
// started and stopped here.
//
//   bench_network_echo [round trips]     default 500
#include "Clocks.h"
#include "NetworkServers.h"
#include "serial/network/NetworkLink.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace zorvane::bench;
using namespace zorvane::serial;
using namespace zorvane::serial::network;

namespace {

constexpr double kGoalMs = 5.0;

// A pseudo-terminal whose far end sends back whatever comes, from a thread of its own, as a
// module answering a command would without the time it takes to think.
class EchoPty
{
public:
    EchoPty()
    {
        char name[256] = {};
        termios raw{};
        cfmakeraw(&raw);
        if (::openpty(&m_master, &m_slave, name, &raw, nullptr) != 0)
            return;
        m_path = QString::fromLocal8Bit(name);
        m_thread = std::thread([this] { run(); });
    }
    ~EchoPty()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_master >= 0) {
            ::close(m_master);
            ::close(m_slave);
        }
    }
    QString path() const { return m_path; }

private:
    void run()
    {
        char buf[4096];
        while (!m_stop) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0 || !(p.revents & POLLIN))
                continue;
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n > 0 && ::write(m_master, buf, size_t(n)) != n)
                return;
        }
    }

    int m_master = -1;
    int m_slave = -1;
    QString m_path;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

bool measure(const char *name, const QString &target, int rounds)
{
    NetworkLink link;
    if (!link.open(target, LineSettings{115200, 8, 0, 1})) {
        std::printf("%-28s cannot open: %s\n", name, qPrintable(link.lastError().text));
        return false;
    }
    const QByteArray command = QByteArray("AT+ROUNDTRIP=0123456789ABCDEF\xff\r\n", 32);
    std::vector<double> ms;
    for (int i = 0; i < rounds + 20; ++i) {
        const qint64 start = nowNs();
        link.write(command);
        QByteArray back;
        while (back.size() < command.size() && link.waitForReadyRead(2000))
            back += link.read(command.size() - back.size());
        if (back != command) {
            std::printf("%-28s echo lost or changed at round %d\n", name, i);
            return false;
        }
        if (i >= 20)
            ms.push_back(double(nowNs() - start) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    std::printf("%-28s median %6.3f ms  p90 %6.3f ms  worst %7.3f ms  %s\n", name, median,
                ms[ms.size() * 9 / 10], ms.back(), median < kGoalMs ? "ok" : "ABOVE GOAL");
    return median < kGoalMs;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(10, std::atoi(argv[1])) : 500;
    std::printf("32-byte echo round trip over the loopback, %d rounds (goal: median under "
                "%.0f ms)\n",
                rounds, kGoalMs);
    bool ok = true;

    EchoPty pty;
    NetworkServer telnet;
    if (!telnet.startSer2net(QStringLiteral("telnet(rfc2217),tcp"), pty.path())) {
        std::printf("ser2net did not start: %s\n", qPrintable(telnet.output()));
        return 1;
    }
    ok = measure("ser2net rfc2217 -> pty", telnet.url(QStringLiteral("rfc2217")), rounds) && ok;
    telnet.kill();

    NetworkServer raw;
    if (raw.startSer2net(QStringLiteral("tcp"), pty.path()))
        ok = measure("ser2net tcp -> pty", raw.url(QStringLiteral("socket")), rounds) && ok;
    raw.kill();

    NetworkServer pyserial;
    if (pyserial.startPeer(QStringLiteral("pyserial")))
        ok = measure("pyserial rfc2217 loop://", pyserial.url(QStringLiteral("rfc2217")), rounds) &&
             ok;
    return ok ? 0 : 1;
}
