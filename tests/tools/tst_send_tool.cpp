// The command-line tool against a module on a real pseudo-terminal: it opens the port by its
// number, sends the command named as its button shows it, byte for byte, and prints what the
// module answered; a port that will not open or a name that names nothing says so.
#include "PtyModule.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kPort = 7;

} // namespace

class TestSendTool : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        m_docs = useTemporaryHome(m_home.path());
        isolatePorts(m_docs);
    }

    void sendsTheCommandAndPrintsTheAnswer_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("module command by caption")
            << "SPP On" << QByteArray("\rSET PROFILE SPP ON\r\n\r");
        QTest::newRow("plain line by control name")
            << "Button1" << QByteArray("SET CONTROL AUTOCALL 1101 5000 RFCOMM\r");
        QTest::newRow("GainSpan line, led by its CR") << "Version" << QByteArray("\rAT+VER=?\r");
    }

    void sendsTheCommandAndPrintsTheAnswer()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, sent);
        PtyModule module;
        QVERIFY(module.isValid());
        QVERIFY(module.linkAs(m_docs, kPort));

        QProcess tool;
        tool.start(QStringLiteral(ZORVANE_SEND),
                   {QString::number(kPort), name, QStringLiteral("--wait"), QStringLiteral("300")});
        QCOMPARE(module.readAtLeast(sent.size(), 10000), sent);
        QVERIFY(module.write("OK\r\nREADY.\r\n"));
        QVERIFY(tool.waitForFinished(10000));
        QCOMPARE(tool.exitCode(), 0);
        const QStringList printed =
            QString::fromLatin1(tool.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QVERIFY2(printed.contains("OK") && printed.contains("READY."),
                 qPrintable(printed.join('|')));
    }

    void failuresSaySo_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("port with no device")
            << QStringList{"8", "SPP On"} << 1 << "Unable to Open Port COM8: ";
        QTest::newRow("unknown command")
            << QStringList{"7", "SPP Of"} << 2 << "No command is named \"SPP Of\".";
        QTest::newRow("port out of range") << QStringList{"101", "SPP On"} << 2 << "port";
    }

    void failuresSaySo()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        PtyModule module;
        QVERIFY(module.linkAs(m_docs, kPort));

        QProcess tool;
        tool.start(QStringLiteral(ZORVANE_SEND), arguments);
        QVERIFY(tool.waitForFinished(10000));
        QCOMPARE(tool.exitCode(), exitCode);
        const QString error = QString::fromLocal8Bit(tool.readAllStandardError());
        QVERIFY2(error.contains(message), qPrintable(error));
        QCOMPARE(tool.readAllStandardOutput(), QByteArray());
        QCOMPARE(module.readAvailable(), QByteArray());
    }

private:
    QTemporaryDir m_home;
    QString m_docs;
};

QTEST_GUILESS_MAIN(TestSendTool)
#include "tst_send_tool.moc"
