// Text lines and raw bytes on bytes alone: what leaves when, on a clock the test moves, and
// the wait for a prompt.
#include "transfer/PacedSender.h"

#include <QBuffer>
#include <QTest>

using zorvane::transfer::PacedSender;
using zorvane::transfer::Pacing;
using zorvane::transfer::Sender;

namespace {

// What a sender writes, and when, until it is done: the clock jumps to each deadline.
struct Timed
{
    qint64 atMs;
    QByteArray bytes;
};

QList<Timed> runToEnd(PacedSender &sender, qint64 startMs = 0)
{
    QList<Timed> out;
    out.append({startMs, sender.start(startMs)});
    for (int guard = 0; guard < 100'000 && sender.state() == Sender::State::Running; ++guard) {
        const qint64 at = sender.deadlineMs();
        QByteArray bytes = sender.timePassed(at);
        if (!bytes.isEmpty())
            out.append({at, bytes});
    }
    return out;
}

QByteArray joined(const QList<Timed> &pieces)
{
    QByteArray all;
    for (const Timed &piece : pieces)
        all += piece.bytes;
    return all;
}

} // namespace

class TestPacedSender : public QObject
{
    Q_OBJECT

private slots:
    void textLines_data();
    void textLines();
    void characterDelay();
    void waitFor();
    void waitForTimesOut();
    void raw_data();
    void raw();
    void cancelStopsAtOnce();
};

void TestPacedSender::textLines_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("lineEnd");
    QTest::addColumn<QList<QByteArray>>("lines");

    QTest::newRow("LF, CR LF, empty line, no end at the last")
        << QByteArray("AT\nATI\r\n\nAT+X") << QByteArray("\r")
        << QList<QByteArray>{"AT\r", "ATI\r", "\r", "AT+X\r"};
    QTest::newRow("CR LF line end")
        << QByteArray("a\nb\n") << QByteArray("\r\n") << QList<QByteArray>{"a\r\n", "b\r\n"};
}

// Each line leaves with the port's line end, one line delay after the one before.
void TestPacedSender::textLines()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, lineEnd);
    QFETCH(QList<QByteArray>, lines);

    QBuffer source;
    source.setData(file);
    QVERIFY(source.open(QIODevice::ReadOnly));
    Pacing pacing;
    pacing.lineDelayMs = 100;
    PacedSender sender(PacedSender::Mode::TextLines, &source, file.size(), pacing, lineEnd);
    const QList<Timed> out = runToEnd(sender, 5000);
    QCOMPARE(sender.state(), Sender::State::Done);
    QCOMPARE(sender.bytesDone(), qint64(file.size()));
    QCOMPARE(out.size(), lines.size());
    for (qsizetype i = 0; i < out.size(); ++i) {
        QCOMPARE(out[i].bytes, lines[i]);
        QCOMPARE(out[i].atMs, 5000 + 100 * i);
    }
}

void TestPacedSender::characterDelay()
{
    QBuffer source;
    source.setData("ab\ncd");
    QVERIFY(source.open(QIODevice::ReadOnly));
    Pacing pacing;
    pacing.characterDelayMs = 7;
    pacing.lineDelayMs = 50;
    // In the multiplexing mode each piece is framed (here: bracketed) to the link.
    PacedSender sender(PacedSender::Mode::TextLines, &source, 5, pacing, "\r",
                       [](QByteArrayView bytes) { return "[" + bytes.toByteArray() + "]"; });
    const QList<Timed> out = runToEnd(sender);
    QStringList seen;
    for (const Timed &piece : out)
        seen << QStringLiteral("%1:%2").arg(piece.atMs).arg(QString::fromLatin1(piece.bytes));
    QCOMPARE(seen, (QStringList{"0:[a]", "7:[b]", "14:[\r]", "64:[c]", "71:[d]", "78:[\r]"}));
}

// The next line leaves only once the prompt came, however it is split, and only after the
// line delay that follows it.
void TestPacedSender::waitFor()
{
    QBuffer source;
    source.setData("AT\nATI\nAT+Z\n");
    QVERIFY(source.open(QIODevice::ReadOnly));
    Pacing pacing;
    pacing.waitFor = "OK>";
    pacing.lineDelayMs = 20;
    PacedSender sender(PacedSender::Mode::TextLines, &source, 12, pacing);
    QVERIFY(!sender.takesReceivedBytes());
    QCOMPARE(sender.start(0), QByteArray("AT\r"));
    QCOMPARE(sender.timePassed(5000), QByteArray());
    QCOMPARE(sender.received("AT\r\nO", 5001), QByteArray());
    QCOMPARE(sender.received("K", 5002), QByteArray());
    QCOMPARE(sender.timePassed(9000), QByteArray());
    QCOMPARE(sender.received(">", 9001), QByteArray());
    QCOMPARE(sender.deadlineMs(), qint64(9021));
    QCOMPARE(sender.timePassed(9020), QByteArray());
    QCOMPARE(sender.timePassed(9021), QByteArray("ATI\r"));
    // The line after it waits for its own prompt, then the line delay.
    QCOMPARE(sender.received("OK>", 9030), QByteArray());
    QCOMPARE(sender.timePassed(9050), QByteArray("AT+Z\r"));
    QCOMPARE(sender.state(), Sender::State::Done);
}

void TestPacedSender::waitForTimesOut()
{
    QBuffer source;
    source.setData("AT\nATI\n");
    QVERIFY(source.open(QIODevice::ReadOnly));
    Pacing pacing;
    pacing.waitFor = ">";
    PacedSender sender(PacedSender::Mode::TextLines, &source, 7, pacing);
    QCOMPARE(sender.start(0), QByteArray("AT\r"));
    QCOMPARE(sender.received("ERROR", 10), QByteArray());
    QCOMPARE(sender.timePassed(PacedSender::kWaitForMs - 1), QByteArray());
    QCOMPARE(sender.timePassed(PacedSender::kWaitForMs), QByteArray());
    QCOMPARE(sender.state(), Sender::State::Failed);
    QCOMPARE(sender.failure(), QStringLiteral("\">\" did not arrive within 10 s after line 1"));
    QCOMPARE(sender.received(">", PacedSender::kWaitForMs + 1), QByteArray());
}

void TestPacedSender::raw_data()
{
    QTest::addColumn<int>("characterDelayMs");
    QTest::addColumn<int>("lineDelayMs");
    QTest::addColumn<int>("pieces");
    QTest::addColumn<qint64>("lastAtMs");

    // 11.52 bytes a ms (115200 8N1): pieces of 115 bytes every 10 ms.
    QTest::newRow("at the line's pace") << 0 << 0 << 3 << qint64(20);
    QTest::newRow("character delay") << 3 << 0 << 300 << qint64(299 * 3);
    // A line delay cuts the pieces after each LF.
    QTest::newRow("line delay") << 0 << 40 << 4 << qint64(40 + 10 + 10);
}

// Raw bytes leave unchanged, NUL, CR, LF and 0xFF included, and are never framed.
void TestPacedSender::raw()
{
    QFETCH(int, characterDelayMs);
    QFETCH(int, lineDelayMs);
    QFETCH(int, pieces);
    QFETCH(qint64, lastAtMs);

    QByteArray file(300, '\0');
    for (int i = 0; i < file.size(); ++i)
        file[i] = char(i * 7);
    file[50] = '\n';
    file[100] = '\r';
    for (char &c : file)
        if (c == '\n' && &c != &file[50])
            c = 'x';
    QBuffer source;
    source.setData(file);
    QVERIFY(source.open(QIODevice::ReadOnly));
    Pacing pacing;
    pacing.characterDelayMs = characterDelayMs;
    pacing.lineDelayMs = lineDelayMs;
    PacedSender sender(PacedSender::Mode::Raw, &source, file.size(), pacing, "\r",
                       [](QByteArrayView) { return QByteArray("framed"); });
    const QList<Timed> out = runToEnd(sender);
    QCOMPARE(sender.state(), Sender::State::Done);
    QCOMPARE(joined(out), file);
    QCOMPARE(out.size(), pieces);
    QCOMPARE(out.last().atMs, lastAtMs);
    QCOMPARE(sender.bytesDone(), qint64(file.size()));
}

void TestPacedSender::cancelStopsAtOnce()
{
    QBuffer source;
    source.setData(QByteArray(1000, 'a'));
    QVERIFY(source.open(QIODevice::ReadOnly));
    Pacing pacing;
    pacing.characterDelayMs = 1;
    PacedSender sender(PacedSender::Mode::Raw, &source, 1000, pacing);
    QCOMPARE(sender.start(0), QByteArray("a"));
    QCOMPARE(sender.cancel(1), QByteArray());
    QCOMPARE(sender.state(), Sender::State::Failed);
    QCOMPARE(sender.failure(), QStringLiteral("cancelled"));
    QCOMPARE(sender.timePassed(10), QByteArray());
    QCOMPARE(sender.deadlineMs(), Sender::kNoDeadline);
}

QTEST_GUILESS_MAIN(TestPacedSender)
#include "tst_paced_sender.moc"
