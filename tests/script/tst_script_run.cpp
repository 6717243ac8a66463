// The real program running scripts without a window (zorvane --run) against the module
// simulator and silent pseudo-terminals, with no display to reach: exit statuses and the
// messages that go with them, received lines on standard output, the JUnit report read back,
// the README's example, and SIGINT and SIGTERM during a run.
#include "PtyModule.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

namespace {

constexpr int kSimPort = 71;
constexpr int kSilentPort = 72;

// With no display to reach, a program that made a window would abort.
QProcessEnvironment noDisplay()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return env;
}

struct Ended
{
    bool finished = false;
    QProcess::ExitStatus status = QProcess::CrashExit;
    int code = -1;
    QString out;
    QString err;
};

// Runs the program in `folder`, so a script named without a path is found there.
Ended runProgram(const QStringList &arguments, const QString &folder = QString())
{
    QProcess program;
    program.setProcessEnvironment(noDisplay());
    program.setWorkingDirectory(folder);
    program.start(QStringLiteral(ZORVANE_EXE), arguments);
    Ended ended;
    ended.finished = program.waitForFinished(30000);
    if (!ended.finished) {
        program.kill();
        program.waitForFinished();
    }
    ended.status = program.exitStatus();
    ended.code = program.exitCode();
    ended.out = QString::fromLocal8Bit(program.readAllStandardOutput());
    ended.err = QString::fromLocal8Bit(program.readAllStandardError());
    return ended;
}

} // namespace

class TestScriptRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        m_docs = useTemporaryHome(m_home.path());
        QVERIFY(QDir().mkpath(m_docs));
        isolatePorts(m_docs);
        QFile::remove(m_docs + QStringLiteral("ports/COM%1").arg(kSimPort));

        m_sim.setProcessEnvironment(noDisplay());
        m_sim.start(QStringLiteral(ZORVANE_SIM),
                    {QStringLiteral("--port"), QString::number(kSimPort)});
        QVERIFY(m_sim.waitForStarted());
        // It says so once the port leads to it.
        QByteArray said;
        while (!said.contains("Ctrl+C stops")) {
            QVERIFY2(m_sim.waitForReadyRead(10000), said.constData());
            said += m_sim.readAllStandardOutput();
        }

        m_silent = std::make_unique<PtyModule>();
        QVERIFY(m_silent->isValid());
        QVERIFY(m_silent->linkAs(m_docs, kSilentPort));
    }

    void cleanupTestCase()
    {
        if (m_sim.state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(m_sim.processId()), SIGTERM);
            m_sim.waitForFinished(5000);
        }
    }

    void exitStatuses_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("err");

        const QStringList sim{"--port", QString::number(kSimPort)};
        const QStringList silent{"--port", QString::number(kSilentPort)};
        QTest::newRow("the module answers")
            << QByteArray("zv.sendline('AT')\nassert(zv.expect('OK', 3000))") << sim << 0 << "";
        QTest::newRow("an expect unhandled at the end on a silent port")
            << QByteArray("zv.sendline('AT')\nzv.expect('OK', 1000)\n") << silent << 1
            << "zorvane: inquiry.lua:2: expect timed out after 1000 ms waiting for \"OK\"";
        QTest::newRow("a failed assert")
            << QByteArray(
                   "test('answer', function()\n  assert(zv.expect('OK', 200), 'no OK')\nend)")
            << silent << 1 << "zorvane: inquiry.lua:2: no OK";
        QTest::newRow("the script's own status")
            << QByteArray("zv.exit(7)") << silent << 7 << "zorvane: inquiry.lua:1: exit(7)";
        QTest::newRow("a port with no device")
            << QByteArray("zv.log('x')") << QStringList{"--port", "9"} << 3
            << "zorvane: Unable to Open Port COM9";
        QTest::newRow("no port named anywhere")
            << QByteArray("zv.log('x')") << QStringList{} << 3 << "zorvane: no port to open";
        QTest::newRow("a port number out of range")
            << QByteArray("zv.log('x')") << QStringList{"--port", "101"} << 2
            << "zorvane: --port takes a number from 1 to 100.";
    }

    void exitStatuses()
    {
        QFETCH(QByteArray, script);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, err);

        writeScript(QStringLiteral("inquiry.lua"), script);
        // Named as a user in that folder would: the messages name it the same way.
        const Ended ended =
            runProgram(QStringList{"--run", "inquiry.lua"} + arguments, m_home.path());
        QVERIFY(ended.finished);
        QCOMPARE(ended.status, QProcess::NormalExit);
        QVERIFY2(err.isEmpty() ? ended.err.isEmpty() : ended.err.startsWith(err),
                 qPrintable(ended.err));
        QCOMPARE(ended.code, exitCode);
    }

    // Options that make no sense are refused before anything is opened.
    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("err");
        QTest::newRow("a script that is not there")
            << QStringList{"--run", "no-such.lua"}
            << "zorvane: cannot read the script 'no-such.lua'.";
        QTest::newRow("--echo without --run")
            << QStringList{"--echo"} << "zorvane: --echo goes with --run.";
        QTest::newRow("--run and --script") << QStringList{"--run", "a.lua", "--script", "b.lua"}
                                            << "zorvane: --run and --script do not go together.";
    }

    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, err);
        const Ended ended = runProgram(arguments);
        QVERIFY(ended.finished);
        QVERIFY2(ended.err.startsWith(err), qPrintable(ended.err));
        QCOMPARE(ended.code, 2);
    }

    // The README's example against the simulator: three devices found, the first called; the
    // received lines on standard output and each step a test case of the report.
    void exampleAgainstTheSimulator()
    {
        const QString report = m_home.filePath(QStringLiteral("inquiry.xml"));
        const Ended ended =
            runProgram({"--run", QStringLiteral(EXAMPLES_DIR "/inquiry.lua"), "--port",
                        QString::number(kSimPort), "--junit", report, "--echo"});
        QVERIFY(ended.finished);
        QVERIFY2(ended.code == 0, qPrintable(ended.err));
        for (const char *address :
             {"02:5A:10:4C:00:21", "02:5A:10:4C:00:37", "02:5A:10:4C:00:5E"}) {
            QVERIFY2(ended.out.contains(QStringLiteral("found %1").arg(QLatin1String(address))),
                     qPrintable(ended.out));
        }
        // --echo: the module's own lines.
        QVERIFY(ended.out.contains(QStringLiteral("INQUIRY 02:5A:10:4C:00:37 040680\n")));
        QVERIFY(ended.out.contains(QStringLiteral("connected to 02:5A:10:4C:00:21 on link 0")));

        const QList<QStringList> cases = readReport(report);
        QCOMPARE(cases, (QList<QStringList>{{"reset", ""}, {"inquiry", ""}, {"call", ""}}));
    }

    // A failed step is a failure of its own test case with the script's line; the steps
    // after it still run when the script catches it.
    void reportOfAFailedStep()
    {
        const QString path = writeScript(QStringLiteral("steps.lua"),
                                         "test('first', function() end)\n"
                                         "pcall(test, 'second', function()\n  zv.sendline('AT')\n  "
                                         "assert(zv.expect('OK', 300), 'no OK')\nend)\n"
                                         "test('third', function() end)\n");
        const QString report = m_home.filePath(QStringLiteral("steps.xml"));
        const Ended ended =
            runProgram({"--run", path, "--port", QString::number(kSilentPort), "--junit", report});
        QVERIFY(ended.finished);
        QCOMPARE(ended.code, 1);
        QCOMPARE(readReport(report),
                 (QList<QStringList>{{"first", ""},
                                     {"second", path + QStringLiteral(":4: no OK")},
                                     {"third", ""}}));
    }

    // A signal ends the run the normal way: the port is let go and the status says which.
    void signalEndsTheRun_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("SIGINT") << int(SIGINT) << 130;
        QTest::newRow("SIGTERM") << int(SIGTERM) << 143;
    }

    void signalEndsTheRun()
    {
        QFETCH(int, signalNumber);
        QFETCH(int, exitCode);
        const QString path = writeScript(QStringLiteral("wait.lua"),
                                         "zv.log('waiting')\nzv.expect('never', 60000)\n");
        QProcess program;
        program.setProcessEnvironment(noDisplay());
        program.start(QStringLiteral(ZORVANE_EXE),
                      {"--run", path, "--port", QString::number(kSilentPort)});
        QByteArray out;
        while (!out.contains("waiting")) {
            QVERIFY(program.waitForReadyRead(10000));
            out += program.readAllStandardOutput();
        }
        QCOMPARE(::kill(static_cast<pid_t>(program.processId()), signalNumber), 0);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), exitCode);
        // The port is free again: another run opens it at once.
        const Ended again =
            runProgram({"--run", writeScript(QStringLiteral("again.lua"), "zv.log('ok')"), "--port",
                        QString::number(kSilentPort)});
        QCOMPARE(again.code, 0);
    }

private:
    QString writeScript(const QString &name, const QByteArray &text)
    {
        const QString path = m_home.filePath(name);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(text);
        return path;
    }

    // Each test case as its name and its failure's message (empty when it passed).
    static QList<QStringList> readReport(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QDomDocument dom;
        if (!dom.setContent(&file))
            return {};
        QList<QStringList> cases;
        const QDomNodeList testCases = dom.elementsByTagName(QStringLiteral("testcase"));
        for (int i = 0; i < testCases.size(); ++i) {
            const QDomElement testCase = testCases.at(i).toElement();
            cases.append({testCase.attribute(QStringLiteral("name")),
                          testCase.firstChildElement(QStringLiteral("failure"))
                              .attribute(QStringLiteral("message"))});
        }
        return cases;
    }

    QTemporaryDir m_home;
    QString m_docs;
    QProcess m_sim;
    std::unique_ptr<PtyModule> m_silent;
};

QTEST_GUILESS_MAIN(TestScriptRun)
#include "tst_script_run.moc"
