// Rates and flow control on real devices: a pseudo-terminal opened directly, and one behind
// ser2net reached over RFC 2217. What the program's side holds is read at the far end, the
// rate with termios2, so rates without a name of their own are seen exactly.
#include "NetworkServers.h"
#include "PtyModule.h"
#include "serial/CustomBaud.h"
#include "serial/LocalSerialLink.h"
#include "serial/network/NetworkLink.h"

#include <QTest>

#include <cstring>

using namespace zorvane::serial;

Q_DECLARE_METATYPE(zorvane::serial::FlowControl)

namespace {

struct FlowFlags
{
    bool rtsCts;
    bool ixon;
    bool ixoff;
    bool ixany;
};

FlowFlags flowFlags(const PtyModule &module)
{
    const termios t = module.programSideSettings();
    return {(t.c_cflag & CRTSCTS) != 0, (t.c_iflag & IXON) != 0, (t.c_iflag & IXOFF) != 0,
            (t.c_iflag & IXANY) != 0};
}

void addRateRows()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<FlowControl>("flow");

    QTest::newRow("9600, no flow control") << 9600 << FlowControl::None;
    QTest::newRow("921600, RTS/CTS") << 921600 << FlowControl::RtsCts;
    QTest::newRow("1000000, XON/XOFF") << 1000000 << FlowControl::XonXoff;
    QTest::newRow("3000000, RTS/CTS") << 3000000 << FlowControl::RtsCts;
    // No constant names these: set through termios2 with BOTHER.
    QTest::newRow("250000, no flow control") << 250000 << FlowControl::None;
    QTest::newRow("1843200, XON/XOFF") << 1843200 << FlowControl::XonXoff;
}

} // namespace

class TestLineControl : public QObject
{
    Q_OBJECT

private slots:
    void localRateAndFlow_data() { addRateRows(); }
    void localRateAndFlow();
    void localRefusedRate_data();
    void localRefusedRate();
    void ser2netRateAndFlow_data() { addRateRows(); }
    void ser2netRateAndFlow();
    void serverWithoutFlowControl();
};

void TestLineControl::localRateAndFlow()
{
    QFETCH(int, rate);
    QFETCH(FlowControl, flow);
    PtyModule module;
    QVERIFY(module.isValid());
    LocalSerialLink link;

    QVERIFY2(link.open(module.slavePath(), {rate, 8, 0, 1, flow}),
             qPrintable(link.lastError().text));
    QCOMPARE(module.programSideRate(), rate);
    const FlowFlags on = flowFlags(module);
    QCOMPARE(on.rtsCts, flow == FlowControl::RtsCts);
    QCOMPARE(on.ixon, flow == FlowControl::XonXoff);
    QCOMPARE(on.ixoff, flow == FlowControl::XonXoff);
    // Only XON resumes output: any other byte of a binary stream must not.
    QVERIFY(!on.ixany);

    // Reopened without flow control at a named rate: nothing of the earlier open is left.
    link.close();
    QVERIFY2(link.open(module.slavePath(), {115200, 8, 0, 1, FlowControl::None}),
             qPrintable(link.lastError().text));
    QCOMPARE(module.programSideRate(), 115200);
    const FlowFlags off = flowFlags(module);
    QVERIFY(!off.rtsCts && !off.ixon && !off.ixoff);
}

void TestLineControl::localRefusedRate_data()
{
    QTest::addColumn<int>("rate");
    QTest::newRow("below any UART") << 20;
    QTest::newRow("beyond any bridge") << 13'000'000;
}

// Only a damaged settings file hands over such a rate: refused with the system's reason, and
// the device is not kept locked.
void TestLineControl::localRefusedRate()
{
    QFETCH(int, rate);
    PtyModule module;
    QVERIFY(module.isValid());
    LocalSerialLink link;

    QVERIFY(!link.open(module.slavePath(), {rate, 8, 0, 1, FlowControl::None}));
    QVERIFY(link.lastError().settingsRefused);
    QCOMPARE(link.lastError().text, QString::fromLocal8Bit(strerror(EINVAL)));
    QVERIFY(!link.isOpen());
    LocalSerialLink again;
    QVERIFY(again.open(module.slavePath(), {115200, 8, 0, 1, FlowControl::None}));
}

// The rate and the flow control go out as SET-BAUDRATE and SET-CONTROL, and ser2net puts
// them on the device behind it.
void TestLineControl::ser2netRateAndFlow()
{
    QFETCH(int, rate);
    QFETCH(FlowControl, flow);
    PtyModule module;
    QVERIFY(module.isValid());
    NetworkServer server;
    QVERIFY2(server.startSer2net(QStringLiteral("telnet(rfc2217),tcp"), module.slavePath()),
             qPrintable(server.output()));
    network::NetworkLink link;

    QVERIFY2(link.open(server.url(QStringLiteral("rfc2217")), {rate, 8, 0, 1, flow}),
             qPrintable(link.lastError().text));
    // The server confirmed every setting before the open returned; it may set the device a
    // moment after its answer.
    QTRY_COMPARE_WITH_TIMEOUT(module.programSideRate(), rate, 1000);
    QTRY_COMPARE_WITH_TIMEOUT(flowFlags(module).rtsCts, flow == FlowControl::RtsCts, 1000);
    QCOMPARE(flowFlags(module).ixon, flow == FlowControl::XonXoff);
    QCOMPARE(flowFlags(module).ixoff, flow == FlowControl::XonXoff);

    link.close();
    QVERIFY2(link.open(server.url(QStringLiteral("rfc2217")), {115200, 8, 0, 1, FlowControl::None}),
             qPrintable(link.lastError().text));
    QTRY_COMPARE_WITH_TIMEOUT(module.programSideRate(), 115200, 1000);
    QTRY_VERIFY_WITH_TIMEOUT(
        !flowFlags(module).rtsCts && !flowFlags(module).ixon && !flowFlags(module).ixoff, 1000);
}

// A server that never answers SET-CONTROL still opens without flow control, as before flow
// control was sent at all; a flow control asked of it is not taken as done.
void TestLineControl::serverWithoutFlowControl()
{
    NetworkServer server;
    QVERIFY(server.startPeer(QStringLiteral("nocontrol")));
    const QString url = server.url(QStringLiteral("rfc2217"), QStringLiteral("?timeout=0.5"));
    network::NetworkLink link;

    QVERIFY2(link.open(url, {115200, 8, 0, 1, FlowControl::None}),
             qPrintable(link.lastError().text));
    link.close();
    QVERIFY(!link.open(url, {115200, 8, 0, 1, FlowControl::RtsCts}));
    QVERIFY(link.lastError().settingsRefused);
    QVERIFY2(link.lastError().text.contains(QStringLiteral("did not confirm the line settings")),
             qPrintable(link.lastError().text));
}

QTEST_MAIN(TestLineControl)
#include "tst_line_control.moc"
