// The XMODEM family's sender on bytes alone: what it writes for each answer, how it retries,
// times out and cancels, with the time handed in by the test.
#include "transfer/XmodemSender.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTest>

using zorvane::transfer::Sender;
using zorvane::transfer::XmodemSender;
using zorvane::transfer::XmodemVariant;

Q_DECLARE_METATYPE(XmodemVariant)

namespace {

const char kAck = XmodemSender::kAck;
const char kNak = XmodemSender::kNak;
const char kCan = XmodemSender::kCan;
const char kEot = XmodemSender::kEot;

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &c : bytes)
        c = char(QRandomGenerator::global()->bounded(256));
    return bytes;
}

// One block as a receiver reads it off the wire.
struct Block
{
    bool valid = false;
    quint8 number = 0;
    QByteArray data;
    qsizetype wireSize = 0;
};

Block readBlock(QByteArrayView wire, bool crc)
{
    Block block;
    if (wire.size() < 3 || (wire[0] != XmodemSender::kSoh && wire[0] != XmodemSender::kStx))
        return block;
    const int size = wire[0] == XmodemSender::kStx ? 1024 : 128;
    block.wireSize = 3 + size + (crc ? 2 : 1);
    if (wire.size() < block.wireSize)
        return block;
    block.number = quint8(wire[1]);
    if (quint8(wire[2]) != quint8(~block.number))
        return block;
    block.data = wire.sliced(3, size).toByteArray();
    if (crc) {
        const quint16 sum = XmodemSender::crc16(block.data);
        block.valid =
            quint8(wire[3 + size]) == (sum >> 8) && quint8(wire[4 + size]) == (sum & 0xFF);
    } else {
        quint8 sum = 0;
        for (const char c : block.data)
            sum = quint8(sum + quint8(c));
        block.valid = quint8(wire[3 + size]) == sum;
    }
    return block;
}

} // namespace

class TestXmodemSender : public QObject
{
    Q_OBJECT

private slots:
    void crcAndChecksum_data();
    void crcAndChecksum();
    void wholeTransfer_data();
    void wholeTransfer();
    void refusedBlockGivesUpAfterTenTries();
    void silentReceiver_data();
    void silentReceiver();
    void receiverCancel_data();
    void receiverCancel();
    void userCancel_data();
    void userCancel();
    void shortFileFails();
};

void TestXmodemSender::crcAndChecksum_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("blockSize");
    QTest::addColumn<bool>("crc");
    QTest::addColumn<QByteArray>("tail");

    // The CRC-16/XMODEM check value of "123456789" is 0x31C3.
    QTest::newRow("crc check value")
        << QByteArray("123456789") << 0 << true << QByteArray("\x31\xC3", 2);
    QTest::newRow("small block, checksum")
        << QByteArray("AB") << 128 << false << QByteArray(1, char(0x41 + 0x42 + 126 * 0x1A));
    QTest::newRow("large block, crc") << QByteArray(1024, '\xFF') << 1024 << true << QByteArray();
}

void TestXmodemSender::crcAndChecksum()
{
    QFETCH(QByteArray, data);
    QFETCH(int, blockSize);
    QFETCH(bool, crc);
    QFETCH(QByteArray, tail);

    if (blockSize == 0) {
        const quint16 sum = XmodemSender::crc16(data);
        QCOMPARE(QByteArray().append(char(sum >> 8)).append(char(sum & 0xFF)), tail);
        return;
    }
    const QByteArray wire = XmodemSender::block(3, data, blockSize, crc);
    QCOMPARE(wire.size(), 3 + blockSize + (crc ? 2 : 1));
    QCOMPARE(wire.at(0), blockSize == 1024 ? XmodemSender::kStx : XmodemSender::kSoh);
    QCOMPARE(quint8(wire.at(1)), quint8(3));
    QCOMPARE(quint8(wire.at(2)), quint8(0xFC));
    // Padded with 0x1A up to the block size.
    const QByteArray payload = wire.mid(3, blockSize);
    QVERIFY(payload.startsWith(data));
    QCOMPARE(payload.mid(data.size()), QByteArray(blockSize - data.size(), 0x1A));
    QVERIFY(readBlock(wire, crc).valid);
    if (!tail.isEmpty())
        QVERIFY(wire.endsWith(tail));
}

void TestXmodemSender::wholeTransfer_data()
{
    QTest::addColumn<XmodemVariant>("variant");
    QTest::addColumn<char>("startByte");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("largeBlocks");
    QTest::addColumn<int>("smallBlocks");

    QTest::newRow("xmodem crc") << XmodemVariant::Xmodem << 'C' << 300 << 0 << 3;
    QTest::newRow("xmodem checksum") << XmodemVariant::Xmodem << kNak << 256 << 0 << 2;
    QTest::newRow("xmodem empty file") << XmodemVariant::Xmodem << 'C' << 0 << 0 << 0;
    // Past 255 blocks the number wraps to 0.
    QTest::newRow("xmodem 300 blocks") << XmodemVariant::Xmodem << 'C' << 300 * 128 << 0 << 300;
    // A short tail goes in small blocks, to pad less.
    QTest::newRow("1k crc") << XmodemVariant::Xmodem1K << 'C' << 2100 << 2 << 1;
    QTest::newRow("1k falls back to checksum") << XmodemVariant::Xmodem1K << kNak << 1100 << 0 << 9;
    QTest::newRow("ymodem") << XmodemVariant::Ymodem << 'C' << 1500 << 1 << 4;
    QTest::newRow("ymodem empty file") << XmodemVariant::Ymodem << 'C' << 0 << 0 << 0;
}

// A receiver that takes every block: the data arrives whole and in order, padded with 0x1A,
// and YMODEM's header names the file and its size.
void TestXmodemSender::wholeTransfer()
{
    QFETCH(XmodemVariant, variant);
    QFETCH(char, startByte);
    QFETCH(int, size);
    QFETCH(int, largeBlocks);
    QFETCH(int, smallBlocks);

    const QByteArray file = randomBytes(size);
    QBuffer source;
    source.setData(file);
    QVERIFY(source.open(QIODevice::ReadOnly));
    XmodemSender sender(variant, &source, size, QStringLiteral("firmware.bin"));
    const bool ymodem = variant == XmodemVariant::Ymodem;
    const bool crc = startByte == 'C';

    qint64 now = 1000;
    QVERIFY(sender.start(now).isEmpty());
    QCOMPARE(sender.received("x", now), QByteArray()); // noise before the start
    QByteArray wire = sender.received(QByteArray(1, startByte), ++now);

    if (ymodem) {
        const Block header = readBlock(wire, crc);
        QVERIFY(header.valid);
        QCOMPARE(header.number, quint8(0));
        QCOMPARE(header.data, QByteArray("firmware.bin\0", 13) + QByteArray::number(size) +
                                  QByteArray(128 - 13 - QByteArray::number(size).size(), '\0'));
        QCOMPARE(sender.received(QByteArray(1, kAck), ++now), QByteArray());
        wire = sender.received(QByteArray(1, startByte), ++now);
    }

    QByteArray received;
    int large = 0;
    int small = 0;
    quint8 expected = 1;
    while (!wire.startsWith(kEot)) {
        const Block block = readBlock(wire, crc);
        QVERIFY2(block.valid, qPrintable(QStringLiteral("block %1").arg(large + small + 1)));
        QCOMPARE(wire.size(), block.wireSize);
        QCOMPARE(block.number, expected++);
        (block.data.size() == 1024 ? large : small)++;
        received += block.data;
        QCOMPARE(sender.bytesDone(), qMin<qint64>(received.size() - block.data.size(), size));
        wire = sender.received(QByteArray(1, kAck), ++now);
    }
    QCOMPARE(wire, QByteArray(1, kEot));
    QCOMPARE(large, largeBlocks);
    QCOMPARE(small, smallBlocks);
    QVERIFY(received.startsWith(file));
    QCOMPARE(received.mid(size), QByteArray(received.size() - size, 0x1A));
    QCOMPARE(sender.bytesDone(), qint64(size));

    // A receiver that asks for the EOT twice gets it twice.
    QCOMPARE(sender.received(QByteArray(1, kNak), ++now), QByteArray(1, kEot));
    QCOMPARE(sender.state(), Sender::State::Running);
    QCOMPARE(sender.received(QByteArray(1, kAck), ++now), QByteArray());
    if (ymodem) {
        QCOMPARE(sender.state(), Sender::State::Running);
        const QByteArray closing = sender.received(QByteArray(1, 'C'), ++now);
        const Block header = readBlock(closing, true);
        QVERIFY(header.valid);
        QCOMPARE(header.number, quint8(0));
        QCOMPARE(header.data, QByteArray(128, '\0'));
        QCOMPARE(sender.received(QByteArray(1, kAck), ++now), QByteArray());
    }
    QCOMPARE(sender.state(), Sender::State::Done);
    QCOMPARE(sender.deadlineMs(), Sender::kNoDeadline);
}

void TestXmodemSender::refusedBlockGivesUpAfterTenTries()
{
    QBuffer source;
    source.setData(randomBytes(1000));
    QVERIFY(source.open(QIODevice::ReadOnly));
    XmodemSender sender(XmodemVariant::Xmodem, &source, 1000, {});
    sender.start(0);
    QVERIFY(!sender.received("C", 1).isEmpty());
    const QByteArray second = sender.received(QByteArray(1, kAck), 2);
    QCOMPARE(readBlock(second, true).number, quint8(2));
    // Nine refusals: the same block again each time.
    for (int i = 0; i < 9; ++i)
        QCOMPARE(sender.received(QByteArray(1, kNak), 3 + i), second);
    QCOMPARE(sender.state(), Sender::State::Running);
    QCOMPARE(sender.received(QByteArray(1, kNak), 20), QByteArray(2, kCan));
    QCOMPARE(sender.state(), Sender::State::Failed);
    QCOMPARE(sender.failure(), QStringLiteral("block 2 refused 10 times"));
    QCOMPARE(sender.bytesDone(), qint64(128));
    QCOMPARE(sender.received(QByteArray(1, kAck), 21), QByteArray());
}

void TestXmodemSender::silentReceiver_data()
{
    QTest::addColumn<bool>("started");
    QTest::addColumn<qint64>("giveUpMs");
    QTest::addColumn<QString>("failure");

    QTest::newRow("never starts") << false << qint64(60'000) << "no answer for 60 s";
    QTest::newRow("stops answering") << true << qint64(10'000) << "no answer for 10 s";
}

// A block not answered is sent once more after 5 s; a receiver silent for 10 s (60 s before
// it started) is given up with CAN CAN.
void TestXmodemSender::silentReceiver()
{
    QFETCH(bool, started);
    QFETCH(qint64, giveUpMs);
    QFETCH(QString, failure);

    QBuffer source;
    source.setData(randomBytes(500));
    QVERIFY(source.open(QIODevice::ReadOnly));
    XmodemSender sender(XmodemVariant::Ymodem, &source, 500, QStringLiteral("a"));
    sender.start(0);
    qint64 from = 0;
    if (started) {
        from = 100;
        const QByteArray header = sender.received("C", from);
        QCOMPARE(sender.timePassed(from + XmodemSender::kResendMs - 1), QByteArray());
        QCOMPARE(sender.deadlineMs(), from + XmodemSender::kResendMs);
        QCOMPARE(sender.timePassed(from + XmodemSender::kResendMs), header);
    }
    QCOMPARE(sender.deadlineMs(), from + giveUpMs);
    QCOMPARE(sender.timePassed(from + giveUpMs - 1), QByteArray());
    QCOMPARE(sender.state(), Sender::State::Running);
    QCOMPARE(sender.timePassed(from + giveUpMs), QByteArray(2, kCan));
    QCOMPARE(sender.state(), Sender::State::Failed);
    QCOMPARE(sender.failure(), failure);
}

void TestXmodemSender::receiverCancel_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("cancelled");

    QTest::newRow("CAN CAN") << QByteArray("\x18\x18") << true;
    QTest::newRow("CAN CAN split") << QByteArray("\x18") << true;
    QTest::newRow("one CAN is noise") << QByteArray("\x18\x06") << false;
}

void TestXmodemSender::receiverCancel()
{
    QFETCH(QByteArray, answer);
    QFETCH(bool, cancelled);

    QBuffer source;
    source.setData(randomBytes(3000));
    QVERIFY(source.open(QIODevice::ReadOnly));
    XmodemSender sender(XmodemVariant::Xmodem1K, &source, 3000, {});
    sender.start(0);
    QVERIFY(!sender.received("C", 1).isEmpty());
    QByteArray out = sender.received(answer, 2);
    if (answer.size() == 1)
        out += sender.received(answer, 3);
    QCOMPARE(sender.state() == Sender::State::Failed, cancelled);
    if (cancelled) {
        QCOMPARE(out, QByteArray());
        QCOMPARE(sender.failure(), QStringLiteral("the receiver cancelled"));
    } else {
        QCOMPARE(readBlock(out, true).number, quint8(2));
    }
}

void TestXmodemSender::userCancel_data()
{
    QTest::addColumn<bool>("started");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<qint64>("canCanAtMs");

    // Before the receiver started nothing is in flight: CAN CAN at once.
    QTest::newRow("not started") << false << QByteArray() << qint64(10);
    // A block in flight: CANs inside it would be taken as its data, so they wait for its
    // answer...
    QTest::newRow("block answered") << true << QByteArray("\x06") << qint64(30);
    QTest::newRow("block refused") << true << QByteArray("\x15") << qint64(30);
    // ... but not for long.
    QTest::newRow("no answer") << true << QByteArray() << qint64(10 + XmodemSender::kCancelWaitMs);
}

void TestXmodemSender::userCancel()
{
    QFETCH(bool, started);
    QFETCH(QByteArray, answer);
    QFETCH(qint64, canCanAtMs);

    QBuffer source;
    source.setData(randomBytes(5000));
    QVERIFY(source.open(QIODevice::ReadOnly));
    XmodemSender sender(XmodemVariant::Ymodem, &source, 5000, QStringLiteral("a"));
    sender.start(0);
    if (started) {
        sender.received("C", 1);
        QVERIFY(!sender
                     .received("\x06"
                               "C",
                               2)
                     .isEmpty());
    }
    QByteArray out = sender.cancel(10);
    if (canCanAtMs > 10) {
        QCOMPARE(out, QByteArray());
        QCOMPARE(sender.state(), Sender::State::Running);
        QCOMPARE(sender.deadlineMs(), 10 + XmodemSender::kCancelWaitMs);
        QCOMPARE(sender.cancel(11), QByteArray());
        QCOMPARE(sender.timePassed(canCanAtMs - 1), QByteArray());
        out =
            answer.isEmpty() ? sender.timePassed(canCanAtMs) : sender.received(answer, canCanAtMs);
    }
    QCOMPARE(out, QByteArray(2, kCan));
    QCOMPARE(sender.state(), Sender::State::Failed);
    QCOMPARE(sender.failure(), QStringLiteral("cancelled"));
    // Nothing follows CAN CAN, whatever comes.
    QCOMPARE(sender.received("\x06\x15"
                             "C",
                             2000),
             QByteArray());
    QCOMPARE(sender.timePassed(100'000), QByteArray());
    QCOMPARE(sender.cancel(100'001), QByteArray());
}

void TestXmodemSender::shortFileFails()
{
    // The file shrank after its size was taken.
    QBuffer source;
    source.setData(randomBytes(200));
    QVERIFY(source.open(QIODevice::ReadOnly));
    XmodemSender sender(XmodemVariant::Xmodem, &source, 300, {});
    sender.start(0);
    QVERIFY(!sender.received("C", 1).isEmpty());
    QCOMPARE(sender.received(QByteArray(1, kAck), 2), QByteArray(2, kCan));
    QCOMPARE(sender.state(), Sender::State::Failed);
    QCOMPARE(sender.failure(), QStringLiteral("the file could not be read"));
}

QTEST_GUILESS_MAIN(TestXmodemSender)
#include "tst_xmodem_sender.moc"
