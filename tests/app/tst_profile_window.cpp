// A profile seen from its window: the caption and the log names carry it, and a second
// instance on a file another instance holds says it will not save, leaves the file as the
// first one writes it, and names that instance on the port it holds.
#include "WholeFiles.h"
#include "WindowFixture.h"

#include "app/MessageBoxes.h"
#include "app/main_window/MainForm.h"
#include "serial/PortClaim.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QTest>
#include <QToolBar>
#include <QUrl>

#include <csignal>

namespace {

// The profile "central" keeps COM5 and resets the module on connect, so a start is seen at
// the module's end.
const QByteArray kCentralOnCom5 =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
    "<ZVSettings><COMPORT><com>5</com></COMPORT>"
    "<Options><ResetOnConnect>true</ResetOnConnect></Options></ZVSettings>\n";

// Starts the real program offscreen with the given options.
void startProgram(QProcess &program, const QStringList &arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(ZORVANE_EXE), arguments);
}

} // namespace

class TestProfileWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_fx.setUp()); }
    void init();
    void cleanup() { m_fx.tearDown(); }

    void captionAndLogName_data();
    void captionAndLogName();
    void secondInstanceLeavesTheFileAlone();
    void killedInstanceLeavesNoClaim();
    void windowBesideAnotherInstance_data();
    void windowBesideAnotherInstance();

private:
    WindowFixture m_fx;
    // Message text and the explanation below it.
    QList<QPair<QString, QString>> m_boxes;
};

void TestProfileWindow::init()
{
    m_fx.reset();
    m_boxes.clear();
    zorvane::app::setDetailedMessageHandler(
        [this](QWidget *, const QString &text, const QString &info) {
            m_boxes.append({text, info});
        });
    QFile::remove(m_fx.docs + QStringLiteral("zv_settings.xml"));
    QFile::remove(m_fx.docs + QStringLiteral("zv_settings-central.xml"));
    QFile::remove(m_fx.docs + QStringLiteral("zv_settings-side.xml"));
}

void TestProfileWindow::captionAndLogName_data()
{
    QTest::addColumn<QString>("profile");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("settingsFile");
    QTest::addColumn<QString>("logFile");

    QTest::newRow("default") << QString() << "Zorvane COM5 115200 8N1- Online"
                             << "zv_settings.xml"
                             << "05Mar2027-9h07.csv";
    QTest::newRow("profile") << "central"
                             << "Zorvane COM5 115200 8N1- Online - central"
                             << "zv_settings-central.xml"
                             << "central-05Mar2027-9h07.csv";
}

void TestProfileWindow::captionAndLogName()
{
    QFETCH(QString, profile);
    QFETCH(QString, caption);
    QFETCH(QString, settingsFile);
    QFETCH(QString, logFile);

    m_fx.module = m_fx.plugIn(5);
    QFile settings(m_fx.docs + settingsFile);
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
                   "<ZVSettings><COMPORT><com>5</com></COMPORT></ZVSettings>\n");
    settings.close();

    m_fx.window = m_fx.makeMain();
    TMain &w = *m_fx.window;
    w.useProfile(profile);
    w.show();
    QCOMPARE(w.windowTitle(), caption);
    QVERIFY(!w.SettingsNotice);

    w.session.sessionLog().setClock([] { return QDateTime(QDate(2027, 3, 5), QTime(9, 7, 45)); });
    w.Log1->trigger();
    QCOMPARE(w.LogFileName, logFile);
    QVERIFY(QFile::exists(m_fx.docs + logFile));
    QVERIFY(m_boxes.isEmpty());
    QFile::remove(m_fx.docs + logFile);
}

void TestProfileWindow::secondInstanceLeavesTheFileAlone()
{
    m_fx.module = m_fx.plugIn(5);
    const QString file = m_fx.docs + QStringLiteral("zv_settings-central.xml");
    QVERIFY(writeFile(file, kCentralOnCom5));

    // The first instance: the real program, holding the file and COM5.
    QProcess first;
    startProgram(first, {QStringLiteral("--profile"), QStringLiteral("central")});
    QVERIFY(m_fx.module->readAtLeast(7, 30000).contains("RESET"));

    // The second, on the same profile.
    m_fx.window = m_fx.makeMain();
    TMain &w = *m_fx.window;
    w.useProfile(QStringLiteral("central"));
    w.show();

    QCOMPARE(w.windowTitle(), "Zorvane COM5 - OffLine - central - settings not saved");
    QVERIFY(w.SettingsNotice && w.SettingsNotice->isVisible());
    QCOMPARE(w.SettingsNotice->text(),
             "Settings not saved: another Zorvane uses zv_settings-central.xml");
    // The saved port is the first one's: refused with the reason, and marked in the menu.
    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(m_boxes.first().first, "Unable to Open Port COM5");
    const QString reason =
        QStringLiteral("in use by Zorvane, profile central (process %1)").arg(first.processId());
    QVERIFY2(m_boxes.first().second.contains(reason), qPrintable(m_boxes.first().second));
    QVERIFY2(
        w.com_items[5]->text().endsWith(QStringLiteral("  in use by Zorvane, profile central")),
        qPrintable(w.com_items[5]->text()));
    QVERIFY(!w.com_items[6]->text().contains(QStringLiteral("in use")));

    // The second shows a toolbar; the first ends and saves its own state; the second ends
    // last, and the file keeps the first's.
    w.SPP1->trigger();
    QVERIFY(!w.ToolBar_SPP->isHidden());
    ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
    QVERIFY(first.waitForFinished(10000));
    QCOMPARE(first.exitCode(), 0);
    const QByteArray firstSaved = readFile(file);
    QVERIFY2(firstSaved.contains("<spp>false</spp>") && firstSaved.contains("<com>5</com>"),
             firstSaved.constData());

    w.MExit->trigger();
    QCOMPARE(readFile(file), firstSaved);
    QCOMPARE(m_boxes.size(), 1);
}

void TestProfileWindow::killedInstanceLeavesNoClaim()
{
    m_fx.module = m_fx.plugIn(5);
    const QString file = m_fx.docs + QStringLiteral("zv_settings-central.xml");
    QVERIFY(writeFile(file, kCentralOnCom5));

    QProcess crashed;
    startProgram(crashed, {QStringLiteral("-p"), QStringLiteral("central")});
    QVERIFY(m_fx.module->readAtLeast(7, 30000).contains("RESET"));
    ::kill(static_cast<pid_t>(crashed.processId()), SIGKILL);
    QVERIFY(crashed.waitForFinished(10000));
    QVERIFY(QFile::exists(file + QStringLiteral(".lock")));
    // Its claim on the device is left behind too, but counts for nothing.
    const QString device = QFileInfo(m_fx.module->slavePath()).canonicalFilePath();
    QVERIFY(QFile::exists(zorvane::serial::claimFolder() +
                          QString::fromLatin1(QUrl::toPercentEncoding(device))));
    QVERIFY(!zorvane::serial::zorvaneHolder(device));

    // Its lock died with it: the next start owns the file, and opens the port.
    m_fx.window = m_fx.makeMain();
    TMain &w = *m_fx.window;
    w.useProfile(QStringLiteral("central"));
    w.show();
    QCOMPARE(w.windowTitle(), "Zorvane COM5 115200 8N1- Online - central");
    QVERIFY(!w.SettingsNotice);
    QVERIFY(m_boxes.isEmpty());

    w.SPP1->trigger();
    w.MExit->trigger();
    QVERIFY(readFile(file).contains("<spp>true</spp>"));
}

// A window with no place of its own (a new profile, or a profile another instance runs)
// opens beside the other instance's window instead of exactly on top of it; a profile's own
// saved place is kept.
void TestProfileWindow::windowBesideAnotherInstance_data()
{
    QTest::addColumn<QString>("profile");
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QPoint>("placed");
    QTest::newRow("the same profile") << "central" << QByteArray() << QPoint(130, 130);
    QTest::newRow("a new profile") << "side" << QByteArray() << QPoint(130, 130);
    QTest::newRow("a profile with its own place")
        << "side"
        << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
                      "<ZVSettings><Window><left>100</left><top>100</top><width>834</width>"
                      "<height>600</height></Window></ZVSettings>\n")
        << QPoint(100, 100);
}

void TestProfileWindow::windowBesideAnotherInstance()
{
    QFETCH(QString, profile);
    QFETCH(QByteArray, settings);
    QFETCH(QPoint, placed);
    m_fx.module = m_fx.plugIn(5);
    // The first instance opens its window where its file says: nowhere, so at 100,100.
    QVERIFY(writeFile(m_fx.docs + QStringLiteral("zv_settings-central.xml"), kCentralOnCom5));
    if (!settings.isEmpty())
        QVERIFY(writeFile(m_fx.docs + QStringLiteral("zv_settings-%1.xml").arg(profile), settings));
    QProcess first;
    startProgram(first, {QStringLiteral("--profile"), QStringLiteral("central")});
    QVERIFY(m_fx.module->readAtLeast(7, 30000).contains("RESET"));

    m_fx.window = m_fx.makeMain();
    TMain &w = *m_fx.window;
    w.useProfile(profile);
    w.show();
    QCOMPARE(w.geometry().topLeft(), placed);

    ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
    QVERIFY(first.waitForFinished(10000));
}

QTEST_MAIN(TestProfileWindow)
#include "tst_profile_window.moc"
