// The real program from outside: its command line answers without a window or a settings
// file, and SIGTERM, SIGINT and SIGHUP close it the normal way, saving the settings, even
// while a message box waits for OK at start-up or would open at shutdown.
#include "FileFaults.h"
#include "PtyModule.h"
#include "WholeFiles.h"
#include "serial/PortNames.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

class TestProgram : public QObject
{
    Q_OBJECT

private slots:
    void commandLine_data();
    void commandLine();
    void signalClosesNormally_data();
    void signalClosesNormally();
    void signalEndsDespiteBoxes_data();
    void signalEndsDespiteBoxes();
};

namespace {

// The program with a home of its own and no display to wait on.
void startProgram(QProcess &program, const QString &home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(ZORVANE_EXE));
}

// Whether it ended within a second of the signal; if not, it is ended here.
bool endsWithinASecond(QProcess &program, int signalNumber)
{
    if (::kill(static_cast<pid_t>(program.processId()), signalNumber) != 0)
        return false;
    if (program.waitForFinished(1000))
        return true;
    program.kill();
    program.waitForFinished();
    return false;
}

const QByteArray kWindowShown = "This plugin does not support propagateSizeHints()";

const QByteArray kSettings =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
    "<ZVSettings><COMPORT><com>5</com><baud>9600</baud></COMPORT></ZVSettings>\n";

} // namespace

void TestProgram::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    QTest::newRow("--help") << QStringList{"--help"} << 0 << "Usage: zorvane [options]\n"
                            << "";
    QTest::newRow("-h") << QStringList{"-h"} << 0 << "Usage: zorvane [options]\n"
                        << "";
    QTest::newRow("--version") << QStringList{"--version"} << 0 << "Zorvane 1.16\n"
                               << "";
    QTest::newRow("after a Qt option")
        << QStringList{"-style", "Fusion", "-v"} << 0 << "Zorvane 1.16\n"
        << "";
    QTest::newRow("unknown option") << QStringList{"--colour"} << 2 << ""
                                    << "zorvane: Unknown option 'colour'.\n";
    QTest::newRow("stray argument") << QStringList{"COM3"} << 2 << ""
                                    << "zorvane: unexpected argument 'COM3'.\n";
    // A profile's name goes into file names: anything that could leave the folder, hide a
    // file or mean another file elsewhere is refused before a window or a file is made.
    const auto refused = [](const QString &name) {
        return QStringLiteral("zorvane: the profile name '%1' is not allowed").arg(name);
    };
    QTest::newRow("profile with a slash") << QStringList{"--profile", "../x"} << 2 << ""
                                          << refused("../x");
    QTest::newRow("profile with a dot") << QStringList{"-p", ".hidden"} << 2 << ""
                                        << refused(".hidden");
    QTest::newRow("profile with a space") << QStringList{"-p", "a b"} << 2 << "" << refused("a b");
    QTest::newRow("profile with a non-ASCII letter")
        << QStringList{"-p", QStringLiteral("zentral\u00E9")} << 2 << ""
        << refused(QStringLiteral("zentral\u00E9"));
    QTest::newRow("profile with a control character")
        << QStringList{"-p", "a\x1b[2Jb"} << 2 << "" << refused("a?[2Jb");
    QTest::newRow("empty profile") << QStringList{"--profile", ""} << 2 << "" << refused("");
    QTest::newRow("profile of 65 characters")
        << QStringList{"-p", QString(65, QLatin1Char('x'))} << 2 << ""
        << refused(QString(65, QLatin1Char('x')));
    QTest::newRow("profile without a name") << QStringList{"-p"} << 2 << ""
                                            << "zorvane: Missing value after '-p'.\n";
    QTest::newRow("two profiles") << QStringList{"-p", "a", "--profile", "b"} << 2 << ""
                                  << "zorvane: only one profile at a time.\n";
    QTest::newRow("profile before --help")
        << QStringList{"-p", "central", "--help"} << 0 << "Usage: zorvane [options]\n"
        << "";
}

void TestProgram::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);

    QTemporaryDir home;
    QVERIFY(home.isValid());
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    // With no display to reach, a program that made a window would abort here.
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(ZORVANE_EXE), arguments);
    QVERIFY(program.waitForFinished(20000));

    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), exitCode);
    const QString stdOut = QString::fromLocal8Bit(program.readAllStandardOutput());
    const QString stdErr = QString::fromLocal8Bit(program.readAllStandardError());
    // The first line or two suffice: the rest of the help is prose.
    QVERIFY2(out.isEmpty() ? stdOut.isEmpty() : stdOut.startsWith(out), qPrintable(stdOut));
    QVERIFY2(err.isEmpty() ? stdErr.isEmpty() : stdErr.startsWith(err), qPrintable(stdErr));
    // Not even the documents folder, let alone a settings file.
    QVERIFY(QDir(home.path()).isEmpty());
}

void TestProgram::signalClosesNormally_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void TestProgram::signalClosesNormally()
{
    QFETCH(int, signalNumber);

    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QString docs = home.filePath(QStringLiteral("Documents/Zorvane/"));
    isolatePorts(docs);
    PtyModule module;
    QVERIFY(module.isValid());
    QVERIFY(module.linkAs(docs, 5));
    // A settings file that names the port and nothing else; the rest is written at exit.
    const QString settings = docs + QStringLiteral("zv_settings.xml");
    QFile file(settings);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
               "<ZVSettings><COMPORT><com>5</com><baud>9600</baud></COMPORT>"
               "<Options><ResetOnConnect>true</ResetOnConnect></Options></ZVSettings>\n");
    file.close();

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(ZORVANE_EXE));
    QVERIFY(program.waitForStarted(20000));
    // Up and running once the saved port is open: it greets the module with RESET.
    QVERIFY(module.readAtLeast(7, 30000).contains("RESET"));

    QCOMPARE(::kill(static_cast<pid_t>(program.processId()), signalNumber), 0);
    const bool ended = program.waitForFinished(1000);
    if (!ended) {
        program.kill();
        program.waitForFinished();
    }
    QVERIFY2(ended, "still running a second after the signal");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);

    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray saved = file.readAll();
    QVERIFY2(saved.contains("<com>5</com>") && saved.contains("<baud>9600</baud>") &&
                 saved.contains("<ResetOnConnect>true</ResetOnConnect>") &&
                 saved.contains("<Window>"),
             saved.constData());
}

void TestProgram::signalEndsDespiteBoxes_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<int>("signalNumber");
    // What standard error must say in place of a box the shutdown would have opened. A
    // start-up told to end opens no port, so no further box is due there.
    QTest::addColumn<QString>("said");
    QTest::newRow("read-only file at shutdown, SIGTERM")
        << "read-only" << SIGTERM << "Zorvane: zv_settings.xml file read only - settings not saved";
    QTest::newRow("full disk at shutdown, SIGINT")
        << "full disk" << SIGINT << "Zorvane: Unable to write file: ";
    QTest::newRow("damaged file, then no port at start-up, SIGHUP")
        << "damaged" << SIGHUP << "";
    QTest::newRow("baud 0 at start-up, SIGTERM") << "baud 0" << SIGTERM << "";
}

void TestProgram::signalEndsDespiteBoxes()
{
    QFETCH(QString, situation);
    QFETCH(int, signalNumber);
    QFETCH(QString, said);

    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QString docs = home.filePath(QStringLiteral("Documents/Zorvane/"));
    isolatePorts(docs);
    PtyModule module;
    QVERIFY(module.isValid());
    const bool atStartUp = situation == u"damaged" || situation == u"baud 0";
    // The start-up boxes come from a port that cannot be opened; the shutdown cases start
    // cleanly on a port that answers.
    if (!atStartUp)
        QVERIFY(module.linkAs(docs, 5));
    const QString settings = docs + QStringLiteral("zv_settings.xml");
    QByteArray bytes = kSettings;
    if (situation == u"damaged")
        bytes = "<ZVSettings><COMPORT><com>5</com>";
    if (situation == u"baud 0")
        bytes.replace("9600", "0");
    {
        QFile file(settings);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
    }
    if (situation == u"read-only")
        QVERIFY(QFile::setPermissions(settings, QFileDevice::ReadOwner | QFileDevice::ReadGroup));

    QProcess program;
    {
        // The program inherits the limit: room for the port's lock file, not for the settings.
        std::unique_ptr<FileSizeLimit> full;
        if (situation == u"full disk")
            full = std::make_unique<FileSizeLimit>(200);
        startProgram(program, home.path());
        QVERIFY(program.waitForStarted(20000));
    }
    QByteArray errors;
    if (atStartUp) {
        // The offscreen platform notes each window it shows: the main window, then the box.
        QElapsedTimer waited;
        waited.start();
        while (errors.count(kWindowShown) < 2 && waited.elapsed() < 30000) {
            program.waitForReadyRead(100);
            errors += program.readAllStandardError();
        }
        QVERIFY2(errors.count(kWindowShown) >= 2, errors.constData());
    } else {
        QVERIFY2(module.readAtLeast(7, 30000).contains("RESET"),
                 program.readAllStandardError().constData());
    }

    const bool ended = endsWithinASecond(program, signalNumber);
    const QString stdErr = QString::fromLocal8Bit(errors + program.readAllStandardError());
    QVERIFY2(ended, qPrintable("still running a second after the signal: " + stdErr));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QVERIFY2(stdErr.contains(said), qPrintable(stdErr));

    const QByteArray saved = readFile(settings);
    if (situation == u"read-only" || situation == u"full disk") {
        QCOMPARE(saved, kSettings);
    } else {
        // Saved where possible: the file is whole again and holds the window.
        QVERIFY2(saved.contains("<Window>") && saved.contains("</ZVSettings>"), saved.constData());
    }
    if (situation == u"damaged")
        QCOMPARE(readFile(settings + QStringLiteral(".bad")), bytes);
}

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
