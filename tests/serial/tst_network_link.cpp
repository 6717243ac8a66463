// The network link against real servers on the loopback: ser2net in front of a
// pseudo-terminal the test plays, pyserial's RFC 2217 server over a loop port, and servers
// that refuse, stay silent, greet with a banner or die mid-stream, and servers that flood the
// port with telnet traffic or greet without end.
#include "NetworkServers.h"
#include "PtyModule.h"
#include "serial/ModemSequence.h"
#include "serial/ModemSequenceRunner.h"
#include "serial/network/NetworkLink.h"

#include <QDeadlineTimer>
#include <QSignalSpy>
#include <QTest>

using namespace zorvane::serial;
using namespace zorvane::serial::network;

namespace {

const LineSettings k115200{115200, 8, 0, 1};

// The link opened on the server's RFC 2217 port at 115200 8N1; on failure lastError() says why.
bool openRfc2217(NetworkLink &link, const NetworkServer &server)
{
    return link.open(server.url(QStringLiteral("rfc2217")), k115200);
}

// Every byte value, runs of 0xFF, and the pairs a telnet text mode would change.
QByteArray awkwardBytes()
{
    QByteArray out;
    for (int v = 0; v < 256; ++v)
        out.append(char(v));
    out += QByteArray(9, char(0xff)) + QByteArray("\r\0\r\n\n\r", 6) + QByteArray(2, char(0xff));
    return out;
}

int outputSpeed(const PtyModule &module)
{
    const termios t = module.programSideSettings();
    return int(cfgetospeed(&t));
}

QByteArray readAtLeast(NetworkLink &link, qsizetype count, int timeoutMs = 5000)
{
    QByteArray out;
    QDeadlineTimer deadline(timeoutMs);
    while (out.size() < count && !deadline.hasExpired()) {
        if (link.waitForReadyRead(int(deadline.remainingTime())))
            out += link.read(count - out.size());
    }
    return out;
}

} // namespace

class TestNetworkLink : public QObject
{
    Q_OBJECT

private slots:
    void ser2netTransparency_data();
    void ser2netTransparency();
    void ser2netLineSettings_data();
    void ser2netLineSettings();
    void unansweredControlLeavesLinesUnknown();
    void pyserialModemLines();
    void resetSequenceOverTheNetwork();
    void pyserialTransparency();
    void openFailures_data();
    void openFailures();
    void bannerKeptApart();
    void serverKilledMidStream();
    void floodsStayWithinTheReadAhead_data();
    void floodsStayWithinTheReadAhead();
    void longGreetingFailsTheOpen();
};

void TestNetworkLink::ser2netTransparency_data()
{
    QTest::addColumn<QString>("accepter");
    QTest::addColumn<QString>("scheme");

    QTest::newRow("rfc2217") << "telnet(rfc2217),tcp"
                             << "rfc2217";
    QTest::newRow("raw tcp") << "tcp"
                             << "socket";
}

void TestNetworkLink::ser2netTransparency()
{
    QFETCH(QString, accepter);
    QFETCH(QString, scheme);

    PtyModule module;
    QVERIFY(module.isValid());
    NetworkServer server;
    QVERIFY2(server.startSer2net(accepter, module.slavePath()), qPrintable(server.output()));
    NetworkLink link;
    QVERIFY2(link.open(server.url(scheme), k115200), qPrintable(link.lastError().text));
    QCOMPARE(link.lineSettingsFixedByServer(), scheme == QLatin1String("socket"));
    module.readAvailable();

    const QByteArray bytes = awkwardBytes();
    link.write(bytes);
    QCOMPARE(module.readAtLeast(bytes.size()), bytes);
    QVERIFY(module.write(bytes));
    QCOMPARE(readAtLeast(link, bytes.size()), bytes);
    QVERIFY(link.isAlive());
}

void TestNetworkLink::ser2netLineSettings_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<int>("speed");

    QTest::newRow("9600 8N1") << 9600 << 8 << 0 << 1 << int(B9600);
    QTest::newRow("57600 7E2") << 57600 << 7 << 2 << 2 << int(B57600);
    QTest::newRow("230400 8O1") << 230400 << 8 << 1 << 1 << int(B230400);
}

// Each reopen with other settings reaches the device behind the server within a second.
void TestNetworkLink::ser2netLineSettings()
{
    QFETCH(int, baud);
    QFETCH(int, dataBits);
    QFETCH(int, parity);
    QFETCH(int, stopBits);
    QFETCH(int, speed);

    PtyModule module;
    QVERIFY(module.isValid());
    NetworkServer server;
    QVERIFY2(server.startSer2net(QStringLiteral("telnet(rfc2217),tcp"), module.slavePath()),
             qPrintable(server.output()));
    NetworkLink link;
    QVERIFY2(openRfc2217(link, server), qPrintable(link.lastError().text));
    QTRY_COMPARE_WITH_TIMEOUT(outputSpeed(module), int(B115200), 1000);
    link.close();

    QVERIFY2(link.open(server.url(QStringLiteral("rfc2217")),
                       LineSettings{baud, dataBits, parity, stopBits}),
             qPrintable(link.lastError().text));
    QTRY_COMPARE_WITH_TIMEOUT(outputSpeed(module), speed, 1000);
    // A pseudo-terminal keeps 8 bits without parity whatever it is told; the server's
    // answers for those were checked by the link before it opened.
    QCOMPARE(bool(module.programSideSettings().c_cflag & CSTOPB), stopBits == 2);
}

// ser2net cannot set a pseudo-terminal's lines and never answers for them: the lines stay
// unknown and the port keeps working.
void TestNetworkLink::unansweredControlLeavesLinesUnknown()
{
    PtyModule module;
    QVERIFY(module.isValid());
    NetworkServer server;
    QVERIFY2(server.startSer2net(QStringLiteral("telnet(rfc2217),tcp"), module.slavePath()),
             qPrintable(server.output()));
    NetworkLink link;
    QVERIFY2(openRfc2217(link, server), qPrintable(link.lastError().text));
    QVERIFY(link.setOutputs({true, true}));
    QVERIFY(link.setBreak(false));
    module.readAvailable();
    link.write("AT\r");
    QCOMPARE(module.readAtLeast(3), QByteArray("AT\r"));
    QVERIFY(link.isAlive());
    QCOMPARE(link.outputs(), std::nullopt);
}

void TestNetworkLink::pyserialModemLines()
{
    NetworkServer server;
    QVERIFY(server.startPeer(QStringLiteral("pyserial")));
    NetworkLink link;
    QVERIFY2(openRfc2217(link, server), qPrintable(link.lastError().text));
    QSignalSpy changed(&link, &Link::inputsChanged);

    struct Step
    {
        bool dtr;
        bool rts;
    };
    for (const Step step : {Step{true, false}, Step{false, true}, Step{true, true}}) {
        QVERIFY(link.setOutputs({step.dtr, step.rts}));
        // The loop port shows DTR as DSR and RTS as CTS.
        QTRY_VERIFY(link.inputs() && link.inputs()->dsr == step.dtr &&
                    link.inputs()->cts == step.rts);
        // This server answers the commands: the lines are confirmed.
        QTRY_COMPARE(link.outputs(), (std::optional<ModemOutputs>{{step.dtr, step.rts}}));
    }
    QVERIFY(changed.size() >= 3);
}

// A reset sequence played on a network port: the changes go out back to back as the server's
// control commands, and the loop port behind pyserial's server mirrors them in order (DTR as
// DSR, RTS as CTS); a break is acknowledged.
void TestNetworkLink::resetSequenceOverTheNetwork()
{
    NetworkServer server;
    QVERIFY(server.startPeer(QStringLiteral("pyserial")));
    NetworkLink link;
    QVERIFY2(openRfc2217(link, server), qPrintable(link.lastError().text));
    QVERIFY(link.setOutputs({false, false}));
    QTRY_VERIFY(link.inputs() && !link.inputs()->dsr && !link.inputs()->cts);

    QStringList seen;
    QObject::connect(&link, &Link::inputsChanged, &link, [&] {
        if (const auto in = link.inputs()) {
            const QString state =
                QStringLiteral("%1%2").arg(in->dsr ? 'D' : 'd').arg(in->cts ? 'R' : 'r');
            if (seen.isEmpty() || seen.last() != state)
                seen << state;
        }
    });
    ModemSequenceRunner runner;
    QSignalSpy done(&runner, &ModemSequenceRunner::finished);
    QVERIFY(runner.start(&link, parseModemSequence(u"Dr300R").steps));
    QVERIFY(done.wait(5000));
    QCOMPARE(done.first().first().toBool(), true);
    QTRY_COMPARE_WITH_TIMEOUT(seen.value(seen.size() - 1), QStringLiteral("DR"), 1500);
    QCOMPARE(seen, (QStringList{"Dr", "DR"}));

    QVERIFY(runner.start(&link, breakSteps(100)));
    QVERIFY(done.wait(5000));
    QCOMPARE(done.last().first().toBool(), true);
}

void TestNetworkLink::pyserialTransparency()
{
    NetworkServer server;
    QVERIFY(server.startPeer(QStringLiteral("pyserial")));
    NetworkLink link;
    QVERIFY2(openRfc2217(link, server), qPrintable(link.lastError().text));
    const QByteArray bytes = awkwardBytes();
    link.write(bytes);
    QCOMPARE(readAtLeast(link, bytes.size()), bytes);
}

void TestNetworkLink::openFailures_data()
{
    QTest::addColumn<QString>("peer");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("settingsRefused");

    const QString refused = QStringLiteral("rfc2217://127.0.0.1:%1").arg(unusedTcpPort());
    QTest::newRow("refused") << "" << refused << "connection refused by 127.0.0.1" << false;
    QTest::newRow("unknown host") << ""
                                  << "rfc2217://no-such-host.invalid:4001"
                                  << "host not found: no-such-host.invalid" << false;
    QTest::newRow("silent server") << "silent"
                                   << "?timeout=0.5"
                                   << "no answer from" << true;
    QTest::newRow("settings refused") << "refuse"
                                      << ""
                                      << "it set 9600 baud" << true;
}

void TestNetworkLink::openFailures()
{
    QFETCH(QString, peer);
    QFETCH(QString, target);
    QFETCH(QString, reason);
    QFETCH(bool, settingsRefused);

    NetworkServer server;
    if (!peer.isEmpty()) {
        QVERIFY(server.startPeer(peer));
        target = server.url(QStringLiteral("rfc2217"), target);
    }
    NetworkLink link;
    QVERIFY(!link.open(target, k115200));
    QVERIFY(!link.isOpen());
    const LinkError error = link.lastError();
    QVERIFY2(error.text.contains(reason), qPrintable(error.text));
    QCOMPARE(error.settingsRefused, settingsRefused);
    QCOMPARE(error.text.contains(QLatin1String("telnet(rfc2217),tcp,PORT")), settingsRefused);
}

// The server's greeting before the options are agreed is text apart from the device's bytes.
void TestNetworkLink::bannerKeptApart()
{
    NetworkServer server;
    QVERIFY(server.startPeer(QStringLiteral("banner")));
    NetworkLink link;
    QVERIFY2(openRfc2217(link, server), qPrintable(link.lastError().text));
    QCOMPARE(readAtLeast(link, 5), QByteArray("ready"));
    QCOMPARE(link.takeBanner(), QByteArray("Welcome to the rack\r\n"));
    QCOMPARE(link.takeBanner(), QByteArray());
}

void TestNetworkLink::serverKilledMidStream()
{
    NetworkServer server;
    QVERIFY(server.startPeer(QStringLiteral("pyserial")));
    NetworkLink link;
    QVERIFY2(openRfc2217(link, server), qPrintable(link.lastError().text));
    QSignalSpy failed(&link, &Link::failed);
    // A quiet moment is no loss: a read that times out leaves the link alive.
    QVERIFY(!link.waitForReadyRead(50));
    QVERIFY(!link.waitForReadyRead(0));
    QVERIFY(link.isAlive());
    QCOMPARE(failed.size(), 0);
    link.write("before");
    QCOMPARE(readAtLeast(link, 6), QByteArray("before"));
    QVERIFY(link.isAlive());

    server.kill();
    QVERIFY(failed.wait(5000));
    QVERIFY(!link.isAlive());
    QVERIFY(!link.waitForReadyRead(100));
    QCOMPARE(failed.size(), 1);
}

// A server that floods without end, while the reader rests as the session does between its
// reads and then reads: what the link holds stays within its read-ahead, and the device's
// bytes among the flood still come through.
void TestNetworkLink::floodsStayWithinTheReadAhead_data()
{
    QTest::addColumn<QString>("mode");
    // What the device's bytes begin with, once read; empty: the flood carries none.
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("modem and line state notifications") << "notify" << QByteArray("OK\r\n");
    QTest::newRow("runs of 0xFF") << "ff" << QByteArray(64, char(0xff));
    QTest::newRow("a subnegotiation without end") << "endless" << QByteArray();
    QTest::newRow("requests whose answers are never read") << "nagging" << QByteArray();
}

void TestNetworkLink::floodsStayWithinTheReadAhead()
{
    QFETCH(QString, mode);
    QFETCH(QByteArray, data);
    NetworkServer server;
    QVERIFY(server.startHostile(mode));
    NetworkLink link;
    QVERIFY2(openRfc2217(link, server), qPrintable(link.lastError().text));

    link.setResting(true);
    QTest::qWait(300);
    link.setResting(false);
    for (int round = 0; round < 20; ++round) {
        QVERIFY(link.bytesAvailable() <= NetworkLink::kReadAheadBytes);
        QTest::qWait(10);
    }
    QVERIFY(link.isAlive());
    if (data.isEmpty()) {
        QCOMPARE(link.bytesAvailable(), qint64(0));
        return;
    }
    QCOMPARE(readAtLeast(link, data.size()), data);
    QVERIFY(link.bytesAvailable() <= NetworkLink::kReadAheadBytes);
    if (mode == u"notify") {
        const std::optional<ModemInputs> inputs = link.inputs();
        QVERIFY(inputs && inputs->cts && inputs->dsr && !inputs->ri && !inputs->dcd);
    }
}

// Text without end before the options are agreed is a device talking through a plain TCP
// accepter, not a greeting: the open fails once it passes the cap, with the hint.
void TestNetworkLink::longGreetingFailsTheOpen()
{
    NetworkServer server;
    QVERIFY(server.startHostile(QStringLiteral("greeting")));
    NetworkLink link;
    QVERIFY(!openRfc2217(link, server));
    const LinkError error = link.lastError();
    QVERIFY2(error.text.contains(QStringLiteral("sent more than 16 KiB before agreeing the "
                                                "telnet options")),
             qPrintable(error.text));
    QVERIFY(error.text.contains(QLatin1String("telnet(rfc2217),tcp,PORT")));
    QVERIFY(error.settingsRefused);
    QVERIFY(link.takeBanner().size() <= NetworkLink::kMaxGreetingBytes + 1);
}

QTEST_MAIN(TestNetworkLink)
#include "tst_network_link.moc"
