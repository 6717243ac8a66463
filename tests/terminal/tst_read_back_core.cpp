// The widget-free side of reading back a session: when each line arrived (its first byte, or
// its line end for a line that ended empty) kept through blocks and long silences, the forms
// the times are shown in, and the rule that decides whether the list follows or holds.
#include "terminal/ArrivalText.h"
#include "terminal/FollowRule.h"
#include "terminal/LineStore.h"

#include <QDateTime>
#include <QTest>

using namespace zorvane::terminal;

namespace {

qint64 g_now = 0;
qint64 fakeClock()
{
    return g_now;
}

} // namespace

class TestReadBackCore : public QObject
{
    Q_OBJECT

private slots:
    void arrivalIsTheFirstByte()
    {
        LineStore store;
        store.setClock(&fakeClock);
        g_now = 1000;
        store.appendToLast(QByteArrayView("OK")); // opens the first line
        g_now = 1100;
        store.addLine({}); // the line end of "OK": the next line holds nothing yet
        g_now = 1500;
        store.appendToLast(QByteArrayView("A"));
        g_now = 1600;
        store.appendToLast(QByteArrayView("B")); // more of the same line
        g_now = 2000;
        store.addLine({});
        g_now = 2600;
        store.addLine({}); // an empty line: its line end is its first byte
        g_now = 2700;
        store.addLine(u"echo"); // a whole line at once
        QCOMPARE(store.size(), 5);
        const QList<qint64> expected{1000, 1500, 2600, 2700, 2700};
        for (int row = 0; row < 4; ++row)
            QCOMPARE(store.arrivalMs(row), expected[row]);
        store.clear();
        g_now = 9000;
        store.appendToLast(u"x");
        QCOMPARE(store.arrivalMs(0), 9000);
    }

    void timesSurviveBlocksAndSilences()
    {
        // Thousands of lines a few ms apart, with silences of hours inside and across the
        // store's blocks, and a clock that was set back.
        LineStore store;
        store.setClock(&fakeClock);
        QList<qint64> expected;
        g_now = QDateTime(QDate(2026, 12, 10), QTime(8, 0)).toMSecsSinceEpoch();
        for (int i = 0; i < 5000; ++i) {
            if (i == 10 || i == 1500 || i == 3072)
                g_now += 5LL * 3600 * 1000; // five hours of silence
            else if (i == 2000)
                g_now -= 60 * 1000; // the system clock corrected backwards
            else
                g_now += 3 + i % 7;
            store.addLine(QStringLiteral("line %1").arg(i));
            expected << g_now;
        }
        for (int row = 0; row < 5000; ++row)
            QCOMPARE(store.arrivalMs(row), expected[row]);
    }

    void shownForms_data()
    {
        QTest::addColumn<qint64>("previous");
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("since");
        const qint64 base = QDateTime(QDate(2026, 12, 10), QTime(9, 7, 45, 8)).toMSecsSinceEpoch();
        QTest::newRow("same ms") << base << base << "+0.000";
        QTest::newRow("123 ms") << base << base + 123 << "+0.123";
        QTest::newRow("over a minute") << base << base + 61'005 << "+61.005";
        QTest::newRow("clock set back") << base << base - 1'500 << "-1.500";
    }

    void shownForms()
    {
        QFETCH(qint64, previous);
        QFETCH(qint64, ms);
        QFETCH(QString, since);
        QCOMPARE(sinceText(ms, previous), since);
        QCOMPARE(clockText(previous), QStringLiteral("09:07:45.008"));
    }

    void followOrHold_data()
    {
        // Steps: r<n> the list shows n lines; u/d the view moved up or to the bottom;
        // s the user selected lines; f End or the marker.
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<bool>("following");
        QTest::addColumn<int>("newLines");
        QTest::newRow("follows from the start") << QStringList{"r5", "r9"} << true << 0;
        QTest::newRow("scrolled up counts arrivals")
            << QStringList{"r5", "u", "r7", "r12"} << false << 7;
        QTest::newRow("back at the bottom follows")
            << QStringList{"r5", "u", "r9", "d", "r11"} << true << 0;
        QTest::newRow("a selection holds at the bottom")
            << QStringList{"r5", "s", "r8"} << false << 3;
        QTest::newRow("the bottom does not end a selection")
            << QStringList{"r5", "s", "u", "d", "r8"} << false << 3;
        QTest::newRow("End follows again") << QStringList{"r5", "u", "s", "r8", "f"} << true << 0;
        QTest::newRow("count starts afresh")
            << QStringList{"r5", "u", "r8", "f", "r9", "u", "r10"} << false << 1;
        QTest::newRow("emptied while held") << QStringList{"r5", "u", "r8", "r0", "r2"} << false
                                             << 2;
    }

    void followOrHold()
    {
        QFETCH(QStringList, steps);
        QFETCH(bool, following);
        QFETCH(int, newLines);
        FollowRule rule;
        for (const QString &step : steps) {
            if (step.startsWith(u'r'))
                rule.rowsShown(step.mid(1).toInt());
            else if (step == u"u")
                rule.viewMoved(false);
            else if (step == u"d")
                rule.viewMoved(true);
            else if (step == u"s")
                rule.selectionMade();
            else if (step == u"f")
                rule.followAgain();
        }
        QCOMPARE(rule.following(), following);
        QCOMPARE(rule.newLines(), newLines);
    }
};

QTEST_APPLESS_MAIN(TestReadBackCore)
#include "tst_read_back_core.moc"
