// The terminal list's line store: lines that cross the boundaries of its text blocks, a line
// longer than a block, the fall-back to UTF-8 for characters above 255, clearing, and styles;
// blocks sealed and compressed on their own thread come back byte for byte, on any thread.
#include "terminal/LineStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstring>
#include <optional>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

using namespace zorvane::terminal;

namespace {

constexpr qsizetype kBlock = 256 * 1024; // the store's block size

QByteArray pattern(qsizetype size, int seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(0x20 + (i * 7 + seed) % 0xDF); // printable and high bytes
    return bytes;
}

// The store's clock, set by the test before each line.
qint64 g_now = 0;
qint64 testClock()
{
    return g_now;
}

// Arrival times that jump about: the same millisecond, small steps, the clock set back, gaps
// of days.
qint64 arrivalOf(int i)
{
    const qint64 base = 1'700'000'000'000;
    switch (i % 5) {
    case 0: return base + i;
    case 1: return base + i; // as the line before
    case 2: return base + i * 37;
    case 3: return base - i * 1000; // set back
    default: return base + qint64(i) * 86'400'000;
    }
}

// Files the process holds open in `folder`, a spill file without a name included.
int openFilesIn(const QString &folder)
{
    int n = 0;
    const QString canonical = QDir(folder).canonicalPath();
    for (const QString &fd : QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System)) {
        const QString target = QFile::symLinkTarget(QStringLiteral("/proc/self/fd/") + fd);
        n += target.startsWith(canonical + u'/');
    }
    return n;
}

// Short lines of mixed text with their arrival times, enough for many blocks.
QList<QByteArray> addTextLines(LineStore &store, int lines)
{
    QList<QByteArray> expected;
    store.setClock(&testClock);
    for (int i = 0; i < lines; ++i) {
        g_now = arrivalOf(i);
        expected << QByteArray::number(qint64(i) * 2654435761u % 1000003) + " AT+X=" +
                        pattern(i % 40, i);
        store.addLine(QString::fromLatin1(expected.back()));
    }
    return expected;
}

// Every line and its arrival time as added.
bool storeHolds(LineStore &store, const QList<QByteArray> &expected)
{
    for (int row = 0; row < expected.size(); ++row) {
        if (store.latin1(row) != QByteArrayView(expected[row]) || store.arrivalMs(row) != arrivalOf(row)) {
            qWarning("row %d differs", row);
            return false;
        }
    }
    return true;
}

// While alive, a write that takes a file past `bytes` fails with EFBIG instead of ending
// the process, as a full disk fails a write.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_oldSignal = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_ok = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldSignal);
    }
    bool ok() const { return m_ok; }

private:
    rlimit m_old{};
    void (*m_oldSignal)(int) = nullptr;
    bool m_ok = false;
};

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
        QVERIFY(store.blockEnd(0) < store.size()); // the lines span several blocks
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
        store.settle();
        QVERIFY(store.memoryBytes() > 5000 * 8);
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

    // Lines with every byte value, grown in pieces so that many reach past the end of their
    // block and move on, come back the same once their blocks are compressed: through the
    // store (read out of order, so its cache of decompressed blocks turns over) and through
    // readers on other threads.
    void sealedBlocksComeBackWhole_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("shortest");
        QTest::addColumn<int>("longest");
        QTest::addColumn<int>("piece");
        QTest::newRow("short lines") << 60000 << 0 << 64 << 7;
        QTest::newRow("lines over block ends") << 4000 << 300 << 2000 << 333;
        QTest::newRow("lines longer than a block") << 6 << 600000 << 900000 << 65536;
    }

    void sealedBlocksComeBackWhole()
    {
        QFETCH(int, lines);
        QFETCH(int, shortest);
        QFETCH(int, longest);
        QFETCH(int, piece);
        LineStore store;
        store.setClock(&testClock);
        QList<QByteArray> expected;
        quint32 seed = 1;
        for (int i = 0; i < lines; ++i) {
            g_now = arrivalOf(i);
            seed = seed * 1103515245u + 12345u;
            QByteArray line(shortest + int(seed >> 8) % (longest - shortest + 1), Qt::Uninitialized);
            for (qsizetype k = 0; k < line.size(); ++k)
                line[k] = char((i * 131 + k * 7 + (k >> 9)) & 0xFF); // every byte value, NUL too
            store.addLine({});
            for (qsizetype done = 0; done < line.size(); done += piece)
                store.appendToLast(QByteArrayView(line).sliced(
                    done, std::min<qsizetype>(piece, line.size() - done)));
            expected << line;
        }
        g_now = arrivalOf(lines);
        store.addLine(u"\u20ac wide, in the open block");
        store.settle();
        QVERIFY(store.isSealed(0));
        QVERIFY(!store.isSealed(store.size() - 1));
        QCOMPARE(store.size(), expected.size() + 1);

        const int rows = int(expected.size());
        const int stride = rows > 100 ? 7919 : 1; // hops between blocks
        for (int i = 0; i < rows; ++i) {
            const int row = int((qint64(i) * stride) % rows);
            QCOMPARE(store.length(row), expected[row].size());
            QCOMPARE(store.latin1(row).value(), QByteArrayView(expected[row]));
            // A line that ended empty arrived with its line end, when the next one began.
            QCOMPARE(store.arrivalMs(row), arrivalOf(expected[row].isEmpty() ? row + 1 : row));
        }
        QCOMPARE(store.text(0), QString::fromLatin1(expected[0]));
        QCOMPARE(store.text(rows - 1, 3, 5), QString::fromLatin1(expected[rows - 1].mid(3, 5)));
        QCOMPARE(store.text(rows), QStringLiteral("\u20ac wide, in the open block"));

        // Two readers at once, each over half the lines, while this thread waits.
        bool same[2] = {true, true};
        const auto readHalf = [&](int half) {
            LineStore::Reader reader(store);
            for (int row = half; row < rows; row += 2)
                same[half] = same[half] && reader.latin1(row) == QByteArrayView(expected[row]);
        };
        std::thread other(readHalf, 1);
        readHalf(0);
        other.join();
        QVERIFY(same[0]);
        QVERIFY(same[1]);
    }

    // Wide lines sealed in a block keep their characters.
    void wideLinesInSealedBlocks()
    {
        LineStore store;
        for (int i = 0; i < 20000; ++i)
            store.addLine(i % 100 == 0 ? QStringLiteral("\u20ac %1 \u00e9").arg(i)
                                       : QStringLiteral("line %1 of plain text").arg(i));
        store.settle();
        QVERIFY(store.isSealed(0));
        LineStore::Reader reader(store);
        for (int i = 0; i < 20000; i += 100) {
            QCOMPARE(store.text(i), QStringLiteral("\u20ac %1 \u00e9").arg(i));
            QVERIFY(!store.latin1(i));
            QCOMPARE(reader.text(i), QStringLiteral("\u20ac %1 \u00e9").arg(i));
            QCOMPARE(store.latin1(i + 1).value(), QStringLiteral("line %1 of plain text").arg(i + 1).toLatin1());
        }
    }

    // Clearing, or dropping the store, while its blocks are still being compressed (and
    // spilled, in the later rounds): the compressing thread finishes with blocks nobody
    // holds, the spill file goes, and the store goes on afresh.
    void clearDuringCompression()
    {
        const QByteArray text = pattern(4 * kBlock, 9);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        for (int round = 0; round < 6; ++round) {
            std::optional<LineStore> kept;
            LineStore &store = kept.emplace();
            if (round >= 2)
                store.setSpill(0, folder.path());
            for (int i = 0; i < 16; ++i) {
                store.addLine({});
                for (qsizetype done = 0; done < text.size(); done += 1000)
                    store.appendToLast(QByteArrayView(text).sliced(
                        done, std::min<qsizetype>(1000, text.size() - done)));
            }
            if (round % 2 == 1) {
                kept.reset(); // dropped at once
                QCOMPARE(openFilesIn(folder.path()), 0);
                continue;
            }
            store.clear();
            QCOMPARE(openFilesIn(folder.path()), 0);
            QVERIFY(store.isEmpty());
            QVERIFY(store.memoryBytes() < 1024);
            store.addLine(u"after the clear");
            store.settle();
            QCOMPARE(store.size(), 1);
            QCOMPARE(store.text(0), QStringLiteral("after the clear"));
        }
    }

    // Past the budget the oldest packed blocks go to a file without a name, and come back
    // from it line for line, times included; a Clear closes the file, which frees it.
    void spilledBlocksComeBack()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        LineStore store;
        store.setSpill(64 * 1024, folder.path());
        const QList<QByteArray> expected = addTextLines(store, 200000);
        store.settle();
        QVERIFY(store.isSpilled(0));
        QVERIFY(!store.isSpilled(store.blockEnd(store.size() - 1) - 1));
        QCOMPARE(QDir(folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
        QCOMPARE(openFilesIn(folder.path()), 1);
        QVERIFY(storeHolds(store, expected));
        LineStore::Reader reader(store);
        QCOMPARE(reader.latin1(3).value(), QByteArrayView(expected[3]));
        QVERIFY(!store.takeSpillNotice());

        store.clear();
        QCOMPARE(openFilesIn(folder.path()), 0);
        QVERIFY(store.memoryBytes() < 1024);
    }

    // A spill file that cannot be made or written: spilling stops with one notice, and every
    // line stays, in memory.
    void spillThatFails_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("the disk fills") << "limit";
        QTest::newRow("folder not writable") << "read-only";
        QTest::newRow("folder is a file") << "file";
    }

    void spillThatFails()
    {
        QFETCH(QString, how);
        QTemporaryDir parent;
        QVERIFY(parent.isValid());
        QString folder = parent.filePath(QStringLiteral("cache"));
        QVERIFY(QDir().mkpath(folder));
        if (how == u"read-only") {
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
            if (geteuid() == 0)
                QSKIP("running as root, which writes into a folder without write permission");
        } else if (how == u"file") {
            folder = parent.filePath(QStringLiteral("a-file"));
            QFile file(folder);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        // A few blocks fit under the size limit before the disk is full.
        std::optional<FileSizeLimit> limit;
        if (how == u"limit") {
            limit.emplace(200 * 1024);
            QVERIFY(limit->ok());
        }
        LineStore store;
        store.setSpill(64 * 1024, folder);
        QList<QByteArray> expected = addTextLines(store, 150000);
        store.settle();
        if (how == u"limit")
            QVERIFY(store.isSpilled(0)); // the blocks before the disk filled stay on it
        else
            QVERIFY(!store.isSpilled(0));
        const std::optional<QString> notice = store.takeSpillNotice();
        QVERIFY(notice);
        QVERIFY2(notice->contains(QStringLiteral("stay in memory")), qPrintable(*notice));
        if (how == u"limit")
            QVERIFY2(notice->contains(QString::fromLocal8Bit(strerror(EFBIG))), qPrintable(*notice));
        // More lines later: no second notice, nothing lost.
        for (int i = expected.size(); i < 300000; ++i) {
            g_now = arrivalOf(i);
            expected << "later " + QByteArray::number(i);
            store.addLine(QString::fromLatin1(expected.back()));
        }
        store.settle();
        QVERIFY(!store.takeSpillNotice());
        QVERIFY(store.isSealed(250000));
        QVERIFY(!store.isSpilled(250000));
        limit.reset();
        QVERIFY(storeHolds(store, expected));
        // Spilling stays off after a Clear: the notice is not given twice.
        store.clear();
        addTextLines(store, 150000);
        store.settle();
        QVERIFY(!store.takeSpillNotice());
        QVERIFY(!store.isSpilled(0));
        QFile::setPermissions(parent.filePath(QStringLiteral("cache")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};

QTEST_APPLESS_MAIN(TestLineStore)
#include "tst_line_store.moc"
