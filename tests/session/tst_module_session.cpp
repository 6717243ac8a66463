// The module session without any window: a real pseudo-terminal plays the module, and only
// the widget-free libraries are linked. What the module sends becomes lines, log lines and
// addresses; what the session sends reaches the module byte for byte.
#include "PtyModule.h"
#include "session/ModuleSession.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using zorvane::session::ModuleSession;
using zorvane::session::SessionOptions;

namespace {

constexpr int kPort = 7;

// A BGAPI scan response for 00:07:80:1A:2B:3C.
const QByteArray kScanResponse = QByteArray::fromHex("80 0B 06 00 C4 00 3C 2B 1A 80 07 00 00 FF 00");

QStringList storedLines(const ModuleSession &session)
{
    QStringList lines;
    for (qsizetype row = 0; row < session.lines().size(); ++row)
        lines << session.lines().text(row);
    return lines;
}

} // namespace

class TestModuleSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        m_docs = useTemporaryHome(m_home.path());
        isolatePorts(m_docs);
    }

    void init()
    {
        m_module = std::make_unique<PtyModule>();
        QVERIFY(m_module->isValid());
        QVERIFY(m_module->linkAs(m_docs, kPort));
        m_session = std::make_unique<ModuleSession>();
        m_session->serial.setDocumentsFolder(m_docs);
        QVERIFY(m_session->serial.c_open(kPort, 115200, 8, 0, 1));
        m_session->start();
    }

    void cleanup()
    {
        m_session.reset();
        m_module.reset();
    }

    void receivedLinesAreStoredShownAndLogged()
    {
        SessionOptions options;
        options.receive.log = true;
        m_session->setOptions(options);
        const QString log = m_docs + QStringLiteral("session.csv");
        m_session->setLogFilePath(log);
        QVERIFY(!m_session->startLog(log));
        QSignalSpy shown(m_session.get(), &ModuleSession::linesReady);

        QVERIFY(m_module->write("AT\r\nOK\r\nREADY."));
        QTRY_VERIFY(storedLines(*m_session).contains(QStringLiteral("READY.")));
        QTRY_VERIFY(!m_session->hasUnshownLines());
        QVERIFY(shown.count() >= 1);
        QCOMPARE(storedLines(*m_session), (QStringList{"AT", "OK", "READY."}));

        // Finished lines are in the file, after the line a new log starts with; the open
        // line is not, until its line end comes.
        QFile file(log);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray(" \r\nAT\r\nOK\r\n"));
    }

    void scanResponseBecomesAnAddress()
    {
        SessionOptions options;
        options.receive.bgapi = true;
        m_session->setOptions(options);
        m_session->addresses().append(QStringLiteral("Unknown MAC"));
        QSignalSpy found(m_session.get(), &ModuleSession::addressFound);
        QSignalSpy messages(m_session.get(), &ModuleSession::bgapiMessage);

        QVERIFY(m_module->write(kScanResponse + kScanResponse + "done\r"));
        QTRY_COMPARE(found.count(), 2);
        QCOMPARE(found.at(0).at(0).toString(), QStringLiteral("00:07:80:1A:2B:3C"));
        QCOMPARE(messages.count(), 2);
        // The placeholder made way for the address, which stands once however often it came.
        QCOMPARE(m_session->addresses().stringList(), QStringList{"00:07:80:1A:2B:3C"});
        QVERIFY(m_session->bgapi.addresses.rawAddressOf(QStringLiteral("00:07:80:1A:2B:3C")));
    }

    // The exact bytes of a module command, plain and framed to a multiplexing link.
    void commandsReachTheModuleAsComposed_data()
    {
        QTest::addColumn<bool>("muxMode");
        QTest::addColumn<int>("link");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("plain command: CR, text, CR, LF, CR")
            << false << 0 << QByteArray("\rAT\r\n\r");
        QTest::newRow("framed to link 1") << true << 1 << QByteArray::fromHex("bf 01 00 02 41 54 fe");
        QTest::newRow("framed to the module itself")
            << false << 255 << QByteArray::fromHex("bf ff 00 02 41 54 00");
    }

    void commandsReachTheModuleAsComposed()
    {
        QFETCH(bool, muxMode);
        QFETCH(int, link);
        QFETCH(QByteArray, expected);
        SessionOptions options;
        options.muxMode = muxMode;
        m_session->setOptions(options);
        m_session->mux_link = link;
        QSignalSpy history(m_session.get(), &ModuleSession::historyPushed);

        m_session->mc_puts(QStringLiteral("AT"));
        QCOMPARE(sentSoFar(m_session->serial, *m_module), expected);
        QCOMPARE(history.count(), 1);
        QCOMPARE(history.at(0).at(0).toStringList(), QStringList{"AT"});
    }

    void lostPortCountsDownToAReopening()
    {
        QSignalSpy countdown(m_session.get(), &ModuleSession::countdownSecond);
        QSignalSpy reopen(m_session.get(), &ModuleSession::reopenDue);
        m_module->unplug();
        // The link check notices within about a second and counts down from then on.
        QTRY_VERIFY_WITH_TIMEOUT(countdown.count() > 0, 5000);
        QVERIFY(countdown.last().at(0).toDouble() <= 10.0);
        QCOMPARE(reopen.count(), 0);
    }

private:
    QTemporaryDir m_home;
    QString m_docs;
    std::unique_ptr<PtyModule> m_module;
    std::unique_ptr<ModuleSession> m_session;
};

QTEST_GUILESS_MAIN(TestModuleSession)
#include "tst_module_session.moc"
