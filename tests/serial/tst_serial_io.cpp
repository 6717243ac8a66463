// The serial unit on real pseudo-terminals: port names, exclusive opening, byte reads and
// writes, line settings asked of the device, and the liveness check after an unplug.
#include "PtyModule.h"
#include "serial/PortNames.h"
#include "serial/Serial_io.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

using namespace zorvane::serial;

class TestSerialIo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        m_docs = useTemporaryHome(m_home.path());
        isolatePorts(m_docs);
    }

    void probeUnplug()
    {
        PtyModule module;
        QVERIFY(module.linkAs(m_docs, 5));
        SerialIo io;
        io.setDocumentsFolder(m_docs);
        io.com_port = 5;
        QVERIFY(io.c_open(5, 115200, 8, 0, 1));
        QVERIFY(io.isAlive());
        SerialIo second;
        second.setDocumentsFolder(m_docs);
        QVERIFY(!second.c_open(5, 115200, 8, 0, 1));
        io.writeText(u"AT");
        QCOMPARE(module.readAtLeast(2), QByteArray("AT"));
        module.write("OK");
        QCOMPARE(io.c_getc(SerialIo::ReadWait::Timeout), int('O'));
        QCOMPARE(io.c_getc(), int('K'));
        QElapsedTimer t; t.start();
        QCOMPARE(io.c_getc(SerialIo::ReadWait::Timeout), -1);
        qDebug() << "empty read took" << t.elapsed();
        QVERIFY(!io.c_open(5, 115200, 7, 2, 1));
        QVERIFY(!io.holdsDevice());
        QVERIFY(io.c_open(5, 115200, 8, 0, 2));
        module.unplug();
        QVERIFY(!io.isAlive());
        QCOMPARE(io.c_getc_link(), -2);
        QCOMPARE(io.c_getc_link(), -3);
    }

private:
    QTemporaryDir m_home;
    QString m_docs;
};

QTEST_GUILESS_MAIN(TestSerialIo)
#include "tst_serial_io.moc"
