// Profiles from outside: real program processes, each with its own settings file and port,
// and a settings lock left by a killed instance that the next start takes over.
#include "PtyModule.h"
#include "WholeFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

#include <sys/stat.h>

namespace {

QByteArray settingsNaming(int port, int baud)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
                          "<ZVSettings><COMPORT><com>%1</com><baud>%2</baud></COMPORT>"
                          "<Options><ResetOnConnect>true</ResetOnConnect></Options></ZVSettings>\n")
        .arg(port)
        .arg(baud)
        .toUtf8();
}

} // namespace

class TestProfiles : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void twoProfilesKeepTheirOwnFiles();
    void lockOfAKilledInstanceIsTakenOver();
    void pipeAtTheLockIsNeverOpened();

private:
    std::unique_ptr<QProcess> start(const QStringList &arguments);
    // SIGTERM, the normal way out: the settings are saved.
    static bool endNormally(QProcess &program);

    std::unique_ptr<QTemporaryDir> m_home;
    QString m_docs;
};

void TestProfiles::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
    m_docs = m_home->filePath(QStringLiteral("Documents/Zorvane/"));
    isolatePorts(m_docs);
}

std::unique_ptr<QProcess> TestProfiles::start(const QStringList &arguments)
{
    auto program = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), m_home->path());
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program->setProcessEnvironment(env);
    program->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program->start(QStringLiteral(ZORVANE_EXE), arguments);
    return program;
}

bool TestProfiles::endNormally(QProcess &program)
{
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    if (program.waitForFinished(10000))
        return program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0;
    program.kill();
    program.waitForFinished();
    return false;
}

void TestProfiles::twoProfilesKeepTheirOwnFiles()
{
    PtyModule central;
    PtyModule peripheral;
    QVERIFY(central.isValid() && peripheral.isValid());
    QVERIFY(central.linkAs(m_docs, 5));
    QVERIFY(peripheral.linkAs(m_docs, 6));
    const QString centralFile = m_docs + QStringLiteral("zv_settings-central.xml");
    const QString peripheralFile = m_docs + QStringLiteral("zv_settings-peripheral.xml");
    QVERIFY(writeFile(centralFile, settingsNaming(5, 9600)));
    QVERIFY(writeFile(peripheralFile, settingsNaming(6, 19200)));

    const auto first = start({QStringLiteral("--profile"), QStringLiteral("central")});
    const auto second = start({QStringLiteral("-p"), QStringLiteral("peripheral")});
    // Each opens the port its own file names, and greets its module there.
    QVERIFY(central.readAtLeast(7, 30000).contains("RESET"));
    QVERIFY(peripheral.readAtLeast(7, 30000).contains("RESET"));
    QCOMPARE(central.programSideSettings().c_ospeed, speed_t(B9600));
    QCOMPARE(peripheral.programSideSettings().c_ospeed, speed_t(B19200));
    QVERIFY(QFile::exists(centralFile + QStringLiteral(".lock")));
    QVERIFY(QFile::exists(peripheralFile + QStringLiteral(".lock")));

    QVERIFY(endNormally(*first));
    QVERIFY(endNormally(*second));

    const QByteArray savedCentral = readFile(centralFile);
    const QByteArray savedPeripheral = readFile(peripheralFile);
    QVERIFY2(savedCentral.contains("<com>5</com>") && savedCentral.contains("<baud>9600</baud>") &&
                 savedCentral.contains("<Window>"),
             savedCentral.constData());
    QVERIFY2(savedPeripheral.contains("<com>6</com>") &&
                 savedPeripheral.contains("<baud>19200</baud>") &&
                 savedPeripheral.contains("<Window>"),
             savedPeripheral.constData());
    // The default settings stay out of it, and no lock outlives its instance.
    QVERIFY(!QFile::exists(m_docs + QStringLiteral("zv_settings.xml")));
    QVERIFY(!QFile::exists(centralFile + QStringLiteral(".lock")));
    QVERIFY(!QFile::exists(peripheralFile + QStringLiteral(".lock")));
}

void TestProfiles::lockOfAKilledInstanceIsTakenOver()
{
    PtyModule module;
    QVERIFY(module.isValid());
    QVERIFY(module.linkAs(m_docs, 5));
    const QString file = m_docs + QStringLiteral("zv_settings-central.xml");
    QVERIFY(writeFile(file, settingsNaming(5, 9600)));

    const auto crashed = start({QStringLiteral("-p"), QStringLiteral("central")});
    QVERIFY(module.readAtLeast(7, 30000).contains("RESET"));
    ::kill(static_cast<pid_t>(crashed->processId()), SIGKILL);
    QVERIFY(crashed->waitForFinished(10000));
    // Killed: nothing saved, and its lock is left behind.
    QCOMPARE(readFile(file), settingsNaming(5, 9600));
    QVERIFY(QFile::exists(file + QStringLiteral(".lock")));

    // The next start takes the lock over and saves at exit as any owner does.
    const auto next = start({QStringLiteral("-p"), QStringLiteral("central")});
    QVERIFY(module.readAtLeast(7, 30000).contains("RESET"));
    QVERIFY(endNormally(*next));
    const QByteArray saved = readFile(file);
    QVERIFY2(saved.contains("<Window>") && saved.contains("<com>5</com>"), saved.constData());
    QVERIFY(!QFile::exists(file + QStringLiteral(".lock")));
}

void TestProfiles::pipeAtTheLockIsNeverOpened()
{
    // Opened, a named pipe would hold the start for good, and the first SIGTERM with it.
    PtyModule module;
    QVERIFY(module.isValid());
    QVERIFY(module.linkAs(m_docs, 5));
    const QString file = m_docs + QStringLiteral("zv_settings.xml");
    QVERIFY(writeFile(file, settingsNaming(5, 9600)));
    QCOMPARE(::mkfifo(QFile::encodeName(file + QStringLiteral(".lock")).constData(), 0600), 0);

    const auto program = start({});
    QVERIFY(module.readAtLeast(7, 30000).contains("RESET"));
    QVERIFY(endNormally(*program));
    const QByteArray saved = readFile(file);
    QVERIFY2(saved.contains("<Window>") && saved.contains("<com>5</com>"), saved.constData());
    QVERIFY(!QFile::exists(file + QStringLiteral(".lock")));
}

QTEST_GUILESS_MAIN(TestProfiles)
#include "tst_profiles.moc"
