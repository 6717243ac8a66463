// The module session without any window: a real pseudo-terminal plays the module, and only
// the widget-free libraries are linked. What the module sends becomes lines, log lines and
// addresses; what the session sends reaches the module byte for byte.
#include "PtyModule.h"
#include "bgapi/Commands.h"
#include "serial/LinePause.h"
#include "session/ModuleSession.h"
#include "terminal/CommandTables.h"

#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using zorvane::session::ModuleSession;
using zorvane::session::SessionOptions;

namespace {

constexpr int kPort = 7;

// A BGAPI scan response for 00:07:80:1A:2B:3C.
const QByteArray kScanResponse =
    QByteArray::fromHex("80 0B 06 00 C4 00 3C 2B 1A 80 07 00 00 FF 00");

// What the command texts' placeholders stand for in the byte table.
const zorvane::terminal::CommandContext kContext{
    QStringLiteral("00:07:80:AA:BB:CC"), QStringLiteral("00:07:80:11:22:33"), QStringLiteral("1")};

QByteArray frame(int link, const QByteArray &data)
{
    // Start byte, link, flags, length, the data, and the link's complement.
    return QByteArray("\xbf") + char(link) + '\0' + char(data.size()) + data + char(link ^ 0xFF);
}

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
        m_session->serial().setDocumentsFolder(m_docs);
        m_session->connection().openPort(kPort);
        QCOMPARE(m_session->connection().state(), zorvane::session::Connection::State::Open);
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
        QVERIFY(m_session->bgapi().addresses.rawAddressOf(QStringLiteral("00:07:80:1A:2B:3C")));
    }

    // The exact bytes of a module command, plain and framed to a multiplexing link.
    void commandsReachTheModuleAsComposed_data()
    {
        QTest::addColumn<bool>("muxMode");
        QTest::addColumn<int>("link");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("plain command: CR, text, CR, LF, CR")
            << false << 0 << QByteArray("\rAT\r\n\r");
        QTest::newRow("framed to link 1")
            << true << 1 << QByteArray::fromHex("bf 01 00 02 41 54 fe");
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
        m_session->setMuxLink(link);
        QSignalSpy history(m_session.get(), &ModuleSession::historyPushed);

        m_session->mc_puts(QStringLiteral("AT"));
        QCOMPARE(sentSoFar(m_session->serial(), *m_module), expected);
        QCOMPARE(history.count(), 1);
        QCOMPARE(history.at(0).at(0).toStringList(), QStringList{"AT"});
    }

    // Every sending rule, byte for byte at the far end: each kind of toolbar command, typed
    // keys, the send box's modes, the multiplexing mode on and off, the BGAPI window shown
    // and hidden, and the pauses asked for on the way.
    void everySendingRuleReachesTheModule_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("argument");
        QTest::addColumn<bool>("muxMode");
        QTest::addColumn<int>("link");
        QTest::addColumn<bool>("bgapi");
        QTest::addColumn<bool>("hexWrite");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<QList<int>>("pauses");
        namespace commands = zorvane::bgapi::commands;
        const QByteArray spp = "SET PROFILE SPP ON";
        const QByteArray autoCall = "SET CONTROL AUTOCALL 1101 5000 RFCOMM";
        auto row = [](const char *name, const char *action, const QString &argument, bool muxMode,
                      int link, bool bgapi, bool hexWrite, const QByteArray &expected,
                      const QList<int> &pauses = {}) {
            QTest::newRow(name) << QString::fromLatin1(action) << argument << muxMode << link
                                << bgapi << hexWrite << expected << pauses;
        };

        // Module commands: CR, the text, CR LF CR; framed in the multiplexing mode.
        row("command", "command", "SPP On", false, 0, false, false, "\r" + spp + "\r\n\r");
        row("command, MUX on", "command", "SPP On", true, 1, false, false, frame(1, spp));
        row("command, BGAPI shown", "command", "SPP On", false, 0, true, false,
            "\r" + spp + "\n\r");
        row("command with the address", "command", "Call SPP", false, 0, false, false,
            "\rCALL 00:07:80:AA:BB:CC 1101 RFCOMM\r\n\r");
        // Plain lines: the text and its CR, never framed.
        row("line", "command", "SPP AutoCall", false, 0, false, false, autoCall + "\r");
        row("line, MUX on", "command", "SPP AutoCall", true, 1, false, false, autoCall);
        row("line, BGAPI shown", "command", "SPP AutoCall", false, 0, true, false, autoCall);
        // GainSpan: a CR of its own leads each line.
        row("GainSpan", "command", "Version", false, 0, false, false, "\rAT+VER=?\r");
        row("GainSpan, BGAPI shown", "command", "Version", false, 0, true, false, "\rAT+VER=?");
        // BGIO: the call, then binary packets with no CR, framed in the multiplexing mode.
        row("Call BGIO", "command", "Call BGIO", false, 0, false, false,
            "\rCALL 00:07:80:11:22:33 af5c7d47-350b-45f6-bdf6-b403441edb77 RFCOMM\r\n\r");
        row("BGIO directions", "command", "SET DIR", false, 0, false, false,
            QByteArray::fromHex("00 05 07 FF FF FF FF"));
        row("BGIO directions, MUX on", "command", "SET DIR", true, 2, false, false,
            frame(2, QByteArray::fromHex("00 05 07 FF FF FF FF")));
        row("BGIO pins set", "command", "SET PIO", false, 0, false, false,
            QByteArray::fromHex("00 05 04 FC FC FC FC"));
        row("BGIO pins cleared", "command", "CLR PIO", false, 0, false, false,
            QByteArray::fromHex("00 05 04 FC FC 00 00"));
        row("BGIO pins counted up", "command", "INC PIO", false, 0, false, false,
            QByteArray::fromHex("00 05 04 FC FC 04 04"));
        row("PIO button before Call BGIO", "pio", "Set_ON", false, 0, false, false,
            "\rPIO SET FC FC\r\n\r");
        row("PIO button after Call BGIO", "pio after call", "Set55", false, 0, false, false,
            "\rPIO SET FC 55\r\n\r" + QByteArray::fromHex("00 05 04 FC FC 55 55"));
        row("PIO direction button after Call BGIO", "pio after call", "SetOutput", false, 0, false,
            false, "\rPIO SETDIR FC FC\r\n\r" + QByteArray::fromHex("00 05 07 FC FC FC FC"));
        QByteArray numbered;
        for (int n = 0; n <= 50; ++n)
            numbered += "\r" + QByteArray::number(n) + ". 123,456,789\r\n\r";
        row("numbered commands", "command", "HID Test", false, 0, false, false, numbered);
        // The module switches its rate first, then the port follows and asks again.
        row("baud change", "command", "9600", false, 0, false, false,
            "\rSET CONTROL BAUD 9600,8n1\r\n\r\r\rSET\r\n\r", {100, 5});
        row("escape", "command", "Cmd / Data", false, 0, false, false, "+++", {1000, 1000});

        // Typed keys go out one by one; a history key sends the send box's text as a line.
        row("key", "key", "a", false, 0, false, false, "a");
        row("key CR", "key", "\r", false, 0, false, false, "\r");
        row("history key", "history", "AT", false, 0, false, false, "AT\r");
        row("history key, MUX on", "history", "AT", true, 1, false, false, "AT");
        row("history key, BGAPI shown", "history", "AT", false, 0, true, false, "AT");

        // The send box: a module command; in the multiplexing mode its text ends in CR.
        row("send box", "box", "AT", false, 0, false, false, "\rAT\r\n\r");
        row("send box, MUX on", "box", "AT", true, 1, false, false, frame(1, "AT\r"));
        row("send box, MUX on to the module", "box", "AT", true, 255, false, false,
            frame(255, "AT\r"));
        row("send box, hex write", "box", "AT", false, 0, false, true, "41 54 \r");
        row("send box, hex write, MUX on", "box", "AT", true, 1, false, true, "41 54  D ");
        row("send box, hex write, BGAPI shown", "box", "AT", false, 0, true, true, "41 54 ");

        // BGAPI packets: no CR while the window decodes, spaced out in a sequence.
        row("BGAPI packet, window shown", "bgapi", "", false, 0, true, false,
            commands::system_reset());
        row("BGAPI packet, window hidden", "bgapi", "", false, 0, false, false,
            commands::system_reset() + "\r");
        row("BGAPI sequence", "bgapi all", "", false, 0, true, false,
            commands::connection_disconnect(0) + commands::gap_set_mode() +
                commands::gap_end_procedure() + commands::gap_set_scan_parameters() +
                commands::gap_discover(),
            {10, 10, 10, 10});
    }

    void everySendingRuleReachesTheModule()
    {
        QFETCH(QString, action);
        QFETCH(QString, argument);
        QFETCH(bool, muxMode);
        QFETCH(int, link);
        QFETCH(bool, bgapi);
        QFETCH(bool, hexWrite);
        QFETCH(QByteArray, expected);
        QFETCH(QList<int>, pauses);
        namespace commands = zorvane::bgapi::commands;
        SessionOptions options;
        options.muxMode = muxMode;
        options.receive.bgapi = bgapi;
        options.hexWrite = hexWrite;
        m_session->setOptions(options);
        m_session->setMuxLink(link);
        QList<int> asked;
        zorvane::serial::setLinePauseHandler([&](int ms) { asked << ms; });
        const auto restore = qScopeGuard([] { zorvane::serial::setLinePauseHandler({}); });

        auto pio = [&] {
            for (const zorvane::terminal::PioButton &button : zorvane::terminal::pioButtons()) {
                if (button.name == argument)
                    return button;
            }
            return zorvane::terminal::PioButton{};
        };
        if (action == QLatin1String("command")) {
            const auto command = zorvane::terminal::findCommand(argument);
            QVERIFY(command);
            m_session->sendCommand(*command, kContext);
        } else if (action == QLatin1String("pio")) {
            m_session->sendPio(pio());
        } else if (action == QLatin1String("pio after call")) {
            m_session->setBgioCalled(true);
            m_session->sendPio(pio());
        } else if (action == QLatin1String("key")) {
            m_session->typeByte(argument.at(0).unicode());
        } else if (action == QLatin1String("history")) {
            m_session->typeHistoryKey(argument, char16_t(38));
        } else if (action == QLatin1String("box")) {
            m_session->sendBoxText(argument, 5);
        } else if (action == QLatin1String("bgapi")) {
            m_session->sendBgapiPacket(commands::system_reset());
        } else if (action == QLatin1String("bgapi all")) {
            m_session->sendBgapiSequence({commands::connection_disconnect(0),
                                          commands::gap_set_mode(), commands::gap_end_procedure(),
                                          commands::gap_set_scan_parameters(),
                                          commands::gap_discover()});
        }
        QCOMPARE(sentSoFar(m_session->serial(), *m_module), expected);
        QCOMPARE(asked, pauses);
    }

    // A baud change reopens the port at the new rate before it asks the module again.
    void baudChangeReopensAtTheNewRate()
    {
        zorvane::serial::setLinePauseHandler([](int) {});
        const auto restore = qScopeGuard([] { zorvane::serial::setLinePauseHandler({}); });
        auto &connection = m_session->connection();
        QSignalSpy opened(&connection, &zorvane::session::Connection::opened);

        m_session->sendCommand(*zorvane::terminal::findCommand(QStringLiteral("57600")), kContext);
        QCOMPARE(opened.count(), 1);
        QCOMPARE(m_session->serial().lastRequested(),
                 (zorvane::serial::LineSettings{57600, 8, 0, 1}));
        QCOMPARE(connection.state(), zorvane::session::Connection::State::Open);
        QCOMPARE(sentSoFar(m_session->serial(), *m_module),
                 QByteArray("\rSET CONTROL BAUD 57600,8n1\r\n\r\r\rSET\r\n\r"));
    }

    // The keys typed since the history last moved become one history entry at CR.
    void typedKeysMakeOneHistoryEntry()
    {
        QSignalSpy history(m_session.get(), &ModuleSession::historyPushed);
        for (const char16_t key : u"AT\r")
            if (key)
                m_session->typeByte(key);
        QCOMPARE(history.count(), 1);
        QCOMPARE(history.at(0).at(0).toStringList(), QStringList{"AT\r"});
        QCOMPARE(m_session->keyLine(), QString());
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
