// The serial unit's read path on a pseudo-terminal: bytes come out in order and counted,
// also after the reader rested (the device then holds what arrives until the next read),
// whether or not the event loop ran in between.
#include "PtyModule.h"
#include "serial/Serial_io.h"

#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QTest>

using namespace zorvane::serial;

namespace {

constexpr int kPort = 7;

// Reads until `count` bytes came or the time is up; lets the event loop run between reads
// only when asked to.
QByteArray readBytes(SerialIo &io, qsizetype count, bool runEventLoop)
{
    QByteArray out;
    const QDeadlineTimer deadline(10000);
    while (out.size() < count && !deadline.hasExpired()) {
        const int byte =
            io.c_getc(out.isEmpty() ? SerialIo::ReadWait::Timeout : SerialIo::ReadWait::None);
        if (byte >= 0)
            out.append(static_cast<char>(byte));
        else if (runEventLoop)
            QCoreApplication::processEvents();
    }
    return out;
}

QByteArray block(qsizetype size, int seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 13 + seed) & 0xFF);
    return bytes;
}

} // namespace

class TestReadPath : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        m_docs = useTemporaryHome(m_home.path());
        isolatePorts(m_docs);
    }

    void bytesInOrderAcrossRests_data()
    {
        QTest::addColumn<bool>("runEventLoop");
        QTest::newRow("event loop runs while resting") << true;
        QTest::newRow("no event loop while resting") << false;
    }

    void bytesInOrderAcrossRests()
    {
        QFETCH(bool, runEventLoop);
        PtyModule module;
        QVERIFY(module.linkAs(m_docs, kPort));
        SerialIo io;
        io.setDocumentsFolder(m_docs);
        QVERIFY(io.c_open(kPort, 115200, 8, 0, 1));
        const qint64 start = io.bytesTaken();

        QByteArray sent;
        for (int round = 0; round < 3; ++round) {
            // Nothing waits: the reader rests, then a burst arrives.
            QCOMPARE(io.c_getc(), -1);
            io.restUntilNextRead();
            const QByteArray burst = block(5000 + round * 3000, round);
            QVERIFY(module.write(burst));
            sent += burst;
            QCOMPARE(readBytes(io, burst.size(), runEventLoop), burst);
        }
        QCOMPARE(io.bytesTaken() - start, sent.size());
    }

private:
    QTemporaryDir m_home;
    QString m_docs;
};

QTEST_GUILESS_MAIN(TestReadPath)
#include "tst_read_path.moc"
