// Scripts in the real main window: File > "Run Script..." runs the file picked, the Script
// dock shows what it waits for and how it ended, received lines still reach the list, and
// Stop (the dock's button or File > "Stop Script") ends a script that never waits.
#include "WindowFixture.h"
#include "WindowText.h"

#include "app/ScriptFileChooser.h"
#include "app/main_window/MainForm.h"
#include "app/main_window/ScriptDock.h"
#include "script/ScriptEngine.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using zorvane::script::ScriptEngine;

namespace {

constexpr int kPort = 5;

} // namespace

class TestScriptWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_fx.setUp()); }

    void init()
    {
        m_fx.reset();
        // Shown first: the first show opens the port the settings name.
        m_fx.module = m_fx.plugIn(kPort);
        m_fx.window = m_fx.makeMain();
        m_fx.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_fx.window.get()));
        m_fx.window->set_comx(kPort, false);
        QVERIFY(m_fx.window->serial.holdsDevice());
        // These tests leave the receiving to the window's own timer, as a user's run does.
        m_fx.window->session.start();
    }

    void cleanup()
    {
        zorvane::app::setScriptFileHandler({});
        m_fx.tearDown();
    }

    void runFromTheFileMenu()
    {
        TMain &w = *m_fx.window;
        const QString path = writeScript("zv.sendline('AT')\n"
                                         "local i = zv.expect({'OK', 'ERROR'}, 10000)\n"
                                         "zv.log('answer', i)\n");
        zorvane::app::setScriptFileHandler([&](QWidget *) { return path; });
        QVERIFY(!w.Script_Dock->isVisible());
        w.RunScript1->trigger();

        QVERIFY(w.Script_Dock->isVisible());
        QCOMPARE(w.Script_Dock->ScriptName->text(), QStringLiteral("s.lua"));
        // After whatever the window itself sent when the port opened.
        QByteArray sent;
        QTRY_VERIFY((sent += m_fx.module->readAvailable()).endsWith("AT\r"));
        QTRY_VERIFY(w.Script_Dock->ScriptState->text().startsWith(
            QStringLiteral("Waiting for expect \"OK\" or \"ERROR\" (")));
        QVERIFY(!w.RunScript1->isEnabled());
        QVERIFY(w.StopScript1->isEnabled());

        QVERIFY(m_fx.module->write("AT\r\nOK\r\n"));
        QTRY_COMPARE(w.Script_Dock->ScriptState->text(), QStringLiteral("Passed"));
        QVERIFY(
            w.Script_Dock->ScriptOutput->toPlainText().startsWith(QStringLiteral("answer\t1\n")));
        // The script read its own copy: the list got the lines as ever.
        QTRY_VERIFY(listLines(w).contains(QStringLiteral("OK")));
        QVERIFY(w.RunScript1->isEnabled());
        QVERIFY(!w.StopScript1->isEnabled());
    }

    void failureNamesTheLine()
    {
        TMain &w = *m_fx.window;
        QVERIFY(w.runScript(writeScript("zv.log('start')\nzv.expect('OK', 200)\n")));
        QTRY_COMPARE(w.scriptEngine->state(), ScriptEngine::State::Failed);
        QVERIFY2(w.Script_Dock->ScriptState->text().startsWith(
                     QStringLiteral("Failed: %1:2: expect timed out").arg(m_scriptPath)),
                 qPrintable(w.Script_Dock->ScriptState->text()));
    }

    // The window keeps answering while the script computes, and Stop ends it.
    void stopWhileComputing_data()
    {
        QTest::addColumn<bool>("fromTheMenu");
        QTest::newRow("the dock's Stop button") << false;
        QTest::newRow("File > Stop Script") << true;
    }

    void stopWhileComputing()
    {
        QFETCH(bool, fromTheMenu);
        TMain &w = *m_fx.window;
        QVERIFY(w.runScript(writeScript("while true do end")));
        int turns = 0;
        QTimer beat;
        connect(&beat, &QTimer::timeout, this, [&] { ++turns; });
        beat.start(0);
        QTRY_VERIFY(turns >= 5);
        QVERIFY(w.scriptEngine->isRunning());
        if (fromTheMenu)
            w.StopScript1->trigger();
        else
            QTest::mouseClick(w.Script_Dock->StopButton, Qt::LeftButton);
        QCOMPARE(w.scriptEngine->state(), ScriptEngine::State::Stopped);
        QCOMPARE(w.Script_Dock->ScriptState->text(), QStringLiteral("Stopped"));
    }

private:
    QString writeScript(const QByteArray &text)
    {
        m_scriptPath = QDir(m_fx.homePath()).filePath(QStringLiteral("s.lua"));
        QFile file(m_scriptPath);
        if (file.open(QIODevice::WriteOnly))
            file.write(text);
        return m_scriptPath;
    }

    WindowFixture m_fx;
    QString m_scriptPath;
};

QTEST_MAIN(TestScriptWindow)
#include "tst_script_window.moc"
