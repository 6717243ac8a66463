// Why an open failed, told on real objects: a missing device, a number with no device, line
// settings a pseudo-terminal refuses, a pseudo-terminal held by another process (named, with
// the fix for ModemManager and brltty), a device only a group may use, tried as `nobody`, and
// pins that lead to things other than serial ports: devices, files, named pipes, link circles.
#include "PtyModule.h"
#include "serial/OpenFailure.h"
#include "serial/PortNames.h"
#include "serial/Serial_io.h"

#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace zorvane::serial;

class TestOpenFailure : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void missingDeviceNamesPortsWithDevice();
    void numberWithoutDevice();
    void refusedSettings();
    void busyNamesHolder_data();
    void busyNamesHolder();
    void permissionNamesGroup();
    void notSerialPort_data();
    void notSerialPort();

private:
    QString explain(int port, int dataBits = 8, const QStringList &withDevice = {});

    QTemporaryDir m_home;
    QString m_docs;
};

void TestOpenFailure::initTestCase()
{
    QVERIFY(m_home.isValid());
    m_docs = useTemporaryHome(m_home.path());
}

void TestOpenFailure::init()
{
    isolatePorts(m_docs);
}

QString TestOpenFailure::explain(int port, int dataBits, const QStringList &withDevice)
{
    SerialIo io;
    io.setDocumentsFolder(m_docs);
    if (io.c_open(port, 9600, dataBits, 0, 1))
        return QStringLiteral("opened");
    return explainOpenFailure(io.lastOpenFailure(), withDevice);
}

void TestOpenFailure::missingDeviceNamesPortsWithDevice()
{
    QCOMPARE(explain(7, 8, {QStringLiteral("COM1"), QStringLiteral("COM12")}),
             QStringLiteral("Nothing is plugged in at COM7: /nonexistent/COM7 does not exist.\n"
                            "Numbers with a device now: COM1, COM12."));
    QVERIFY(explain(7).endsWith(QLatin1String("No port number has a device now.")));
}

void TestOpenFailure::numberWithoutDevice()
{
    QFile::remove(overrideLinkPath(m_docs, 75));
    QVERIFY(explain(75).startsWith(QLatin1String("No device belongs to COM75.")));
}

void TestOpenFailure::refusedSettings()
{
    PtyModule module;
    QVERIFY(module.isValid());
    QVERIFY(module.linkAs(m_docs, 3));
    // Pseudo-terminals here take 8 data bits only.
    QCOMPARE(explain(3, 7), module.slavePath() +
                                QStringLiteral(" opened, but refused the line settings 9600 7N1."));
}

void TestOpenFailure::busyNamesHolder_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("fix");

    QTest::newRow("any program") << "port_holder"
                                 << "kill %1";
    QTest::newRow("ModemManager") << "ModemManager"
                                  << "sudo systemctl stop ModemManager";
    QTest::newRow("brltty") << "brltty"
                            << "sudo apt remove brltty";
}

void TestOpenFailure::busyNamesHolder()
{
    QFETCH(QString, program);
    QFETCH(QString, fix);

    PtyModule module;
    QVERIFY(module.isValid());
    QVERIFY(module.linkAs(m_docs, 12));

    // The holder is the helper under the name of the program it stands for.
    QTemporaryDir bin;
    const QString path = bin.filePath(program);
    QVERIFY(QFile::link(QStringLiteral(PORT_HOLDER), path));
    QProcess holder;
    holder.start(path, {QStringLiteral("hold"), module.slavePath()});
    QVERIFY(holder.waitForReadyRead(10000));
    QCOMPARE(holder.readLine().trimmed(), QByteArray("held"));

    const qint64 pid = holder.processId();
    const QString text = explain(12);
    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished(10000));

    QVERIFY2(text.startsWith(QStringLiteral("COM12 (%1) is in use by %2 (process %3).")
                                 .arg(module.slavePath(), program)
                                 .arg(pid)),
             qPrintable(text));
    QVERIFY2(text.contains(fix.arg(pid)), qPrintable(text));
}

void TestOpenFailure::permissionNamesGroup()
{
    if (::geteuid() != 0)
        QSKIP("needs root to hand the device to the dialout group and to run as nobody");
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (setpriv.isEmpty())
        QSKIP("setpriv is not installed (util-linux)");
    const group *dialout = ::getgrnam("dialout");
    if (!dialout)
        QSKIP("this system has no dialout group");

    // A serial device node open to its group only (a private copy of ttyS0's), reached by
    // nobody through a ports/ link.
    QTemporaryDir dir;
    const QString device = dir.filePath(QStringLiteral("ttyUSB0"));
    if (::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0600, makedev(4, 64)) != 0)
        QSKIP("this system does not let a test make a device node");
    QFile node(device);
    QCOMPARE(::chown(QFile::encodeName(device).constData(), 0, dialout->gr_gid), 0);
    QVERIFY(node.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                QFile::WriteGroup));
    QFile::remove(overrideLinkPath(m_docs, 4));
    QVERIFY(QFile::link(device, overrideLinkPath(m_docs, 4)));
    // nobody must be able to walk to the link and the node.
    for (const QString &folder : {m_home.path(), dir.path()})
        QVERIFY(QFile::setPermissions(folder, QFile::permissions(folder) | QFile::ExeOther |
                                                  QFile::ReadOther));

    QProcess run;
    run.start(setpriv,
              {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
               QStringLiteral("--clear-groups"), QStringLiteral("--"), QStringLiteral(PORT_HOLDER),
               QStringLiteral("explain"), m_docs, QStringLiteral("4")});
    QVERIFY(run.waitForFinished(20000));
    if (run.exitCode() == 126 || run.exitCode() == 127)
        QSKIP(qPrintable(QStringLiteral("nobody cannot run the helper here: ") +
                         QString::fromLocal8Bit(run.readAllStandardError())));
    const QString text = QString::fromLocal8Bit(run.readAllStandardOutput());
    QCOMPARE(run.exitCode(), 0);
    QVERIFY2(text.startsWith(QStringLiteral("Permission denied: this user may not read and "
                                            "write %1. It is open to the group dialout.")
                                 .arg(device)),
             qPrintable(text));
    QVERIFY2(text.contains(QLatin1String("sudo usermod -aG dialout $USER")), qPrintable(text));
}

void TestOpenFailure::notSerialPort_data()
{
    // What COM1 is pinned to; %1 in the text stands for the path the pin names.
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("text");
    // What the link's logging category says of the same failure.
    QTest::addColumn<QString>("logged");
    const QString notSerial = QStringLiteral("COM1 leads to %1, which is not a serial port");
    const QString notSerialLogged = QStringLiteral("failed: not a serial port");
    const QString circleLogged = QStringLiteral("failed: leads in a circle");
    QTest::newRow("null device") << "/dev/null" << notSerial + "." << notSerialLogged;
    QTest::newRow("zero device") << "/dev/zero" << notSerial + "." << notSerialLogged;
    QTest::newRow("regular file") << "file" << notSerial + ": it is an ordinary file."
                                  << notSerialLogged;
    QTest::newRow("named pipe") << "fifo" << notSerial + ": it is a named pipe." << notSerialLogged;
    QTest::newRow("folder") << "folder" << notSerial + ": it is a folder." << notSerialLogged;
    QTest::newRow("link to itself")
        << "self"
        << "The link COM1 leads in a circle (through %1) and never reaches a device."
        << circleLogged;
    QTest::newRow("two links in a circle")
        << "pair"
        << "The link COM1 leads in a circle (through %1) and never reaches a device."
        << circleLogged;
}

void TestOpenFailure::notSerialPort()
{
    QFETCH(QString, target);
    QFETCH(QString, text);
    QFETCH(QString, logged);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString pin = overrideLinkPath(m_docs, 1);
    QString path = target;
    if (target == QLatin1String("file")) {
        path = dir.filePath(QStringLiteral("notes.txt"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a port\n");
    } else if (target == QLatin1String("fifo")) {
        // Nobody writes to it: opening it to read would wait for ever.
        path = dir.filePath(QStringLiteral("pipe"));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (target == QLatin1String("folder")) {
        path = dir.path();
    } else if (target == QLatin1String("self")) {
        path = pin;
    } else if (target == QLatin1String("pair")) {
        path = dir.filePath(QStringLiteral("back"));
        QVERIFY(QFile::link(pin, path));
    }
    QVERIFY(QFile::remove(pin));
    QVERIFY(QFile::link(path, pin));

    static QStringList linkLog;
    linkLog.clear();
    QLoggingCategory::setFilterRules(QStringLiteral("zorvane.link.debug=true"));
    const QtMessageHandler before =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &context, const QString &m) {
            if (QLatin1String(context.category) == QLatin1String("zorvane.link"))
                linkLog << m;
        });
    const QString explained = explain(1);
    qInstallMessageHandler(before);
    QLoggingCategory::setFilterRules(QString());
    QCOMPARE(explained, text.arg(path));
    QCOMPARE(linkLog.filter(QStringLiteral("failed:")).size(), 1);
    QVERIFY2(linkLog.filter(QStringLiteral("failed:")).first().contains(logged),
             qPrintable(linkLog.join(u'\n')));
}

QTEST_GUILESS_MAIN(TestOpenFailure)
#include "tst_open_failure.moc"
