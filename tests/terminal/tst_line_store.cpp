// The terminal list's line store: lines that cross the boundaries of its text blocks, a line
// longer than a block, the fall-back to UTF-8 for characters above 255, clearing, and styles.
#include "terminal/LineStore.h"

#include <QTest>

using namespace zorvane::terminal;

namespace {

constexpr qsizetype kBlock = 1 << 20; // the store's block size

QByteArray pattern(qsizetype size, int seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(0x20 + (i * 7 + seed) % 0xDF); // printable and high bytes
    return bytes;
}

} // namespace

class TestLineStore : public QObject
{
    Q_OBJECT

private slots:
    void linesAcrossBlocks()
    {
        // Lines of uneven length, some grown in several appends, fill a few blocks; the last
        // line of a full block moves to a fresh one while it grows.
        LineStore store;
        QList<QByteArray> expected;
        for (int i = 0; i < 4000; ++i) {
            const QByteArray line = pattern(100 + (i * 37) % 1900, i);
            store.addLine({});
            for (qsizetype done = 0; done < line.size(); done += 333)
                store.appendToLast(QByteArrayView(line).sliced(
                    done, std::min<qsizetype>(333, line.size() - done)));
            expected << line;
        }
        QVERIFY(store.memoryBytes() > 3 * kBlock);
        QCOMPARE(store.size(), expected.size());
        for (int i = 0; i < expected.size(); ++i) {
            QCOMPARE(store.length(i), expected[i].size());
            QCOMPARE(store.text(i), QString::fromLatin1(expected[i]));
            QCOMPARE(store.latin1(i).value(), QByteArrayView(expected[i]));
        }
    }

    void lineLongerThanABlock()
    {
        LineStore store;
        store.addLine(u"before");
        const QByteArray huge = pattern(3 * kBlock + 12345, 3);
        store.addLine({});
        for (qsizetype done = 0; done < huge.size(); done += 65536)
            store.appendToLast(
                QByteArrayView(huge).sliced(done, std::min<qsizetype>(65536, huge.size() - done)));
        store.addLine(u"after");
        QCOMPARE(store.size(), 3);
        QCOMPARE(store.text(0), QStringLiteral("before"));
        QCOMPARE(store.length(1), huge.size());
        QCOMPARE(store.latin1(1).value(), QByteArrayView(huge));
        QCOMPARE(store.text(2), QStringLiteral("after"));
        // A slice of the long line, as the view paints it.
        QCOMPARE(store.text(1, kBlock, 10), QString::fromLatin1(huge.mid(kBlock, 10)));
        QCOMPARE(store.text(1, huge.size() - 3, 10), QString::fromLatin1(huge.right(3)));
        QCOMPARE(store.text(1, huge.size() + 5, 10), QString());
    }

    void wideCharacters_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QByteArray>("thenBytes");
        QTest::addColumn<QString>("thenText");
        QTest::addColumn<QString>("shown");

        QTest::newRow("latin only") << QStringLiteral("caf\u00e9") << QByteArray("\xFF")
                                    << QString() << QStringLiteral("caf\u00e9\u00ff");
        QTest::newRow("wide after latin")
            << QStringLiteral("caf\u00e9 ") << QByteArray() << QStringLiteral("\u20ac5")
            << QStringLiteral("caf\u00e9 \u20ac5");
        // Received bytes after a wide character still show as their Latin-1 characters.
        QTest::newRow("bytes after wide")
            << QStringLiteral("\u20ac") << QByteArray("\xE9!") << QStringLiteral("\u00e9")
            << QStringLiteral("\u20ac\u00e9!\u00e9");
        QTest::newRow("wide in the middle") << QStringLiteral("a\u4e2db") << QByteArray("c")
                                            << QString() << QStringLiteral("a\u4e2dbc");
    }

    void wideCharacters()
    {
        QFETCH(QString, first);
        QFETCH(QByteArray, thenBytes);
        QFETCH(QString, thenText);
        QFETCH(QString, shown);
        LineStore store;
        store.addLine(u"plain before");
        store.addLine({});
        store.appendToLast(QStringView(first));
        store.appendToLast(QByteArrayView(thenBytes));
        store.appendToLast(QStringView(thenText));
        store.addLine(u"plain after");
        QCOMPARE(store.text(1), shown);
        const bool wide =
            std::any_of(shown.begin(), shown.end(), [](QChar c) { return c.unicode() > 0xFF; });
        QCOMPARE(store.latin1(1).has_value(), !wide);
        QCOMPARE(store.text(1, 1, 2), shown.mid(1, 2));
        // The lines around it are untouched.
        QCOMPARE(store.text(0), QStringLiteral("plain before"));
        QCOMPARE(store.text(2), QStringLiteral("plain after"));
    }

    void clearEmptiesAndFreesTheStore()
    {
        LineStore store;
        for (int i = 0; i < 5000; ++i)
            store.addLine(QString::fromLatin1(pattern(500, i)));
        QVERIFY(store.memoryBytes() > 2 * kBlock);
        store.clear();
        QVERIFY(store.isEmpty());
        QVERIFY(store.memoryBytes() < 1024);
        // Appending to an empty store opens its first line.
        store.appendToLast(QByteArrayView("x"));
        QCOMPARE(store.size(), 1);
        QCOMPARE(store.text(0), QStringLiteral("x"));
    }

    void growthKeepsEarlierLines()
    {
        LineStore store;
        store.addLine(u"one");
        store.addLine(u"two");
        // Growth that moves the line to a fresh block, or to UTF-8, keeps its text.
        store.appendToLast(QByteArrayView(pattern(2 * kBlock, 1)));
        store.appendToLast(u"\u20ac");
        QCOMPARE(store.text(1).size(), 3 + 2 * kBlock + 1);
        QCOMPARE(store.text(0), QStringLiteral("one"));
    }
};

QTEST_APPLESS_MAIN(TestLineStore)
#include "tst_line_store.moc"
