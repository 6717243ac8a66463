// Scripts against a module played from the far end of a real pseudo-terminal: what expect
// matches across reads, patterns and bytes, what every zv function puts on the wire, how a
// run ends (status and message with the script's line), and Stop during a script that never
// waits.
#include "ScriptFixture.h"

#include "bgapi/Packet.h"

#include <QTest>
#include <QTimer>

using zorvane::script::ScriptEngine;

namespace {

constexpr int kPort = 7;

// Shows what a call returned, one value after another: strings with their bytes that are not
// printable as <XX>.
const QByteArray kShow = R"lua(
local function show(...)
  local t = table.pack(...)
  local out = {}
  for i = 1, t.n do
    local v = t[i]
    if type(v) == "string" then
      v = v:gsub("[^%g ]", function(c) return string.format("<%02X>", c:byte()) end)
    end
    out[#out + 1] = tostring(v)
  end
  zv.log(table.concat(out, "|"))
end
)lua";

} // namespace

class TestScriptEngine : public QObject
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
        m_session = std::make_unique<zorvane::session::ModuleSession>();
        m_session->serial().setDocumentsFolder(m_docs);
        m_host = std::make_unique<TestHost>(*m_session);
        QVERIFY(m_host->openPort(kPort).isEmpty());
        m_session->start();
        m_engine = std::make_unique<ScriptEngine>(*m_session, *m_host);
        m_engine->setClock(&m_clock);
        m_output.clear();
        connect(m_engine.get(), &ScriptEngine::output, this,
                [this](const QString &line) { m_output << line; });
    }

    void cleanup()
    {
        m_engine.reset();
        m_host.reset();
        m_session.reset();
        m_module.reset();
    }

    // Each piece is written once the session has read the one before, so the pieces reach
    // the script in separate reads.
    void expectMatches_data()
    {
        QTest::addColumn<QByteArray>("call");
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<QString>("shown");

        QTest::newRow("line end in two reads") << QByteArray("zv.expect('OK\\r\\n', 5000)")
                                               << QList<QByteArray>{"O", "K\r\n"} << "1|OK<0D><0A>";
        QTest::newRow("a match spanning three reads")
            << QByteArray("zv.expect('READY%.', 5000)") << QList<QByteArray>{"RE", "AD", "Y."}
            << "1|READY.";
        QTest::newRow("several patterns: the earliest match wins")
            << QByteArray("zv.expect({'ERROR', 'OK'}, 5000)")
            << QList<QByteArray>{"x OK\r\nERROR\r\n"} << "2|OK";
        QTest::newRow("captures follow the match")
            << QByteArray("zv.expect('INQUIRY (%d+)\\r', 5000)")
            << QList<QByteArray>{"INQUIRY 3\r\n"} << "1|INQUIRY 3<0D>|3";
        QTest::newRow("binary bytes 00 and FF")
            << QByteArray("zv.expect('\\0\\255+', 5000)")
            << QList<QByteArray>{QByteArray::fromHex("0100"), QByteArray::fromHex("ffff02")}
            << "1|<00><FF><FF>";
        QTest::newRow("plain text is not a pattern")
            << QByteArray("zv.expect_plain('a.b (1)', 5000)")
            << QList<QByteArray>{"axb (1) a.b (1)"} << "1|a.b (1)";
        QTest::newRow("timeout") << QByteArray("zv.expect('OK', 300)")
                                 << QList<QByteArray>{"NO\r\n"} << "nil|timeout";
        QTest::newRow("a match uses up the bytes up to its end")
            << QByteArray("zv.expect('1', 5000), zv.expect('1', 300)") << QList<QByteArray>{"1 2 "}
            << "1|nil|timeout";
    }

    void expectMatches()
    {
        QFETCH(QByteArray, call);
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(QString, shown);

        QSignalSpy reads(m_session.get(), &zorvane::session::ModuleSession::bytesReceived);
        QVERIFY(start(kShow + "show(" + call + ")\n"));
        QTRY_COMPARE(m_engine->state(), ScriptEngine::State::Waiting);
        for (const QByteArray &piece : pieces) {
            const qsizetype before = reads.count();
            QVERIFY(m_module->write(piece));
            QTRY_VERIFY(reads.count() > before);
        }
        QVERIFY(waitForEnd());
        QCOMPARE(m_output, QStringList{shown});
        QCOMPARE(m_engine->exitCode(), 0);
    }

    // How a run ends: its status, and a message that names the script's line.
    void runEnds_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");

        QTest::newRow("ends") << QByteArray("zv.log('done')") << 0 << "";
        QTest::newRow("an expect that timed out unhandled at the end")
            << QByteArray("zv.sendline('AT')\nzv.expect('OK', 200)\n") << 1
            << "s.lua:2: expect timed out after 200 ms waiting for \"OK\"";
        QTest::newRow("a timed-out expect the script looked at")
            << QByteArray("if not zv.expect('OK', 200) then zv.log('no answer') end") << 0 << "";
        QTest::newRow("an error") << QByteArray("\nerror('boom')") << 1 << "s.lua:2: boom";
        QTest::newRow("a compile error") << QByteArray("x = = 1") << 1 << "s.lua:1:";
        QTest::newRow("exit with a status")
            << QByteArray("zv.exit(3)\nerror('not reached')") << 3 << "s.lua:1: exit(3)";
        QTest::newRow("a failed step")
            << QByteArray("test('a', function() end)\ntest('b', function()\n assert(1 == 2)\nend)\n"
                          "zv.log('not reached')")
            << 1 << "s.lua:3: assertion failed!";
        QTest::newRow("a failed step caught still fails the run")
            << QByteArray("pcall(test, 'b', function() error('x') end)\nzv.log('goes on')") << 1
            << "a step failed";
        QTest::newRow("exit(0) after a caught failed step")
            << QByteArray("pcall(test, 'b', function() error('x') end)\nzv.exit(0)") << 0 << "";
        QTest::newRow("a step whose last expect timed out")
            << QByteArray("test('ok?', function()\n zv.expect('OK', 100)\nend)") << 1
            << "s.lua:2: expect timed out";
        QTest::newRow("no way out of the sandbox")
            << QByteArray("assert(os.execute == nil and os.exit == nil and io.popen == nil)\n"
                          "assert(package.loadlib == nil and package.searchers[3] == nil)\n"
                          "assert(load(string.dump(function() end)) == nil)\n"
                          "assert(not pcall(require, 'no_such_module'))")
            << 0 << "";
        QTest::newRow("computing 2 s without waiting")
            << QByteArray("local n = 0\nwhile true do n = n + 1 end") << 1
            << "s.lua:2: the script ran for 2 s without waiting";
        QTest::newRow("computing without waiting inside pcall")
            << QByteArray("while true do pcall(function() while true do end end) end") << 1
            << "the script ran for 2 s without waiting";
        QTest::newRow("a wait inside a coroutine of the script's own")
            << QByteArray("coroutine.wrap(function() zv.sleep(1) end)()") << 1
            << "s.lua:1: sleep waits, which a script can do only in its own flow";
        QTest::newRow("closing and opening ports")
            << QByteArray("zv.port.close()\nassert(not pcall(zv.send, 'x'))\n"
                          "local ok, why = zv.port.open(9)\n"
                          "assert(not ok and why:find('Unable to Open Port COM9', 1, true), why)\n"
                          "assert(zv.port.open(7))\nzv.send('x')")
            << 0 << "";
        QTest::newRow("an unknown module command")
            << QByteArray("zv.command('Frobnicate')") << 1
            << "s.lua:1: no module command is called 'Frobnicate'";
    }

    void runEnds()
    {
        QFETCH(QByteArray, script);
        QFETCH(int, exitCode);
        QFETCH(QString, message);

        QVERIFY(start(script));
        QVERIFY(waitForEnd());
        QVERIFY2(m_engine->message().contains(message), qPrintable(m_engine->message()));
        QCOMPARE(m_engine->exitCode(), exitCode);
        QCOMPARE(m_engine->state(),
                 exitCode == 0 ? ScriptEngine::State::Passed : ScriptEngine::State::Failed);
    }

    // What each function puts on the wire, byte for byte.
    void bytesOnTheWire_data()
    {
        QTest::addColumn<QByteArray>("call");
        QTest::addColumn<QByteArray>("bytes");

        QTest::newRow("send: a string is bytes")
            << QByteArray("zv.send('\\1\\255A')") << QByteArray::fromHex("01ff41");
        QTest::newRow("sendline") << QByteArray("zv.sendline('AT')") << QByteArray("AT\r");
        QTest::newRow("command R: to the module, framed by CR, CR LF CR")
            << QByteArray("zv.command('R')") << QByteArray("\rRESET\r\n\r");
        QTest::newRow("command by caption with the selected address")
            << QByteArray("zv.command('Call SPP')")
            << QByteArray("\rCALL 00:07:80:AA:BB:CC 1101 RFCOMM\r\n\r");
        QTest::newRow("command by name with an address of its own")
            << QByteArray("zv.command('BCall', '02:5A:10:4C:00:21')")
            << QByteArray("\rCALL 02:5A:10:4C:00:21 1101 RFCOMM\r\n\r");
        QTest::newRow("a plain line command")
            << QByteArray("zv.command('SPP AutoCall')")
            << QByteArray("SET CONTROL AUTOCALL 1101 5000 RFCOMM\r");
        QTest::newRow("a GainSpan command")
            << QByteArray("zv.command('GsVersion')") << QByteArray("\rAT+VER=?\r");
        QTest::newRow("a BGIO packet")
            << QByteArray("zv.command('SET PIO')") << QByteArray::fromHex("000504fcfcfcfc");
        QTest::newRow("the escape between silences")
            << QByteArray("zv.command('BCMD')") << QByteArray("+++");
        QTest::newRow("a baud change: told, reopened, then SET")
            << QByteArray("zv.command('115200')")
            << QByteArray("\rSET CONTROL BAUD 115200,8n1\r\n\r\r\rSET\r\n\r");
        QTest::newRow("mux.send frames to a link")
            << QByteArray("zv.mux.send(1, 'AT')") << QByteArray::fromHex("bf01000241 54fe");
        QTest::newRow("bgapi.send without arguments")
            << QByteArray("zv.bgapi.send('system_get_info')") << QByteArray::fromHex("00000008");
        QTest::newRow("bgapi.send with an address")
            << QByteArray("zv.bgapi.send('gap_connect_direct', '00:07:80:1A:2B:3C')")
            << QByteArray::fromHex("000f0603 3c2b1a800700 00 0600 1000 0001 0000");
    }

    void bytesOnTheWire()
    {
        QFETCH(QByteArray, call);
        QFETCH(QByteArray, bytes);

        QVERIFY(start(call));
        QVERIFY(waitForEnd());
        QCOMPARE(m_engine->exitCode(), 0);
        QCOMPARE(sentSoFar(m_session->serial(), *m_module), bytes);
    }

    // A pseudo-terminal cannot drive its modem lines: the script hears so and goes on; a break
    // works on it.
    void modemLines()
    {
        m_host->reset = QStringLiteral("Dr20R");
        QVERIFY(start(kShow + "show(zv.dtr(true))\nshow(zv.rts(false))\nshow(zv.brk(20))\n"
                              "show(zv.reset())"));
        QVERIFY(waitForEnd());
        QCOMPARE(m_output,
                 (QStringList{"false|the device cannot set DTR", "false|the device cannot set RTS",
                              "true", "false|the device did not take every step"}));
    }

    void bgapiExpect()
    {
        // A scan response from 00:07:80:1A:2B:3C at -60 dBm, in two reads.
        const QByteArray scan = QByteArray::fromHex("800B0600C4003C2B1A80070000FF00");
        QSignalSpy reads(m_session.get(), &zorvane::session::ModuleSession::bytesReceived);
        QVERIFY(start(kShow + "local m = zv.bgapi.expect('gap_scan_response', 5000)\n"
                              "show(m.name, m.address, m.rssi, #m.raw)\n"
                              "show(zv.bgapi.expect({'system_boot', 'connection_status'}, 200))"));
        QTRY_COMPARE(m_engine->state(), ScriptEngine::State::Waiting);
        QVERIFY(m_module->write(scan.first(5)));
        QTRY_VERIFY(reads.count() > 0);
        QVERIFY(m_module->write(scan.sliced(5)));
        QVERIFY(waitForEnd());
        QCOMPARE(m_output,
                 (QStringList{"gap_scan_response|00:07:80:1A:2B:3C|-60|15", "nil|timeout"}));
    }

    // The event loop keeps its turns while the script computes, and Stop ends it there.
    void stopWhileComputing_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::newRow("a bare loop") << QByteArray("while true do end");
        QTest::newRow("a loop inside pcall")
            << QByteArray("while true do pcall(function() while true do end end) end");
    }

    void stopWhileComputing()
    {
        QFETCH(QByteArray, script);
        m_engine->setClock(nullptr);
        QVERIFY(start(script));
        int turns = 0;
        QTimer beat;
        connect(&beat, &QTimer::timeout, this, [&] { ++turns; });
        beat.start(0);
        QTRY_VERIFY(turns >= 5);
        QVERIFY(m_engine->isRunning());
        m_engine->stop();
        QCOMPARE(m_engine->state(), ScriptEngine::State::Stopped);
        QVERIFY(!m_engine->isRunning());
    }

private:
    bool start(const QByteArray &script)
    {
        const QString path = m_home.filePath(QStringLiteral("s.lua"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(script) != script.size())
            return false;
        file.close();
        return m_engine->start(path);
    }

    bool waitForEnd()
    {
        if (!m_engine->isRunning())
            return true;
        QSignalSpy ended(m_engine.get(), &ScriptEngine::finished);
        return ended.wait(20000);
    }

    QTemporaryDir m_home;
    QString m_docs;
    SteppingClock m_clock;
    std::unique_ptr<PtyModule> m_module;
    std::unique_ptr<zorvane::session::ModuleSession> m_session;
    std::unique_ptr<TestHost> m_host;
    std::unique_ptr<ScriptEngine> m_engine;
    QStringList m_output;
};

QTEST_GUILESS_MAIN(TestScriptEngine)
#include "tst_script_engine.moc"
