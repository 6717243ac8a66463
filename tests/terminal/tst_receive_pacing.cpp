// When the receive ticks run, on the real window with its own timer: asleep on a quiet port,
// woken by the first byte, an unplug noticed while asleep, and an escape at the end of a burst
// still waiting for the rest of its sequence.
#include "PtyModule.h"
#include "WindowFixture.h"
#include "WindowText.h"
#include "app/main_window/MainForm.h"

#include <QLabel>
#include <QSet>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <thread>

namespace {
constexpr int kPort = 7;
} // namespace

class TestReceivePacing : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_fx.setUp()); }

    void init()
    {
        m_fx.reset();
        QVERIFY(m_fx.openOn(kPort));
        m_fx.module->readAvailable();
        // The window's own timer this time, as the program runs it.
        m_fx.window->Timer1->start();
        QTRY_VERIFY_WITH_TIMEOUT(!m_fx.window->Timer1->isActive(), 5000);
    }

    void cleanup() { m_fx.tearDown(); }

    void quietPortSleepsUntilTheFirstByte()
    {
        TMain &w = *m_fx.window;
        QVERIFY(m_fx.module->write("READY.\r"));
        QTRY_VERIFY_WITH_TIMEOUT(listLines(w).contains(QStringLiteral("READY.")), 5000);
        // Once the burst is shown the timer stops again.
        QTRY_VERIFY_WITH_TIMEOUT(!w.Timer1->isActive(), 5000);
        QVERIFY(m_fx.module->write("OK\r"));
        QTRY_VERIFY_WITH_TIMEOUT(listLines(w).contains(QStringLiteral("OK")), 5000);
    }

    void unplugWhileAsleepStartsTheCountdown()
    {
        TMain &w = *m_fx.window;
        QSet<QString> statuses;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this,
                [&] { statuses.insert(w.StatusBarPanel1->text()); });
        watch.start(20);
        m_fx.module->unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!w.serial.holdsDevice(), 3000);
        // The countdown shows real seconds: two of its texts within three seconds.
        QTRY_VERIFY_WITH_TIMEOUT(statuses.contains(QStringLiteral("COM7 Offline 9s")) &&
                                     statuses.contains(QStringLiteral("COM7 Offline 8s")),
                                 4000);
    }

    void escapeAtTheEndOfABurstWaitsForItsSequence()
    {
        TMain &w = *m_fx.window;
        QVERIFY(m_fx.module->write("before\r"));
        QTRY_VERIFY_WITH_TIMEOUT(listLines(w).contains(QStringLiteral("before")), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!w.Timer1->isActive(), 5000);
        // The clear-screen sequence split after its ESC: the rest comes while the tick that
        // read the ESC waits for it.
        std::thread module([this] {
            m_fx.module->write("\x1b");
            QThread::msleep(15);
            m_fx.module->write("[2J");
        });
        QTRY_VERIFY_WITH_TIMEOUT(!listLines(w).contains(QStringLiteral("before")), 5000);
        module.join();
        QVERIFY(!listLines(w).join(QString()).contains(QStringLiteral("[2J")));
    }

private:
    WindowFixture m_fx;
};

QTEST_MAIN(TestReceivePacing)
#include "tst_receive_pacing.moc"
