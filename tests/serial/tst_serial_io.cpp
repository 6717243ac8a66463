// The serial unit on real pseudo-terminals: device names by port number, exclusive opening,
// byte reads and writes, the line settings asked of the device and refused by it, and the
// liveness check after the adapter is pulled.
#include "PtyModule.h"
#include "serial/PortNames.h"
#include "serial/Serial_io.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace zorvane::serial;

class TestSerialIo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void defaultDevices_data();
    void defaultDevices();
    void overrideLinkWins();
    void portAbove100TouchesNothing();
    void openFailsOnUnusableDevice_data();
    void openFailsOnUnusableDevice();
    void openIsExclusive();
    void putcSendsLow8Bits_data();
    void putcSendsLow8Bits();
    void writeTextSendsBytesOnly();
    void getcReturnsWaitingByteAtOnce();
    void getcWithNothingWaiting();
    void closeWithoutDeviceChangesNothing();
    void lineSettingsAskedAndApplied();
    void refusedLineSettingsReleaseDevice_data();
    void refusedLineSettingsReleaseDevice();
    void getcLinkAfterUnplug();
    void noDeviceIsHarmless();

private:
    std::unique_ptr<SerialIo> makeIo() const;

    QTemporaryDir m_home;
    QString m_docs;
};

void TestSerialIo::initTestCase()
{
    QVERIFY(m_home.isValid());
    m_docs = useTemporaryHome(m_home.path());
}

void TestSerialIo::init()
{
    // Every test starts with all 100 numbers pointing nowhere.
    isolatePorts(m_docs);
}

std::unique_ptr<SerialIo> TestSerialIo::makeIo() const
{
    auto io = std::make_unique<SerialIo>();
    io->setDocumentsFolder(m_docs);
    return io;
}

void TestSerialIo::defaultDevices_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("device");

    const struct
    {
        int port;
        const char *device;
    } rows[] = {
        {0, ""},
        {1, "/dev/ttyUSB0"},
        {10, "/dev/ttyUSB9"},
        {11, "/dev/ttyACM0"},
        {20, "/dev/ttyACM9"},
        {21, "/dev/ttyS0"},
        {30, "/dev/ttyS9"},
        {31, "/dev/rfcomm0"},
        {40, "/dev/rfcomm9"},
        {41, "/dev/ttyUSB10"},
        {50, "/dev/ttyUSB19"},
        {51, "/dev/ttyACM10"},
        {60, "/dev/ttyACM19"},
        {61, "/dev/ttyAMA0"},
        {70, "/dev/ttyAMA9"},
        {71, ""},
        {100, ""},
        {101, ""},
        {-1, ""},
    };
    for (const auto &row : rows)
        QTest::addRow("COM%d", row.port) << row.port << QString::fromLatin1(row.device);
}

void TestSerialIo::defaultDevices()
{
    QFETCH(int, port);
    QFETCH(QString, device);
    // No documents folder: only the platform table speaks.
    QCOMPARE(port_names(port, QString()), device);
    QCOMPARE(defaultDevice(port), device);
}

void TestSerialIo::overrideLinkWins()
{
    PtyModule module;
    QVERIFY(module.isValid());

    // A number the table maps and one it leaves empty both follow the link.
    for (int port : {11, 71}) {
        QVERIFY(module.linkAs(m_docs, port));
        QCOMPARE(port_names(port, m_docs), module.slavePath());
    }

    // The link is read at each open: one made after the program started counts.
    auto io = makeIo();
    QVERIFY(!io->c_open(12, 115200, 8, 0, 1));
    QVERIFY(module.linkAs(m_docs, 12));
    QVERIFY(io->c_open(12, 115200, 8, 0, 1));
    QCOMPARE(io->lastDevice(), module.slavePath());
    io->writeText(u"hi");
    QCOMPARE(module.readAtLeast(2), QByteArray("hi"));
}

void TestSerialIo::portAbove100TouchesNothing()
{
    PtyModule module;
    QVERIFY(module.linkAs(m_docs, 5));
    auto io = makeIo();
    io->com_port = 5;
    QVERIFY(io->c_open(5, 9600, 8, 0, 1));
    const LineSettings before = io->lastRequested();

    QVERIFY(!io->c_open(101, 1200, 7, 1, 2));

    QVERIFY(io->holdsDevice());
    QVERIFY(io->port_is_open());
    QCOMPARE(io->com_port, 5);
    QCOMPARE(io->lastRequested(), before);
    QCOMPARE(io->lastDevice(), module.slavePath());
    // The device held before is still the one written to.
    io->c_putc(u'x');
    QCOMPARE(module.readAtLeast(1), QByteArray("x"));
}

void TestSerialIo::openFailsOnUnusableDevice_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("absent") << QStringLiteral("/nonexistent/ttyUSB0");
    QTest::newRow("plain file") << QStringLiteral("plain-file");
    QTest::newRow("folder") << QStringLiteral(".");
}

void TestSerialIo::openFailsOnUnusableDevice()
{
    QFETCH(QString, target);
    if (!target.startsWith(QLatin1Char('/'))) {
        target = m_home.filePath(target);
        if (!QFileInfo(target).isDir()) {
            QFile file(target);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("not a serial device");
        }
    }
    const QString link = overrideLinkPath(m_docs, 9);
    QFile::remove(link);
    QVERIFY(QFile::link(target, link));

    auto io = makeIo();
    QVERIFY(!io->c_open(9, 115200, 8, 0, 1));
    QVERIFY(!io->holdsDevice());
    // Reads and writes after a failed open stay harmless.
    io->c_putc(u'A');
    QCOMPARE(io->c_getc(SerialIo::ReadWait::Timeout), -1);
}

void TestSerialIo::openIsExclusive()
{
    PtyModule module;
    QVERIFY(module.linkAs(m_docs, 5));
    // A second number reaching the same device through a link of its own.
    const QString alias = m_home.filePath(QStringLiteral("alias"));
    QVERIFY(QFile::link(module.slavePath(), alias));
    const QString link = overrideLinkPath(m_docs, 6);
    QFile::remove(link);
    QVERIFY(QFile::link(alias, link));

    auto first = makeIo();
    QVERIFY(first->c_open(5, 115200, 8, 0, 1));

    auto second = makeIo();
    QVERIFY(!second->c_open(5, 115200, 8, 0, 1));
    QVERIFY(!second->holdsDevice());
    QVERIFY(!second->c_open(6, 115200, 8, 0, 1));

    // Once released, the device opens again.
    first->c_close();
    QVERIFY(second->c_open(5, 115200, 8, 0, 1));
}

void TestSerialIo::putcSendsLow8Bits_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("byte");
    QTest::newRow("letter") << 0x41 << 0x41;
    QTest::newRow("NUL") << 0x00 << 0x00;
    QTest::newRow("top byte") << 0xFF << 0xFF;
    QTest::newRow("above 255") << 0x141 << 0x41;
    QTest::newRow("256") << 0x100 << 0x00;
    QTest::newRow("largest") << 0xFFFF << 0xFF;
}

void TestSerialIo::putcSendsLow8Bits()
{
    QFETCH(int, code);
    QFETCH(int, byte);
    PtyModule module;
    QVERIFY(module.linkAs(m_docs, 5));
    auto io = makeIo();
    QVERIFY(io->c_open(5, 115200, 8, 0, 1));

    io->c_putc(static_cast<char16_t>(code));
    QCOMPARE(module.readAtLeast(1), QByteArray(1, static_cast<char>(byte)));
}

void TestSerialIo::writeTextSendsBytesOnly()
{
    PtyModule module;
    QVERIFY(module.linkAs(m_docs, 5));
    auto io = makeIo();
    QVERIFY(io->c_open(5, 115200, 8, 0, 1));

    io->writeText(u"+++\u0141\r");
    io->c_putc(u'!');
    QCOMPARE(module.readAtLeast(6), QByteArray("+++\x41\r!"));
}

void TestSerialIo::getcReturnsWaitingByteAtOnce()
{
    PtyModule module;
    QVERIFY(module.linkAs(m_docs, 5));
    auto io = makeIo();
    QVERIFY(io->c_open(5, 115200, 8, 0, 1));

    QVERIFY(module.write(QByteArray("O\xFF\x00K", 4)));
    QVERIFY(module.waitUntilProgramCanRead());
    // A read that may not wait still gets what is already there, as 0..255.
    QCOMPARE(io->c_getc(), int('O'));
    QCOMPARE(io->c_getc(), 0xFF);
    QCOMPARE(io->c_getc(SerialIo::ReadWait::Timeout), 0x00);
    QCOMPARE(io->c_getc(), int('K'));
    QCOMPARE(io->c_getc(), -1);
}

void TestSerialIo::getcWithNothingWaiting()
{
    PtyModule module;
    QVERIFY(module.linkAs(m_docs, 5));
    auto io = makeIo();
    QVERIFY(io->c_open(5, 115200, 8, 0, 1));

    QCOMPARE(io->c_getc(), -1);
    // The waiting read gives up on its own; the bound only catches a read that never returns.
    const QDeadlineTimer generous(5000);
    QCOMPARE(io->c_getc(SerialIo::ReadWait::Timeout), -1);
    QVERIFY(!generous.hasExpired());
    // The port is still fine afterwards.
    QVERIFY(io->isAlive());
    QCOMPARE(io->c_getc_link(), -1);
}

void TestSerialIo::closeWithoutDeviceChangesNothing()
{
    auto io = makeIo();
    io->com_port = 7;
    io->last_com_port = 3;
    io->c_close();
    QCOMPARE(io->com_port, 7);
    QCOMPARE(io->last_com_port, 3);

    PtyModule module;
    QVERIFY(module.linkAs(m_docs, 7));
    QVERIFY(io->c_open(7, 115200, 8, 0, 1));
    io->c_close();
    QCOMPARE(io->com_port, 0);
    QCOMPARE(io->last_com_port, 7);
    QVERIFY(!io->port_is_open());
    QVERIFY(!io->holdsDevice());
    // A second close finds nothing to close.
    io->com_port = 4;
    io->c_close();
    QCOMPARE(io->com_port, 4);
    QCOMPARE(io->last_com_port, 7);
}

void TestSerialIo::lineSettingsAskedAndApplied()
{
    PtyModule module;
    QVERIFY(module.linkAs(m_docs, 5));
    auto io = makeIo();

    QVERIFY(io->c_open(5, 9600, 8, 0, 2));
    QCOMPARE(io->lastRequested(), (LineSettings{9600, 8, 0, 2}));
    termios held = module.programSideSettings();
    QVERIFY(held.c_cflag & CSTOPB);
    QCOMPARE(cfgetospeed(&held), speed_t(B9600));
    QCOMPARE(held.c_cflag & CSIZE, tcflag_t(CS8));

    io->c_close();
    QVERIFY(io->c_open(5, 1200, 8, 0, 1));
    held = module.programSideSettings();
    QVERIFY(!(held.c_cflag & CSTOPB));
    QCOMPARE(cfgetospeed(&held), speed_t(B1200));
}

void TestSerialIo::refusedLineSettingsReleaseDevice_data()
{
    // Pseudo-terminals here take 8 data bits without parity only.
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("stopBits");
    QTest::newRow("7N1") << 7 << 0 << 1;
    QTest::newRow("8O1") << 8 << 1 << 1;
    QTest::newRow("8E2") << 8 << 2 << 2;
    QTest::newRow("7E1") << 7 << 2 << 1;
}

void TestSerialIo::refusedLineSettingsReleaseDevice()
{
    QFETCH(int, dataBits);
    QFETCH(int, parity);
    QFETCH(int, stopBits);
    PtyModule module;
    QVERIFY(module.linkAs(m_docs, 5));
    auto io = makeIo();

    QVERIFY(!io->c_open(5, 19200, dataBits, parity, stopBits));
    QCOMPARE(io->lastRequested(), (LineSettings{19200, dataBits, parity, stopBits}));
    QVERIFY(!io->holdsDevice());
    io->c_putc(u'A');

    // The refused device is not kept locked: another user of it gets it.
    auto other = makeIo();
    QVERIFY(other->c_open(5, 19200, 8, 0, 1));
    other->c_putc(u'B');
    QCOMPARE(module.readAtLeast(1), QByteArray("B"));
}

void TestSerialIo::getcLinkAfterUnplug()
{
    auto module = std::make_unique<PtyModule>();
    QVERIFY(module->linkAs(m_docs, 4));
    auto io = makeIo();
    io->com_port = 4;
    QVERIFY(io->c_open(4, 115200, 8, 0, 1));
    QVERIFY(io->port_is_open());
    QCOMPARE(io->c_getc_link(), -1);

    module->unplug();
    QVERIFY(!io->isAlive());
    // Plain reads and writes on the vanished device fail quietly.
    QCOMPARE(io->c_getc(), -1);
    io->c_putc(u'A');

    QCOMPARE(io->c_getc_link(), -2);
    QVERIFY(!io->holdsDevice());
    QVERIFY(!io->port_is_open());
    QCOMPARE(io->com_port, 0);
    QCOMPARE(io->last_com_port, 4);
    QCOMPARE(io->c_getc_link(), -3);
    QCOMPARE(io->c_getc_link(), -3);
    QCOMPARE(io->last_com_port, 4);

    // The adapter comes back at the same number.
    module = std::make_unique<PtyModule>();
    QVERIFY(module->linkAs(m_docs, 4));
    QVERIFY(io->c_open(4, 115200, 8, 0, 1));
    QCOMPARE(io->c_getc_link(), -1);
}

void TestSerialIo::noDeviceIsHarmless()
{
    auto io = makeIo();
    QVERIFY(!io->port_is_open());
    QVERIFY(!io->isAlive());
    io->c_putc(u'A');
    io->writeText(u"AT");
    QCOMPARE(io->c_getc(SerialIo::ReadWait::Timeout), -1);
    QCOMPARE(io->c_getc_link(), -3);

    // A failed open still marks the port open, so the next link check reports no port.
    QVERIFY(!io->c_open(3, 115200, 8, 0, 1));
    QVERIFY(io->port_is_open());
    QCOMPARE(io->c_getc_link(), -3);
    QVERIFY(!io->port_is_open());
}

QTEST_GUILESS_MAIN(TestSerialIo)
#include "tst_serial_io.moc"
