// The widget-free side of reading back a session: when each line arrived (its first byte, or
// its line end for a line that ended empty) kept through blocks and long silences, the forms
// the times are shown in, and the rule that decides whether the list follows or holds.
#include "terminal/ArrivalText.h"
#include "terminal/FollowRule.h"
#include "terminal/LineSearch.h"
#include "terminal/LineStore.h"

#include <QDateTime>
#include <QRegularExpression>
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

    void find_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("caseSensitive");
        QTest::addColumn<bool>("regex");
        QTest::addColumn<int>("count");
        // Rows and starts of the matches, in order.
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<QList<int>>("starts");
        QTest::newRow("plain, any case") << "ok" << false << false << 4 << QList<int>{0, 2, 2, 4}
                                         << QList<int>{0, 0, 3, 5};
        QTest::newRow("plain, case") << "OK" << true << false << 2 << QList<int>{0, 2}
                                     << QList<int>{0, 0};
        QTest::newRow("does not overlap") << "aa" << false << false << 2 << QList<int>{3, 3}
                                          << QList<int>{0, 2};
        QTest::newRow("regex") << "^[A-Z]+\\d" << true << true << 1 << QList<int>{1}
                               << QList<int>{0};
        QTest::newRow("regex, any case") << "o.\\b" << false << true << 4
                                         << QList<int>{0, 2, 2, 4} << QList<int>{0, 0, 3, 5};
        QTest::newRow("empty matches nothing") << "x*" << true << true << 0 << QList<int>{}
                                               << QList<int>{};
        QTest::newRow("high byte") << "café" << false << false << 1 << QList<int>{4}
                                   << QList<int>{0};
        QTest::newRow("wide character") << "€" << false << false << 1 << QList<int>{5}
                                        << QList<int>{2};
    }

    void find()
    {
        QFETCH(QString, pattern);
        QFETCH(bool, caseSensitive);
        QFETCH(bool, regex);
        QFETCH(int, count);
        QFETCH(QList<int>, rows);
        QFETCH(QList<int>, starts);
        LineStore store;
        for (const QString &line : {u"OK"_qs, u"ERROR1"_qs, u"OK ok"_qs, u"aaaa"_qs,
                                     u"café Ok"_qs, u"1 €"_qs})
            store.addLine(line);
        LineSearch search;
        QVERIFY(search.setPattern(pattern, caseSensitive, regex));
        QCOMPARE(search.count(store), count);
        // Forwards from nowhere through every match and round the end; then backwards.
        LineMatch at;
        for (int i = 0; i <= count; ++i) {
            const auto found = search.next(store, at, true);
            QCOMPARE(found.has_value(), count > 0);
            if (!found)
                break;
            QCOMPARE(found->row, rows[i % count]);
            QCOMPARE(found->start, starts[i % count]);
            QCOMPARE(search.ordinal(store, *found), i % count);
            at = *found;
        }
        // `at` is the first match again; backwards goes round to the last one first.
        for (int k = 1; k <= count; ++k) {
            at = *search.next(store, at, false);
            QCOMPARE(at.row, rows[count - k]);
            QCOMPARE(at.start, starts[count - k]);
        }
    }

    void findCountFollowsArrivals()
    {
        LineStore store;
        LineSearch search;
        QVERIFY(search.setPattern(u"err"_qs, false, false));
        store.appendToLast(QByteArrayView("ERR 1"));
        QCOMPARE(search.count(store), 1);
        store.appendToLast(QByteArrayView(" err")); // the last line grows
        QCOMPARE(search.count(store), 2);
        store.addLine(u"no"_qs);
        store.addLine(u"err err"_qs);
        QCOMPARE(search.count(store), 4);
        // Emptied and filled again past the old size: counted afresh.
        store.clear();
        for (int i = 0; i < 5; ++i)
            store.addLine(u"err"_qs);
        QCOMPARE(search.count(store), 5);
        QVERIFY(!search.setPattern(u"(unclosed"_qs, false, true));
        QCOMPARE(search.count(store), 0);
        QVERIFY(!search.next(store, {}, true));
    }

    // Counting over many sealed blocks runs on several threads; the count, a match's place in
    // it and the way round the end agree with the lines as they were added.
    void findOverSealedBlocks_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("caseSensitive");
        QTest::addColumn<bool>("regex");
        QTest::newRow("plain, case") << "ERROR" << true << false;
        QTest::newRow("plain, any case") << "error" << false << false;
        QTest::newRow("regex") << "ERR(OR)? \\d+7\\b" << true << true;
        QTest::newRow("wide character") << "\u20ac" << false << false;
        // Lines ending in 0 come before lines starting with +: no match spans them.
        QTest::newRow("not across line ends") << "0+" << true << false;
    }

    void findOverSealedBlocks()
    {
        QFETCH(QString, pattern);
        QFETCH(bool, caseSensitive);
        QFETCH(bool, regex);
        LineStore store;
        QStringList added;
        for (int i = 0; i < 60000; ++i) {
            QString line = i % 97 == 0    ? QStringLiteral("+RSSI: ERROR %1 error 0+1").arg(i)
                           : i % 1001 == 0 ? QStringLiteral("\u20ac %1 Error").arg(i)
                                           : QStringLiteral("+STATUS: link 0 seq %1").arg(i);
            store.addLine(line);
            added << line;
        }
        store.settle();
        QVERIFY(store.isSealed(0));
        const QRegularExpression expression(
            regex ? pattern : QRegularExpression::escape(pattern),
            caseSensitive ? QRegularExpression::NoPatternOption
                          : QRegularExpression::CaseInsensitiveOption);
        qsizetype expected = 0;
        LineMatch lastMatch;
        for (int row = 0; row < added.size(); ++row) {
            for (auto it = expression.globalMatch(added[row]); it.hasNext();) {
                const auto m = it.next();
                ++expected;
                lastMatch = {row, m.capturedStart(), m.capturedLength()};
            }
        }
        QVERIFY(expected > 1);
        LineSearch search;
        QVERIFY(search.setPattern(pattern, caseSensitive, regex));
        QCOMPARE(search.count(store), expected);
        QCOMPARE(search.ordinal(store, lastMatch), expected - 1);
        // Backwards from the first line goes round to the last match.
        const auto found = search.next(store, {0, 0, 0}, false);
        QVERIFY(found);
        QCOMPARE(*found, lastMatch);
    }

    // Going from match to match with a regular expression searches many lines joined at once;
    // whatever runs past a line end there, each step lands where a search of each line alone
    // lands, both ways, round the end and across the joined runs.
    void regexStepsMatchLineByLine_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::newRow("spans line ends when joined") << "k[^Q]*9";
        QTest::newRow("white space to the next line") << "\\d\\s+\\+";
        QTest::newRow("line start") << "^\\+RSSI";
        QTest::newRow("line end") << "7$";
        QTest::newRow("empty matches") << "Z*";
        QTest::newRow("any character, lines joined by dots") << "(?s)0.+S";
        // Joined, the line end would be the white space before or after the line.
        QTest::newRow("looks behind") << "(?<!\\s)\\+RSSI";
        QTest::newRow("looks ahead") << "\\d(?!\\s)";
    }

    void regexStepsMatchLineByLine()
    {
        QFETCH(QString, pattern);
        LineStore store;
        QStringList added;
        for (int i = 0; i < 20000; ++i) {
            const QString line = i % 3331 == 0 ? QStringLiteral("+RSSI: -%1").arg(i % 90)
                                 : i % 17 == 0   ? QString()
                                                 : QStringLiteral("link %1 seq %2").arg(i % 7).arg(i);
            store.addLine(line);
            added << line;
        }
        const QRegularExpression expression(pattern);
        QList<LineMatch> expected;
        for (int row = 0; row < added.size(); ++row)
            for (auto it = expression.globalMatch(added[row]); it.hasNext();) {
                const auto m = it.next();
                if (m.capturedLength() > 0)
                    expected.append({row, m.capturedStart(), m.capturedLength()});
            }
        LineSearch search;
        QVERIFY(search.setPattern(pattern, true, true));
        if (expected.isEmpty()) {
            QVERIFY(!search.next(store, {}, true));
            return;
        }
        // A few steps each way from several places, and round both ends.
        for (const qsizetype index : {qsizetype(0), expected.size() / 3, expected.size() - 1}) {
            const LineMatch at = expected[index];
            QCOMPARE(search.next(store, at, true), expected[(index + 1) % expected.size()]);
            QCOMPARE(search.next(store, at, false),
                     expected[(index + expected.size() - 1) % expected.size()]);
        }
        QCOMPARE(search.next(store, {}, true), expected.first());
        QCOMPARE(search.next(store, {}, false), expected.last());
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
