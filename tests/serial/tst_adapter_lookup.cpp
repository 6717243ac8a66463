// Adapter names from a made-up sysfs and /dev/serial/by-id tree: USB serial adapters with and
// without names, a CDC ACM dongle, on-board UARTs with and without a chip, and missing nodes.
#include "serial/AdapterLookup.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace zorvane::serial;

class TestAdapterLookup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void lookUp_data();
    void lookUp();

private:
    void writeFile(const QString &path, const QByteArray &text = {});
    void link(const QString &target, const QString &path);
    // A tty whose sysfs device is `deviceDir`, as the kernel lays it out.
    void addTty(const QString &tty, const QString &deviceDir);

    QTemporaryDir m_root;
};

void TestAdapterLookup::writeFile(const QString &path, const QByteArray &text)
{
    const QString full = m_root.filePath(path);
    QVERIFY(QDir().mkpath(QFileInfo(full).path()));
    QFile file(full);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

void TestAdapterLookup::link(const QString &target, const QString &path)
{
    const QString full = m_root.filePath(path);
    QVERIFY(QDir().mkpath(QFileInfo(full).path()));
    QVERIFY(QFile::link(target, full));
}

void TestAdapterLookup::addTty(const QString &tty, const QString &deviceDir)
{
    QVERIFY(QDir().mkpath(m_root.filePath(deviceDir)));
    // Relative, as sysfs links are, so the tree works wherever the test puts it.
    link(QStringLiteral("../../../../") + deviceDir,
         QStringLiteral("sys/class/tty/") + tty + QStringLiteral("/device"));
    writeFile(QStringLiteral("dev/") + tty);
}

void TestAdapterLookup::initTestCase()
{
    QVERIFY(m_root.isValid());
    const QString usb = QStringLiteral("sys/devices/pci0000:00/0000:00:14.0/usb1/");

    // FTDI adapter: the tty sits below the interface, below the USB device with the names.
    writeFile(usb + QStringLiteral("1-1/idVendor"), "0403\n");
    writeFile(usb + QStringLiteral("1-1/product"), "FT232R USB UART\n");
    writeFile(usb + QStringLiteral("1-1/manufacturer"), "FTDI\n");
    writeFile(usb + QStringLiteral("1-1/serial"), "A50285BI\n");
    addTty(QStringLiteral("ttyUSB0"), usb + QStringLiteral("1-1/1-1:1.0/ttyUSB0"));
    link(QStringLiteral("../../ttyUSB0"),
         QStringLiteral("dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"));

    // A cheap adapter that reports no strings: only udev's by-id name tells what it is.
    writeFile(usb + QStringLiteral("1-2/idVendor"), "1a86\n");
    addTty(QStringLiteral("ttyUSB1"), usb + QStringLiteral("1-2/1-2:1.0/ttyUSB1"));
    link(QStringLiteral("../../ttyUSB1"),
         QStringLiteral("dev/serial/by-id/usb-1a86_USB2.0-Ser_-if00-port0"));

    // The same without a by-id name.
    writeFile(usb + QStringLiteral("1-4/idVendor"), "1a86\n");
    addTty(QStringLiteral("ttyUSB2"), usb + QStringLiteral("1-4/1-4:1.0/ttyUSB2"));

    // A device whose strings carry control characters.
    writeFile(usb + QStringLiteral("1-5/idVendor"), "abcd\n");
    writeFile(usb + QStringLiteral("1-5/product"), "Odd\tName\x01 Dongle\n");
    addTty(QStringLiteral("ttyUSB3"), usb + QStringLiteral("1-5/1-5:1.0/ttyUSB3"));

    // CDC ACM dongle: the tty hangs directly off the interface.
    writeFile(usb + QStringLiteral("1-3/idVendor"), "2458\n");
    writeFile(usb + QStringLiteral("1-3/product"), "Low Energy Dongle\n");
    writeFile(usb + QStringLiteral("1-3/manufacturer"), "Bluegiga\n");
    addTty(QStringLiteral("ttyACM0"), usb + QStringLiteral("1-3/1-3:1.0"));

    // On-board UARTs: one with a 16550A behind it, one the driver registered with no chip.
    addTty(QStringLiteral("ttyS0"), QStringLiteral("sys/devices/pnp0/00:01"));
    writeFile(QStringLiteral("sys/class/tty/ttyS0/type"), "4\n");
    addTty(QStringLiteral("ttyS1"), QStringLiteral("sys/devices/platform/serial8250"));
    writeFile(QStringLiteral("sys/class/tty/ttyS1/type"), "0\n");

    // A node with no sysfs folder at all.
    writeFile(QStringLiteral("dev/ttyAMA0"));
}

void TestAdapterLookup::lookUp_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("description");

    QTest::newRow("usb adapter with names")
        << "/dev/ttyUSB0" << true << "FT232R USB UART (FTDI, A50285BI)";
    QTest::newRow("reached through its by-id name")
        << "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0" << true
        << "FT232R USB UART (FTDI, A50285BI)";
    QTest::newRow("usb adapter without names")
        << "/dev/ttyUSB1" << true << "usb-1a86_USB2.0-Ser_-if00-port0";
    QTest::newRow("usb adapter known by nothing") << "/dev/ttyUSB2" << true << "";
    QTest::newRow("control characters") << "/dev/ttyUSB3" << true << "Odd Name Dongle";
    QTest::newRow("acm dongle") << "/dev/ttyACM0" << true << "Low Energy Dongle (Bluegiga)";
    QTest::newRow("uart with a chip") << "/dev/ttyS0" << true << "";
    QTest::newRow("uart without a chip") << "/dev/ttyS1" << false << "";
    QTest::newRow("no sysfs folder") << "/dev/ttyAMA0" << true << "";
    QTest::newRow("no node") << "/dev/ttyUSB9" << false << "";
    QTest::newRow("no device name") << "" << false << "";
}

void TestAdapterLookup::lookUp()
{
    QFETCH(QString, device);
    QFETCH(bool, present);
    QFETCH(QString, description);

    const AdapterInfo info = AdapterLookup(m_root.path()).lookUp(device);
    QCOMPARE(info.present, present);
    QCOMPARE(info.description(), description);
}

QTEST_APPLESS_MAIN(TestAdapterLookup)
#include "tst_adapter_lookup.moc"
