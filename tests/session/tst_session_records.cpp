// What the session records of received lines, with a real pseudo-terminal playing the module:
// each line's arrival time (its first byte's, on a clock the test moves, whatever the line ends
// and whether Echo leads the lines), and a log that holds the list's lines, line for line,
// after binary packets, Log switched on mid-line, a Clear mid-line, a lost port and the end.
#include "PtyModule.h"
#include "session/ModuleSession.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using zorvane::session::ModuleSession;
using zorvane::session::SessionOptions;

namespace {

constexpr int kPort = 9;
// The time of day the module's first step happens at; each further step is a second later.
constexpr qint64 kStartMs = 1'900'000'000'000;
constexpr qint64 kStepMs = 1'000;

qint64 g_nowMs = kStartMs;
qint64 movedClock()
{
    return g_nowMs;
}

// A BGAPI scan response for 00:07:80:1A:2B:3C.
const QByteArray kScanResponse =
    QByteArray::fromHex("80 0B 06 00 C4 00 3C 2B 1A 80 07 00 00 FF 00");

QString hexText(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper() + ' ');
}

QByteArray fileContents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class TestSessionRecords : public QObject
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
        g_nowMs = kStartMs;
        m_module = std::make_unique<PtyModule>();
        QVERIFY(m_module->isValid());
        QVERIFY(m_module->linkAs(m_docs, kPort));
        m_session = std::make_unique<ModuleSession>();
        m_session->setArrivalClock(&movedClock);
        m_session->serial().setDocumentsFolder(m_docs);
        QVERIFY(m_session->serial().c_open(kPort, 115200, 8, 0, 1));
        m_session->start();
        m_written = 0;
    }

    void cleanup()
    {
        m_session.reset();
        m_module.reset();
    }

    // Each step the module writes at its own second; every line must show the second of its
    // first byte (a line that ends empty: of its line end), never the line end before it.
    void arrivalTimeIsTheFirstBytes_data()
    {
        QTest::addColumn<QString>("flags");
        QTest::addColumn<QByteArrayList>("steps");
        // "text@step" for each line, the open last line included.
        QTest::addColumn<QStringList>("lines");

        QTest::newRow("CR LF, Echo off") << "" << QByteArrayList{"A\r\n", "B\r\n", "C\r\n"}
                                         << QStringList{"A@0", "B@1", "C@2", "@2"};
        QTest::newRow("CR LF, Echo on") << "echo" << QByteArrayList{"A\r\n", "B\r\n", "C\r\n"}
                                        << QStringList{"A@0", "RX<= B@1", "RX<= C@2", "RX<= @2"};
        QTest::newRow("CR, Echo on, a pause inside a line")
            << "echo" << QByteArrayList{"A\r", "BC", "DE\r", "F\r"}
            << QStringList{"A@0", "RX<= BCDE@1", "RX<= F@3", "RX<= @3"};
        QTest::newRow("CR LF split by a pause, Echo on")
            << "echo" << QByteArrayList{"A\r", "\n", "B\r", "\n"}
            << QStringList{"A@0", "RX<= B@2", "RX<= @2"};
        QTest::newRow("LF, Echo on, an empty line")
            << "echo lf" << QByteArrayList{"A\n", "\n", "B\n"}
            << QStringList{"A@0", "RX<= @1", "RX<= B@2", "RX<= @2"};
        QTest::newRow("LF, Echo off, a pause inside a line")
            << "lf" << QByteArrayList{"A\n", "B", "C\n"} << QStringList{"A@0", "BC@1", "@2"};
        QTest::newRow("LF CR, Echo on") << "echo" << QByteArrayList{"A\n\r", "B\n\r"}
                                        << QStringList{"A@0", "RX<= B@1", "RX<= @1"};
        QTest::newRow("LF CR ending two lines, Echo on")
            << "echo lf" << QByteArrayList{"A\n", "\r", "B\n\r"}
            << QStringList{"A@0", "RX<= @1", "RX<= B@2", "RX<= @2", "RX<= @2"};
        // Hex shows the LF: it is the next line's first byte.
        QTest::newRow("CR LF, Echo on, hex")
            << "echo hex" << QByteArrayList{"A\r\n", "B\r\n"}
            << QStringList{"41 0D @0", "RX<= 0A 42 0D @0", "RX<= 0A @1"};
    }

    void arrivalTimeIsTheFirstBytes()
    {
        QFETCH(QString, flags);
        QFETCH(QByteArrayList, steps);
        QFETCH(QStringList, lines);
        SessionOptions options;
        options.receive.echo = flags.contains(u"echo");
        options.receive.lineFeedEndsLine = flags.contains(u"lf");
        options.receive.hexMode = flags.contains(u"hex");
        m_session->setOptions(options);

        for (qsizetype step = 0; step < steps.size(); ++step) {
            g_nowMs = kStartMs + step * kStepMs;
            moduleWrites(steps[step]);
        }
        QStringList shown;
        const auto &store = m_session->lines();
        for (qsizetype row = 0; row < store.size(); ++row) {
            const qint64 ms = store.arrivalMs(row) - kStartMs;
            shown << store.text(row) + QLatin1Char('@') +
                         (ms % kStepMs == 0 ? QString::number(ms / kStepMs)
                                            : QStringLiteral("%1ms").arg(ms));
        }
        QCOMPARE(shown, lines);
    }

    // The log holds what arrived while it was on, as the list shows it, line for line; a
    // line still open is logged as it stands when the port is lost, the list is cleared or
    // the session ends, and only its rest when it ends later. "<...>" steps are the user's.
    void logHoldsTheListsLines_data()
    {
        QTest::addColumn<QString>("flags");
        QTest::addColumn<QByteArrayList>("steps");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QByteArray>("logged");
        QTest::addColumn<QStringList>("addresses");

        const QString packet = hexText(kScanResponse);
        const QStringList none;
        QTest::newRow("packets apart, then a line end")
            << "log bgapi hex" << QByteArrayList{kScanResponse, kScanResponse, "OK\r"}
            << QStringList{"", packet, packet + "4F 4B 0D ", ""}
            << QByteArray(packet.toLatin1() + "\r\n" + packet.toLatin1() + "4F 4B 0D \r\n")
            << QStringList{"00:07:80:1A:2B:3C"};
        QTest::newRow("text, then a packet")
            << "log bgapi hex" << QByteArrayList{"AB", kScanResponse, "\r"}
            << QStringList{"41 42 ", packet + "0D ", ""}
            << QByteArray("41 42 \r\n" + packet.toLatin1() + "0D \r\n")
            << QStringList{"00:07:80:1A:2B:3C"};
        QTest::newRow("Log switched on mid-line")
            << "" << QByteArrayList{"BEFORE ", "<log on>", "AFTER\r", "NEXT\r"}
            << QStringList{"BEFORE AFTER", "NEXT", ""} << QByteArray("AFTER\r\nNEXT\r\n") << none;
        QTest::newRow("Clear mid-line")
            << "log" << QByteArrayList{"INQUIRY 00:07:", "<clear>", "80:8A:BC:DE 1\r"}
            << QStringList{"80:8A:BC:DE 1", ""} << QByteArray("INQUIRY 00:07:\r\n80:8A:BC:DE 1\r\n")
            << none;
        QTest::newRow("clear screen mid-line")
            << "log" << QByteArrayList{"INQUIRY 00:07:", "\x1b[2J80:8A:BC:DE 1\r"}
            << QStringList{"80:8A:BC:DE 1", ""} << QByteArray("INQUIRY 00:07:\r\n80:8A:BC:DE 1\r\n")
            << none;
        QTest::newRow("Clear mid-line while Log is off")
            << "" << QByteArrayList{"INQUIRY 00:07:", "<clear>", "<log on>", "80:8A:BC:DE 1\r"}
            << QStringList{"80:8A:BC:DE 1", ""} << QByteArray("80:8A:BC:DE 1\r\n") << none;
        QTest::newRow("an inquiry in pieces is still captured whole")
            << "log" << QByteArrayList{"INQUIRY 00:07:", "80:8A:BC:DE 1\r"}
            << QStringList{"INQUIRY 00:07:80:8A:BC:DE 1", ""}
            << QByteArray("INQUIRY 00:07:80:8A:BC:DE 1\r\n") << QStringList{"00:07:80:8A:BC:DE"};
        QTest::newRow("the port hangs up mid-line")
            << "log" << QByteArrayList{"OK\r", "PARTIAL-XYZ", "<unplug>"}
            << QStringList{"OK", "PARTIAL-XYZ"} << QByteArray("OK\r\nPARTIAL-XYZ\r\n") << none;
        QTest::newRow("the session ends mid-line")
            << "log" << QByteArrayList{"PARTIAL-XYZ", "<end>"} << QStringList{"PARTIAL-XYZ"}
            << QByteArray("PARTIAL-XYZ\r\n") << none;
        QTest::newRow("logged as it stood, then its rest")
            << "log" << QByteArrayList{"PART", "<end>", "IAL\r"} << QStringList{"PARTIAL", ""}
            << QByteArray("PART\r\nIAL\r\n") << none;
        QTest::newRow("nothing open at the end")
            << "log" << QByteArrayList{"OK\r", "<end>"} << QStringList{"OK", ""}
            << QByteArray("OK\r\n") << none;
    }

    void logHoldsTheListsLines()
    {
        QFETCH(QString, flags);
        QFETCH(QByteArrayList, steps);
        QFETCH(QStringList, shown);
        QFETCH(QByteArray, logged);
        QFETCH(QStringList, addresses);
        const QString log = m_docs + QStringLiteral("records.csv");
        QFile::remove(log);
        m_session->setLogFilePath(log);
        SessionOptions options;
        options.receive.bgapi = flags.contains(u"bgapi");
        options.receive.hexMode = flags.contains(u"hex");
        m_session->setOptions(options);
        const auto switchLogOn = [&] {
            options.receive.log = true;
            m_session->setOptions(options);
            QVERIFY(!m_session->startLog(log));
        };
        if (flags.contains(u"log"))
            switchLogOn();
        const QByteArray kept = logged;

        for (const QByteArray &step : steps) {
            if (step == "<log on>") {
                switchLogOn();
            } else if (step == "<clear>") {
                m_session->clearList();
            } else if (step == "<end>") {
                m_session->logOpenLine();
            } else if (step == "<unplug>") {
                m_module->unplug();
                QTRY_VERIFY_WITH_TIMEOUT(!m_session->serial().holdsDevice(), 10000);
            } else {
                moduleWrites(step);
            }
        }
        QStringList lines;
        for (qsizetype row = 0; row < m_session->lines().size(); ++row)
            lines << m_session->lines().text(row);
        QCOMPARE(lines, shown);
        QTRY_COMPARE(fileContents(log), " \r\n" + kept);
        QCOMPARE(m_session->addresses().stringList(), addresses);
    }

private:
    // The module writes, and the session takes every byte of it before the test goes on.
    void moduleWrites(const QByteArray &bytes)
    {
        QVERIFY(m_module->write(bytes));
        m_written += bytes.size();
        QTRY_COMPARE(m_session->serial().bytesTaken(), m_written);
    }

    QTemporaryDir m_home;
    QString m_docs;
    std::unique_ptr<PtyModule> m_module;
    std::unique_ptr<ModuleSession> m_session;
    qint64 m_written = 0;
};

QTEST_GUILESS_MAIN(TestSessionRecords)
#include "tst_session_records.moc"
