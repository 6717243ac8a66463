// A network port on the real main window: a pin to a server opens it like any port, its open
// failures keep their message and give the server's reason, a server that goes is an unplugged
// port counted down and reopened quietly when it is back, a greeting is shown as text, and a
// raw TCP port says once that its server fixes the line settings. A server that accepts and
// never answers holds nobody up: the window keeps answering while the open waits for it.
#include "LoopMonitor.h"
#include "NetworkServers.h"
#include "WindowFixture.h"
#include "WindowText.h"
#include "app/MessageBoxes.h"
#include "app/main_window/MainForm.h"
#include "serial/PortNames.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <functional>

using zorvane::session::Connection;

namespace {

// The longest a posted event may wait while an open is going on. An open that waited on the
// window's thread would hold every event for the whole time-out (3 s); a tenth of it leaves
// room for a machine busy with other work, where the scheduler alone may delay an event by
// tens of milliseconds.
constexpr double kAnswerMs = 300;

// Runs the event loop until the open going on has ended.
bool openEnded(TMain &w, int timeoutMs = 10000)
{
    return QTest::qWaitFor(
        [&] { return w.session.connection().state() != Connection::State::Opening; }, timeoutMs);
}

} // namespace

class TestNetworkPort : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void openFailureSaysWhy_data();
    void openFailureSaysWhy();
    void lostServerCountsDownAndReopens();
    void greetingAndFixedSettings();
    void silentServerHoldsNobodyUp();

private:
    void pin(int port, const QString &url);
    static void tickUntil(TMain &w, int tick, QStringList *statuses = nullptr);

    WindowFixture m_fx;
    QStringList m_informative;
};

void TestNetworkPort::initTestCase()
{
    QVERIFY(m_fx.setUp());
    zorvane::app::setDetailedMessageHandler(
        [this](QWidget *, const QString &text, const QString &informative) {
            m_fx.messages << text;
            m_informative << informative;
        });
}

void TestNetworkPort::init()
{
    m_fx.reset();
    m_informative.clear();
}

void TestNetworkPort::cleanup()
{
    m_fx.tearDown();
}

void TestNetworkPort::pin(int port, const QString &url)
{
    const QString link = zorvane::serial::overrideLinkPath(m_fx.docs, port);
    QFile::remove(link);
    QVERIFY(QFile::link(url, link));
}

void TestNetworkPort::tickUntil(TMain &w, int tick, QStringList *statuses)
{
    while (w.tick_count < tick) {
        w.Timer1Timer();
        if (statuses && (statuses->isEmpty() || statuses->last() != w.StatusBarPanel1->text()))
            *statuses << w.StatusBarPanel1->text();
    }
}

void TestNetworkPort::openFailureSaysWhy_data()
{
    QTest::addColumn<QString>("peer");
    QTest::addColumn<QString>("reason");

    QTest::newRow("refused") << ""
                             << "connection refused by 127.0.0.1:";
    QTest::newRow("settings refused")
        << "refuse"
        << "did not accept the line settings (it set 9600 baud); ser2net's accepter "
           "must be telnet(rfc2217),tcp,PORT.";
}

void TestNetworkPort::openFailureSaysWhy()
{
    QFETCH(QString, peer);
    QFETCH(QString, reason);

    NetworkServer server;
    QString url = QStringLiteral("rfc2217://127.0.0.1:%1").arg(unusedTcpPort());
    if (!peer.isEmpty()) {
        QVERIFY(server.startPeer(peer));
        url = server.url(QStringLiteral("rfc2217"));
    }
    pin(12, url);
    auto w = m_fx.makeMain();
    m_fx.messages.clear();
    m_informative.clear();
    w->set_comx(12, true);
    QVERIFY(openEnded(*w));

    QCOMPARE(m_fx.messages, QStringList{"Unable to Open Port COM12"});
    QCOMPARE(m_informative.size(), 1);
    QVERIFY2(m_informative[0].startsWith("COM12 leads to " + url + ": "),
             qPrintable(m_informative[0]));
    QVERIFY2(m_informative[0].contains(reason), qPrintable(m_informative[0]));
    QCOMPARE(w->StatusBarPanel1->text(), "COM12 - OffLine");
}

void TestNetworkPort::lostServerCountsDownAndReopens()
{
    NetworkServer server;
    QVERIFY(server.startPeer(QStringLiteral("pyserial")));
    const quint16 port = server.port();
    pin(12, server.url(QStringLiteral("rfc2217")));
    auto w = m_fx.makeMain();
    w->set_comx(12, true);
    QVERIFY(openEnded(*w));
    const QString online = "COM12 115200 8N1- Online";
    QCOMPARE(w->StatusBarPanel1->text(), online);
    w->tick_count = 0;

    server.kill();
    QTRY_VERIFY(!w->serial.isAlive());
    QStringList statuses;
    tickUntil(*w, 500, &statuses);
    QCOMPARE(statuses.first(), online);
    QCOMPARE(statuses.last(), "COM12 Offline 0s");
    QVERIFY(statuses.contains("COM12 Offline 9s"));
    QCOMPARE(w->serial.com_port, 0);

    // Still gone at the reopening: quietly off line, and counted down again.
    w->Timer1Timer();
    QVERIFY(openEnded(*w));
    QCOMPARE(w->StatusBarPanel1->text(), "COM12 - OffLine");
    QVERIFY(m_fx.messages.isEmpty());

    // The server is back at its address: the next reopening finds it, without a word.
    QVERIFY(server.startPeer(QStringLiteral("pyserial"), port));
    tickUntil(*w, 500);
    w->Timer1Timer();
    QVERIFY(openEnded(*w));
    QCOMPARE(w->StatusBarPanel1->text(), online);
    QVERIFY(w->serial.holdsDevice());
    QVERIFY(m_fx.messages.isEmpty());
}

void TestNetworkPort::greetingAndFixedSettings()
{
    NetworkServer greeter;
    QVERIFY(greeter.startPeer(QStringLiteral("banner")));
    pin(12, greeter.url(QStringLiteral("rfc2217")));
    NetworkServer raw;
    QVERIFY(raw.startPeer(QStringLiteral("silent")));
    pin(13, raw.url(QStringLiteral("socket")));

    auto w = m_fx.makeMain();
    w->set_comx(12, true);
    QVERIFY(openEnded(*w));
    QCOMPARE(w->StatusBarPanel1->text(), "COM12 115200 8N1- Online");
    QVERIFY(listLines(*w).contains("Welcome to the rack"));
    QCOMPARE(w->StatusBarPanel5->text(), QString());
    // The module's first bytes, after the greeting, arrive as received text at the next ticks.
    QTRY_VERIFY((w->Timer1Timer(), listLines(*w).join(QString()).contains("ready")));
    QCOMPARE(listLines(*w).count("Welcome to the rack"), 1);

    w->set_comx(13, true);
    QVERIFY(openEnded(*w));
    QCOMPARE(w->StatusBarPanel1->text(), "COM13 115200 8N1- Online");
    QCOMPARE(w->StatusBarPanel5->text(), "Line settings fixed by the server");
    QVERIFY(m_fx.messages.isEmpty());
}

void TestNetworkPort::silentServerHoldsNobodyUp()
{
    NetworkServer server;
    QVERIFY(server.startPeer(QStringLiteral("silent")));
    pin(12, server.url(QStringLiteral("rfc2217")));
    auto w = m_fx.makeMain();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    m_fx.messages.clear();
    m_informative.clear();

    // While the open waits for the server, no posted event waits long, a key typed into the
    // send box lands, a menu item runs and a repaint is done.
    auto whileOpening = [&](const char *what, const std::function<void()> &startOpen) {
        zorvane::bench::LoopMonitor monitor(5);
        startOpen();
        QVERIFY2(w->session.connection().state() == Connection::State::Opening, what);
        w->SendString->lineEdit()->clear();
        w->SendString->setFocus();
        QTest::keyClicks(w->SendString, QStringLiteral("AT"));
        QCOMPARE(w->SendString->currentText(), QStringLiteral("AT"));
        w->Echo1->trigger();
        QCOMPARE(w->StatusBarPanel2->text(), QStringLiteral("Echo"));
        w->Echo1->trigger();
        w->repaint();
        QTest::qWait(500);
        QVERIFY2(w->session.connection().state() == Connection::State::Opening, what);
        QVERIFY2(openEnded(*w), what);
        monitor.stop();
        qInfo("%s: posted events waited at most %.1f ms (p99 %.1f ms)", what,
              monitor.longestLatencyMs(), monitor.latencyPercentileMs(0.99));
        QVERIFY2(monitor.longestLatencyMs() < kAnswerMs,
                 qPrintable(QStringLiteral("%1: a posted event waited %2 ms")
                                .arg(QLatin1String(what))
                                .arg(monitor.longestLatencyMs())));
    };

    whileOpening("the open the user chose", [&] { w->set_comx(12, true); });
    QCOMPARE(m_fx.messages, QStringList{"Unable to Open Port COM12"});
    QCOMPARE(w->StatusBarPanel1->text(), "COM12 - OffLine");
    QVERIFY2(m_informative.value(0).contains("no answer from 127.0.0.1:"),
             qPrintable(m_informative.value(0)));

    // The quiet reopenings try the same server again, as often as the link check says.
    m_fx.messages.clear();
    w->tick_count = 0;
    for (const char *reopening : {"the first quiet reopening", "the second quiet reopening"}) {
        tickUntil(*w, 500);
        whileOpening(reopening, [&] { w->Timer1Timer(); });
        QCOMPARE(w->StatusBarPanel1->text(), "COM12 - OffLine");
    }
    QVERIFY(m_fx.messages.isEmpty());
}

QTEST_MAIN(TestNetworkPort)
#include "tst_network_port.moc"
