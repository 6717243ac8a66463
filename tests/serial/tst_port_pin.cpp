// Pinning a port number from the window's dialog, on a real documents folder: what is
// refused and why (with nothing written), pins made and replaced in one step with the target
// exactly as given, pins removed while the user's own files stay; and the serial devices
// listed from a made-up sysfs tree without opening any.
#include "PtyModule.h"
#include "serial/PortNames.h"
#include "serial/PortPin.h"
#include "serial/PresentDevices.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace zorvane::serial;

namespace {

// The link's own text, as the serial unit reads it.
QString linkText(const QString &path)
{
    char target[4096];
    const ssize_t n = ::readlink(QFile::encodeName(path).constData(), target, sizeof target);
    return n > 0 ? QFile::decodeName(QByteArray(target, n)) : QString();
}

QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::Hidden |
                                  QDir::NoDotAndDotDot);
}

} // namespace

class TestPortPin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void portNumber_data();
    void portNumber();
    void refusedWritesNothing_data();
    void refusedWritesNothing();
    void pinnedExactlyAsGiven_data();
    void pinnedExactlyAsGiven();
    void unpinKeepsTheUsersFiles();
    void presentDevicesWithoutOpening();

private:
    QString m_docs;
    QTemporaryDir m_dir;
    PtyModule m_module;
};

void TestPortPin::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(m_module.isValid());
    m_docs = m_dir.filePath(QStringLiteral("docs/"));
}

void TestPortPin::init()
{
    // Every case starts from an earlier pin of COM5 to the pseudo-terminal.
    QDir(m_docs).removeRecursively();
    QVERIFY(QDir().mkpath(m_docs + QStringLiteral("ports")));
    QVERIFY(QFile::link(m_module.slavePath(), overrideLinkPath(m_docs, 5)));
}

void TestPortPin::portNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("number");
    QTest::newRow("digits") << "12" << 12;
    QTest::newRow("name") << "COM12" << 12;
    QTest::newRow("lower case, spaces") << " com 7 " << 7;
    QTest::newRow("out of range stays") << "150" << 150;
    QTest::newRow("word") << "twelve" << 0;
    QTest::newRow("negative") << "-3" << 0;
    QTest::newRow("empty") << "" << 0;
}

void TestPortPin::portNumber()
{
    QFETCH(QString, text);
    QFETCH(int, number);
    QCOMPARE(port_pin::portNumber(text), number);
}

void TestPortPin::refusedWritesNothing_data()
{
    QTest::addColumn<int>("port");
    // "@" stands for the test folder, "#" for the documents folder.
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("reason");

    QTest::newRow("regular file") << 5 << "@/notes.txt"
                                  << "@/notes.txt is an ordinary file, not a serial port.";
    QTest::newRow("missing path") << 5 << "@/ttyUSB9"
                                  << "@/ttyUSB9 does not exist.";
    QTest::newRow("folder") << 5 << "@"
                            << "@ is a folder, not a serial port.";
    QTest::newRow("relative path")
        << 5 << "dev/ttyUSB0"
        << "dev/ttyUSB0 is not a full path: a device path starts with /.";
    QTest::newRow("no port in address")
        << 5 << "rfc2217://127.0.0.1"
        << "The address cannot be used: no port number in rfc2217://127.0.0.1.";
    QTest::newRow("unknown option") << 5 << "socket://lab-pi:4002?speed=9600"
                                    << "The address cannot be used: unknown option \"speed\" in "
                                       "socket://lab-pi:4002?speed=9600.";
    QTest::newRow("other scheme")
        << 5 << "telnet://lab-pi:23"
        << "telnet://lab-pi:23 is neither a device path nor an rfc2217:// or socket:// address.";
    QTest::newRow("number too high") << 101 << "/dev/null"
                                     << "Port numbers run from 1 to 100.";
    QTest::newRow("number zero") << 0 << "/dev/null"
                                 << "Port numbers run from 1 to 100.";
    QTest::newRow("empty") << 5 << ""
                           << "Give a device path, or an rfc2217:// or socket:// address.";
    QTest::newRow("itself") << 5 << "#ports/COM5"
                            << "COM5 cannot lead to itself.";
}

void TestPortPin::refusedWritesNothing()
{
    QFETCH(int, port);
    QFETCH(QString, target);
    QFETCH(QString, reason);
    QFile notes(m_dir.filePath(QStringLiteral("notes.txt")));
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.close();
    const QString folder = m_dir.path();
    target.replace(QLatin1Char('@'), folder).replace(QLatin1Char('#'), m_docs);
    reason.replace(QLatin1Char('@'), folder);
    const QStringList before = folderEntries(m_docs + QStringLiteral("ports"));

    QString why;
    QVERIFY(!port_pin::pin(m_docs, port, target, &why));
    QCOMPARE(why, reason);
    QCOMPARE(port_pin::refusal(m_docs, port, target), reason);
    QCOMPARE(folderEntries(m_docs + QStringLiteral("ports")), before);
    QCOMPARE(linkText(overrideLinkPath(m_docs, 5)), m_module.slavePath());
}

void TestPortPin::pinnedExactlyAsGiven_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("target");
    QTest::newRow("pseudo-terminal, new pin") << 71 << "@pty";
    QTest::newRow("pseudo-terminal, replacing") << 5 << "@pty";
    QTest::newRow("rfc2217 address, replacing") << 5 << "rfc2217://127.0.0.1:4001";
    QTest::newRow("socket address with options") << 100 << "socket://[fd00::7]:4002?timeout=1";
}

void TestPortPin::pinnedExactlyAsGiven()
{
    QFETCH(int, port);
    QFETCH(QString, target);
    target.replace(QStringLiteral("@pty"), m_module.slavePath());
    // A fresh documents folder has no ports folder yet.
    if (port == 71)
        QVERIFY(QDir(m_docs + QStringLiteral("ports")).removeRecursively());

    QString why;
    QVERIFY2(port_pin::pin(m_docs, port, target, &why), qPrintable(why));
    QCOMPARE(linkText(overrideLinkPath(m_docs, port)), target);
    QCOMPARE(port_names(port, m_docs), target);
    // Nothing is left beside the pin.
    QStringList expected{QStringLiteral("COM%1").arg(port)};
    if (port != 5 && port != 71)
        expected << QStringLiteral("COM5");
    expected.sort();
    QCOMPARE(folderEntries(m_docs + QStringLiteral("ports")), expected);
}

void TestPortPin::unpinKeepsTheUsersFiles()
{
    QString why;
    QVERIFY2(port_pin::unpin(m_docs, 5, &why), qPrintable(why));
    QVERIFY(!QFileInfo(overrideLinkPath(m_docs, 5)).isSymLink());
    QVERIFY(QFileInfo::exists(m_module.slavePath()));

    QVERIFY(!port_pin::unpin(m_docs, 5, &why));
    QCOMPARE(why, QStringLiteral("COM5 is not pinned."));

    // A file the user put where a pin would go is theirs: neither replaced nor removed.
    QFile own(overrideLinkPath(m_docs, 6));
    QVERIFY(own.open(QIODevice::WriteOnly));
    own.write("mine");
    own.close();
    const QString ownReason = overrideLinkPath(m_docs, 6) +
                              QStringLiteral(" is a file of its own, not a pin; Zorvane leaves it "
                                             "alone.");
    QVERIFY(!port_pin::unpin(m_docs, 6, &why));
    QCOMPARE(why, ownReason);
    QVERIFY(!port_pin::pin(m_docs, 6, m_module.slavePath(), &why));
    QCOMPARE(why, ownReason);
    QVERIFY(own.open(QIODevice::ReadOnly));
    QCOMPARE(own.readAll(), QByteArray("mine"));
}

// A USB adapter, a CDC dongle, an on-board UART with a chip and one without, and a virtual
// console that has no hardware behind it; all of them plain files, which nothing could open
// as a serial port anyway.
void TestPortPin::presentDevicesWithoutOpening()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    auto file = [&root](const QString &path, const QByteArray &text = {}) {
        QVERIFY(QDir().mkpath(QFileInfo(root.filePath(path)).path()));
        QFile f(root.filePath(path));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    };
    for (const char *tty : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "ttyS1"}) {
        const QString name = QLatin1String(tty);
        QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("sys/class/tty/%1/device").arg(name))));
        file(QStringLiteral("dev/") + name);
    }
    // The 8250 driver's "no chip here".
    file(QStringLiteral("sys/class/tty/ttyS0/type"), "0\n");
    file(QStringLiteral("sys/class/tty/ttyS1/type"), "4\n");
    file(QStringLiteral("sys/class/tty/tty1/dev"), "4:1\n");
    file(QStringLiteral("dev/tty1"));

    QStringList paths;
    for (const PresentDevice &device : presentDevices(root.path()))
        paths << device.path;
    QCOMPARE(paths, (QStringList{"/dev/ttyACM0", "/dev/ttyS1", "/dev/ttyUSB2", "/dev/ttyUSB10"}));
}

QTEST_MAIN(TestPortPin)
#include "tst_port_pin.moc"
