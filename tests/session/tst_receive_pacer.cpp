// The receive pacing rules on a clock moved by hand: the link check and its countdown, the
// off-line ticks, a receive event's pace and budget, the gathering after a sleep and the
// spacing of the list's refreshes.
#include "serial/Serial_io.h"
#include "session/ReceivePacer.h"

#include <QTest>

using zorvane::session::Clock;
using zorvane::session::ReceivePacer;
namespace LinkCode = zorvane::serial::LinkCode;

namespace {

class FakeClock final : public Clock
{
public:
    explicit FakeClock(qint64 &nowNs) : m_nowNs(nowNs) {}
    qint64 nowNs() const override { return m_nowNs; }

private:
    qint64 &m_nowNs;
};

constexpr qint64 kMs = 1'000'000;

// A pacer reading a clock that starts at an arbitrary moment.
struct PacerOnFakeClock
{
    qint64 now = 123'456 * kMs;
    ReceivePacer pacer{std::make_unique<FakeClock>(now)};
    void advanceMs(qint64 ms) { now += ms * kMs; }
};

} // namespace

class TestReceivePacer : public QObject
{
    Q_OBJECT

private slots:
    void linkCheck_data();
    void linkCheck();
    void countdownCountsRealSeconds();
    void offlineTicks_data();
    void offlineTicks();
    void eventPace_data();
    void eventPace();
    void budgetEndsAFlood_data();
    void budgetEndsAFlood();
    void wakeGathers_data();
    void wakeGathers();
    void busyLinkDozes_data();
    void busyLinkDozes();
    void refreshSpacing_data();
    void refreshSpacing();
};

void TestReceivePacer::linkCheck_data()
{
    QTest::addColumn<int>("ticksBefore");
    QTest::addColumn<int>("linkResult");
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("ticksAfter");

    const int nothing = int(ReceivePacer::LinkStep::Nothing);
    const int countdown = int(ReceivePacer::LinkStep::ShowCountdown);
    const int reopen = int(ReceivePacer::LinkStep::Reopen);
    QTest::newRow("healthy and idle starts the count afresh")
        << 51 << LinkCode::NoByte << true << nothing << 0;
    QTest::newRow("a byte keeps the count running") << 51 << 0x41 << true << nothing << 51;
    QTest::newRow("lost port shows the countdown") << 51 << LinkCode::Lost << false << countdown
                                                   << 51;
    QTest::newRow("no port shows the countdown") << 300 << LinkCode::NotOpen << false
                                                 << countdown << 300;
    QTest::newRow("the 500th tick still counts down") << 500 << LinkCode::NotOpen << false
                                                      << countdown << 500;
    QTest::newRow("past 500 ticks reopens") << 501 << LinkCode::NotOpen << false << reopen << 0;
    QTest::newRow("past 500 ticks on an open port just restarts")
        << 501 << 0x41 << true << nothing << 0;
}

void TestReceivePacer::linkCheck()
{
    QFETCH(int, ticksBefore);
    QFETCH(int, linkResult);
    QFETCH(bool, portOpen);
    QFETCH(int, step);
    QFETCH(int, ticksAfter);

    PacerOnFakeClock fx;
    fx.pacer.tick_count = ticksBefore - 1;
    // The tick that reaches ticksBefore reads with the link check once past the 50th.
    QCOMPARE(fx.pacer.startTick(), ticksBefore > 50);
    QCOMPARE(int(fx.pacer.afterLinkCheck(linkResult, portOpen)), step);
    QCOMPARE(fx.pacer.tick_count, ticksAfter);
}

void TestReceivePacer::countdownCountsRealSeconds()
{
    PacerOnFakeClock fx;
    // Nominal 20 ms ticks: 9.98 s left on the 1st, 9 s on the 50th, none on the 500th.
    const std::pair<int, double> seen[] = {{1, 9.98}, {50, 9.0}, {51, 8.98}, {475, 0.5},
                                           {500, 0.0}};
    for (const auto &[ticks, seconds] : seen) {
        fx.pacer.tick_count = ticks;
        QCOMPARE(fx.pacer.countdownSeconds(), seconds);
    }
    fx.pacer.tick_count = 0;
    fx.pacer.checkLinkNextTick();
    QVERIFY(fx.pacer.startTick());
    fx.pacer.tick_count = 80;
    fx.pacer.checkLinkNextTick();
    QCOMPARE(fx.pacer.tick_count, 80);
}

void TestReceivePacer::offlineTicks_data()
{
    // Gaps between timer events, in ms, and which of them run a tick.
    QTest::addColumn<QList<int>>("gapsMs");
    QTest::addColumn<QString>("ticks");
    QTest::newRow("the first event ticks") << QList<int>{0} << "T";
    QTest::newRow("a fast timer ticks every 20 ms") << QList<int>{0, 2, 2, 2, 2, 2, 2, 2, 2, 2}
                                                    << "T........T";
    QTest::newRow("a hair early still ticks") << QList<int>{0, 18, 17, 19} << "TT.T";
    QTest::newRow("a late timer ticks every time") << QList<int>{0, 25, 40} << "TTT";
}

void TestReceivePacer::offlineTicks()
{
    QFETCH(QList<int>, gapsMs);
    QFETCH(QString, ticks);
    PacerOnFakeClock fx;
    QString seen;
    for (int gap : gapsMs) {
        fx.advanceMs(gap);
        seen += fx.pacer.offlineTickDue() ? u'T' : u'.';
    }
    QCOMPARE(seen, ticks);
}

void TestReceivePacer::eventPace_data()
{
    // Receive events: the ms since the one before and the bytes each took; F keeps the flood
    // pace, S lets the timer sleep until the device has bytes.
    QTest::addColumn<QList<int>>("gapsMs");
    QTest::addColumn<QList<int>>("bytes");
    QTest::addColumn<bool>("holdsDevice");
    QTest::addColumn<QString>("paces");
    QTest::newRow("five slow events in a row sleep")
        << QList<int>{2, 2, 2, 2, 2, 2} << QList<int>{10, 0, 0, 0, 0, 0} << true << "FFFFSS";
    QTest::newRow("a fast event starts the count again")
        << QList<int>{2, 2, 2, 2, 2, 2, 2} << QList<int>{0, 0, 0, 0, 301, 0, 0} << true
        << "FFFFFFF";
    // The first event has no event before it and counts as 1 ms.
    QTest::newRow("150 bytes a ms is not yet fast")
        << QList<int>{2, 2, 2, 2, 2, 2} << QList<int>{300, 300, 300, 300, 300, 300} << true
        << "FFFFFS";
    QTest::newRow("a long gap asks more bytes")
        << QList<int>{2, 2, 2, 2, 10} << QList<int>{0, 0, 0, 0, 1000} << true << "FFFFS";
    QTest::newRow("a lost device never sleeps")
        << QList<int>{2, 2, 2, 2, 2} << QList<int>{0, 0, 0, 0, 0} << false << "FFFFF";
}

void TestReceivePacer::eventPace()
{
    QFETCH(QList<int>, gapsMs);
    QFETCH(QList<int>, bytes);
    QFETCH(bool, holdsDevice);
    QFETCH(QString, paces);
    PacerOnFakeClock fx;
    QString seen;
    for (qsizetype i = 0; i < gapsMs.size(); ++i) {
        fx.advanceMs(gapsMs[i]);
        fx.pacer.startEvent();
        const auto pace = fx.pacer.endEvent(bytes[i], holdsDevice);
        seen += pace == ReceivePacer::Pace::Flood ? u'F' : u'S';
    }
    QCOMPARE(seen, paces);
}

void TestReceivePacer::budgetEndsAFlood_data()
{
    // Ticks of 1 ms each while bytes keep coming: the tick after which the event ends.
    QTest::addColumn<int>("tickMs");
    QTest::addColumn<int>("lastTick");
    QTest::newRow("1 ms ticks end on the 8th") << 1 << 8;
    QTest::newRow("the clock is read every 8th tick") << 5 << 8;
    QTest::newRow("short ticks run on") << 0 << -1;
}

void TestReceivePacer::budgetEndsAFlood()
{
    QFETCH(int, tickMs);
    QFETCH(int, lastTick);
    PacerOnFakeClock fx;
    fx.pacer.startEvent();
    int ended = -1;
    for (int ticks = 1; ticks <= 64 && ended < 0; ++ticks) {
        fx.advanceMs(tickMs);
        if (fx.pacer.budgetSpent(ticks))
            ended = ticks;
    }
    QCOMPARE(ended, lastTick);
    // A flood that used its budget keeps the fast pace whatever it took.
    for (int i = 0; i < 6 && ended > 0; ++i) {
        QCOMPARE(fx.pacer.endEvent(0, true), ReceivePacer::Pace::Flood);
        fx.pacer.startEvent();
        for (int ticks = 1; ticks <= 8; ++ticks) {
            fx.advanceMs(1);
            if (fx.pacer.budgetSpent(ticks))
                break;
        }
    }
}

// After a wake, slow events that took bytes: a link woken soon after it slept dozes (read
// again after a frame, without being woken) for as long as bytes keep coming, and sleeps again
// once an event finds nothing; a link woken after a quiet spell sleeps at once.
void TestReceivePacer::busyLinkDozes_data()
{
    QTest::addColumn<int>("asleepMs");
    QTest::addColumn<QList<int>>("bytes");
    QTest::addColumn<QString>("paces");
    QTest::newRow("busy: dozes while bytes come, sleeps when none")
        << 5 << QList<int>{600, 600, 600, 0, 600} << "DDDSS";
    QTest::newRow("quiet spell: sleeps") << 50 << QList<int>{600, 600} << "SS";
}

void TestReceivePacer::busyLinkDozes()
{
    QFETCH(int, asleepMs);
    QFETCH(QList<int>, bytes);
    QFETCH(QString, paces);
    PacerOnFakeClock fx;
    // A slow link put to sleep.
    for (int i = 0; i < ReceivePacer::kSlowEventsBeforeQuiet; ++i) {
        fx.advanceMs(ReceivePacer::kFloodTickMs);
        fx.pacer.startEvent();
        fx.pacer.endEvent(0, true);
    }
    fx.pacer.fellAsleep();
    fx.advanceMs(asleepMs);
    fx.pacer.wakeDelayMs();
    QString seen;
    for (const int taken : bytes) {
        fx.advanceMs(ReceivePacer::kBusyGatherMs);
        fx.pacer.startEvent();
        const auto pace = fx.pacer.endEvent(taken, true);
        seen += pace == ReceivePacer::Pace::Flood ? u'F'
                : pace == ReceivePacer::Pace::Doze ? u'D'
                                                    : u'S';
    }
    QCOMPARE(seen, paces);
}

void TestReceivePacer::wakeGathers_data()
{
    QTest::addColumn<int>("asleepMs");
    QTest::addColumn<int>("delayMs");
    QTest::newRow("woken soon after sleeping: a busy slow link gathers a frame") << 20 << 33;
    QTest::newRow("woken after a quiet spell") << 21 << 3;
    QTest::newRow("woken at once") << 0 << 33;
}

void TestReceivePacer::wakeGathers()
{
    QFETCH(int, asleepMs);
    QFETCH(int, delayMs);
    PacerOnFakeClock fx;
    fx.pacer.fellAsleep();
    fx.advanceMs(asleepMs);
    QCOMPARE(fx.pacer.wakeDelayMs(), delayMs);
}

void TestReceivePacer::refreshSpacing_data()
{
    QTest::addColumn<int>("sinceRefreshMs");
    QTest::addColumn<int>("newRows");
    QTest::addColumn<bool>("due");
    QTest::addColumn<int>("pendingDelayMs");
    QTest::addColumn<int>("screenRows"); // 0: the view has not told
    QTest::newRow("a few lines wait 40 ms") << 39 << 3 << false << 1 << 0;
    QTest::newRow("a few lines after 40 ms") << 40 << 3 << true << 0 << 0;
    QTest::newRow("a screenful waits 100 ms") << 99 << 50 << false << 0 << 0;
    QTest::newRow("a screenful after 100 ms") << 100 << 50 << true << 0 << 0;
    QTest::newRow("just refreshed") << 0 << 1 << false << 40 << 0;
    QTest::newRow("the view's screenful waits 100 ms") << 66 << 18 << false << 0 << 18;
    QTest::newRow("less than the view's screenful") << 66 << 17 << true << 0 << 18;
}

void TestReceivePacer::refreshSpacing()
{
    QFETCH(int, sinceRefreshMs);
    QFETCH(int, newRows);
    QFETCH(bool, due);
    QFETCH(int, pendingDelayMs);
    QFETCH(int, screenRows);
    PacerOnFakeClock fx;
    if (screenRows > 0)
        fx.pacer.setScreenRows(screenRows);
    // Nothing shown yet: the first lines are shown at once.
    QVERIFY(fx.pacer.refreshDue(newRows));
    QCOMPARE(fx.pacer.pendingRefreshDelayMs(), 0);
    fx.pacer.refreshed();
    fx.advanceMs(sinceRefreshMs);
    QCOMPARE(fx.pacer.refreshDue(newRows), due);
    QCOMPARE(fx.pacer.pendingRefreshDelayMs(), pendingDelayMs);
}

QTEST_APPLESS_MAIN(TestReceivePacer)
#include "tst_receive_pacer.moc"
