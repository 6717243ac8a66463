// The "Modem lines" toolbar in the real window, on a pseudo-terminal (which cannot tell or
// drive its lines): shown from Options and remembered, the lines shown as unavailable, clicks
// that send nothing wrong, break, the reset sequence field, polling only while a port is open,
// and the per-port choices kept in the settings file; a reset sequence kept whole however
// long, and stopped by the button it turns into while it plays.
#include "NetworkServers.h"
#include "PtyModule.h"
#include "WholeFiles.h"
#include "WindowFixture.h"
#include "app/main_window/MainForm.h"
#include "app/main_window/ModemToolbar.h"
#include "serial/PortNames.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>

using zorvane::app::ModemToolbar;

class TestModemToolbar : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void shownFromOptionsAndRemembered();
    void pseudoTerminalLinesUnavailable();
    void clickedSwitchSendsNothing_data();
    void clickedSwitchSendsNothing();
    void accessibilityActions_data();
    void accessibilityActions();
    void networkSwitchesTrackEachLine();
    void answersInViewAtTheDefaultSize();
    void breakHeldThenReleased();
    void resetSequenceField();
    void longResetSequenceKeptWhole();
    void resetSequenceStopped();
    void pollsNothingThatCannotTell();
    void portChoicesKept();

private:
    // The window shown, its saved port COM1 opened on a module when `plugged`.
    TMain &start(bool plugged = true);
    ModemToolbar &bar() { return *m_fx.window->ToolBar_ModemLines; }
    void showBar();
    QString settingsPath() const { return m_fx.docs + QStringLiteral("zv_settings.xml"); }

    WindowFixture m_fx;
};

void TestModemToolbar::initTestCase()
{
    QVERIFY(m_fx.setUp());
}

void TestModemToolbar::init()
{
    m_fx.reset();
    QFile::remove(settingsPath());
}

void TestModemToolbar::cleanup()
{
    m_fx.tearDown();
}

TMain &TestModemToolbar::start(bool plugged)
{
    if (plugged && !m_fx.module)
        m_fx.module = m_fx.plugIn(1);
    m_fx.window = m_fx.makeMain();
    m_fx.window->show();
    if (!QTest::qWaitForWindowExposed(m_fx.window.get()))
        qWarning() << "window not exposed";
    return *m_fx.window;
}

void TestModemToolbar::showBar()
{
    if (!bar().isVisible())
        m_fx.window->ModemLines1->trigger();
}

void TestModemToolbar::shownFromOptionsAndRemembered()
{
    TMain &w = start(false);
    // The menu's own items keep their places; the new one follows a separator at the end.
    const QList<QAction *> items = w.Options->actions();
    const qsizetype own = items.indexOf(w.ResetonConnect);
    QCOMPARE(own, items.indexOf(w.HexModeWrite1) + 5);
    QVERIFY(items[own + 1]->isSeparator());
    QCOMPARE(items[own + 2], w.ModemLines1);
    QCOMPARE(QString(w.ModemLines1->text()).remove(u'&'),
             QStringLiteral("Show Modem Lines ToolBar"));
    QVERIFY(!bar().isVisible());
    QVERIFY(!w.ModemLines1->isChecked());

    w.ModemLines1->trigger();
    QVERIFY(bar().isVisible());
    QVERIFY(w.ModemLines1->isChecked());
    m_fx.window.reset();
    QVERIFY(readFile(settingsPath()).contains("<modem>true</modem>"));

    TMain &again = start(false);
    QVERIFY(again.ToolBar_ModemLines->isVisible());
    QVERIFY(again.ModemLines1->isChecked());
    again.ModemLines1->trigger();
    QVERIFY(!again.ToolBar_ModemLines->isVisible());
    QVERIFY(!again.ModemLines1->isChecked());
}

void TestModemToolbar::pseudoTerminalLinesUnavailable()
{
    start();
    showBar();
    QVERIFY(m_fx.window->serial.holdsDevice());
    for (QToolButton *line :
         {bar().DtrSwitch, bar().RtsSwitch, bar().Cts, bar().Dsr, bar().Dcd, bar().Ri}) {
        QVERIFY(line->isCheckable());
        QVERIFY(!line->isChecked());
        QCOMPARE(line->accessibleDescription(), QStringLiteral("unavailable"));
        QVERIFY(line->toolTip().endsWith(QStringLiteral(": unavailable")));
    }
    QCOMPARE(bar().DtrSwitch->accessibleName(), QStringLiteral("DTR"));
    QCOMPARE(bar().Ri->accessibleName(), QStringLiteral("RI"));
    // Switches and buttons work while the port is open; indicators take no click.
    QVERIFY(bar().DtrSwitch->isEnabled() && bar().Break->isEnabled());
    QTest::mouseClick(bar().Cts, Qt::LeftButton);
    bar().Dsr->click(); // as a screen reader presses it
    QVERIFY(!bar().Cts->isChecked() && !bar().Dsr->isChecked());
}

void TestModemToolbar::clickedSwitchSendsNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("byKey");

    QTest::newRow("DTR clicked") << "DTR" << false;
    QTest::newRow("RTS by Space") << "RTS" << true;
    QTest::newRow("Pulse clicked") << "Pulse" << false;
}

void TestModemToolbar::clickedSwitchSendsNothing()
{
    QFETCH(QString, name);
    QFETCH(bool, byKey);
    start();
    showBar();
    QToolButton *control = name == u"DTR"   ? bar().DtrSwitch
                           : name == u"RTS" ? bar().RtsSwitch
                                            : bar().Pulse;
    sentSoFar(m_fx.window->serial, *m_fx.module); // the reset sent on connecting
    const termios before = m_fx.module->programSideSettings();
    if (byKey) {
        control->setFocus();
        QTRY_VERIFY(control->hasFocus());
        QTest::keyClick(control, Qt::Key_Space);
    } else {
        QTest::mouseClick(control, Qt::LeftButton);
    }
    // The device refused the change: the switch shows what it reads back, and says so.
    QTRY_VERIFY(bar().Status->text().contains(QStringLiteral("failed")));
    QVERIFY(!control->isChecked());
    QVERIFY(sentSoFar(m_fx.window->serial, *m_fx.module).isEmpty());
    QCOMPARE(m_fx.module->programSideSettings().c_cflag, before.c_cflag);
}

// Toggle and Press from a screen reader or voice control click a switch as the mouse does,
// so the change goes to the device (a pseudo-terminal refuses it); an indicator offers
// neither, and its mark stays whatever is tried.
void TestModemToolbar::accessibilityActions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("isSwitch");

    QTest::newRow("DTR Toggle") << "DTR" << QAccessibleActionInterface::toggleAction() << true;
    QTest::newRow("RTS Toggle") << "RTS" << QAccessibleActionInterface::toggleAction() << true;
    QTest::newRow("DTR Press") << "DTR" << QAccessibleActionInterface::pressAction() << true;
    QTest::newRow("CTS Toggle") << "CTS" << QAccessibleActionInterface::toggleAction() << false;
    QTest::newRow("RI Press") << "RI" << QAccessibleActionInterface::pressAction() << false;
}

void TestModemToolbar::accessibilityActions()
{
    QFETCH(QString, name);
    QFETCH(QString, action);
    QFETCH(bool, isSwitch);
    start();
    showBar();
    QToolButton *control = nullptr;
    for (QToolButton *b : {bar().DtrSwitch, bar().RtsSwitch, bar().Cts, bar().Ri}) {
        if (b->accessibleName() == name)
            control = b;
    }
    QVERIFY(control);
    sentSoFar(m_fx.window->serial, *m_fx.module); // the reset sent on connecting

    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(control);
    QVERIFY(face && face->actionInterface());
    QCOMPARE(face->actionInterface()->actionNames().contains(action), isSwitch);
    QVERIFY(face->state().checkable);
    face->actionInterface()->doAction(action);

    QVERIFY(!control->isChecked());
    QVERIFY(!face->state().checked);
    QCOMPARE(bar().Status->text(),
             isSwitch ? name + QStringLiteral(" failed: the device cannot set it") : QString());
    QVERIFY(sentSoFar(m_fx.window->serial, *m_fx.module).isEmpty());
}

// pyserial's RFC 2217 server confirms each line change on its own: each switch shows its own
// line as soon as it is confirmed, so DTR raised can be dropped again while RTS is unknown.
// Its loop port shows DTR as DSR, so the indicator tells what really reached the far end.
void TestModemToolbar::networkSwitchesTrackEachLine()
{
    NetworkServer server;
    QVERIFY(server.startPeer(QStringLiteral("pyserial")));
    const QString link = zorvane::serial::overrideLinkPath(m_fx.docs, 12);
    QFile::remove(link);
    QVERIFY(QFile::link(server.url(QStringLiteral("rfc2217")), link));
    TMain &w = start(false);
    w.set_comx(12, false);
    // A network port opens in the background.
    QTRY_VERIFY(w.serial.holdsDevice());
    showBar();
    QCOMPARE(bar().DtrSwitch->accessibleDescription(), QStringLiteral("unavailable"));

    QTest::mouseClick(bar().DtrSwitch, Qt::LeftButton);
    QTRY_COMPARE(bar().DtrSwitch->accessibleDescription(), QStringLiteral("active"));
    QVERIFY(bar().DtrSwitch->isChecked());
    QCOMPARE(bar().RtsSwitch->accessibleDescription(), QStringLiteral("unavailable"));
    QTRY_VERIFY(bar().Dsr->isChecked());

    QTest::mouseClick(bar().DtrSwitch, Qt::LeftButton);
    QTRY_COMPARE(bar().DtrSwitch->accessibleDescription(), QStringLiteral("inactive"));
    QVERIFY(!bar().DtrSwitch->isChecked());
    QTRY_VERIFY(!bar().Dsr->isChecked());

    // RTS through the accessibility bus's Toggle, as a screen reader presses it.
    QAccessibleInterface *rts = QAccessible::queryAccessibleInterface(bar().RtsSwitch);
    rts->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    QTRY_COMPARE(bar().RtsSwitch->accessibleDescription(), QStringLiteral("active"));
    QVERIFY(rts->state().checked);
    QCOMPARE(bar().DtrSwitch->accessibleDescription(), QStringLiteral("inactive"));
    QTRY_VERIFY(bar().Cts->isChecked());
    QVERIFY(bar().Status->text().isEmpty());
}

// At the window's first-start size the answer to a click is in view, in the status bar
// (the toolbar's own row puts its last controls behind the overflow button), while the
// toolbar is shown.
void TestModemToolbar::answersInViewAtTheDefaultSize()
{
    TMain &w = start();
    QVERIFY(!bar().Status->isVisible());
    showBar();
    QTest::mouseClick(bar().DtrSwitch, Qt::LeftButton);
    QCOMPARE(bar().Status->text(), QStringLiteral("DTR failed: the device cannot set it"));
    QVERIFY(bar().Status->isVisible());
    QVERIFY(w.statusBar()->isAncestorOf(bar().Status));
    // Wide enough for the whole answer once the status bar has laid itself out again.
    QTRY_VERIFY(bar().Status->contentsRect().width() >=
                bar().Status->fontMetrics().horizontalAdvance(bar().Status->text()));
    const QRect shown(bar().Status->mapTo(&w, QPoint(0, 0)), bar().Status->size());
    QVERIFY(w.rect().contains(shown));
    // The connection text keeps its panel.
    QVERIFY(w.StatusBarPanel1->isVisible());

    w.ModemLines1->trigger();
    QVERIFY(!bar().isVisible());
    QVERIFY(!bar().Status->isVisible());
}

void TestModemToolbar::breakHeldThenReleased()
{
    start();
    showBar();
    QSpinBox *length = bar().BreakLength;
    QCOMPARE(length->value(), 250);
    length->setFocus();
    QTRY_VERIFY(length->hasFocus());
    QTest::keyClick(length, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(length, QStringLiteral("120"));
    QCOMPARE(length->value(), 120);

    QTest::mouseClick(bar().Break, Qt::LeftButton);
    // While the break is held nothing else may change the lines.
    QCOMPARE(bar().Status->text(), QStringLiteral("Break..."));
    QVERIFY(!bar().Break->isEnabled() && !bar().DtrSwitch->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(bar().Status->text(), QStringLiteral("Break done"), 3000);
    QVERIFY(bar().Break->isEnabled());

    // The length is a setting of its own.
    m_fx.window.reset();
    QVERIFY(readFile(settingsPath()).contains("<break>120</break>"));
}

void TestModemToolbar::resetSequenceField()
{
    start();
    showBar();
    QLineEdit *field = bar().ResetSequence;
    QVERIFY(field->isEnabled());
    QVERIFY(!bar().ResetModule->isEnabled()); // nothing to play yet
    QTest::mouseClick(field, Qt::LeftButton);
    QTest::keyClicks(field, QStringLiteral("Dx"));
    QVERIFY(field->toolTip().startsWith(QStringLiteral("Character 2:")));
    QVERIFY(!bar().ResetModule->isEnabled());

    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, QStringLiteral("r50R"));
    QCOMPARE(field->text(), QStringLiteral("Dr50R"));
    QVERIFY(field->accessibleDescription().isEmpty());
    QVERIFY(bar().ResetModule->isEnabled());
    sentSoFar(m_fx.window->serial, *m_fx.module);
    QTest::mouseClick(bar().ResetModule, Qt::LeftButton);
    // A pseudo-terminal refuses the first change, and the rest is not tried.
    QCOMPARE(bar().Status->text(), QStringLiteral("Reset failed: the device refused it"));
    QVERIFY(sentSoFar(m_fx.window->serial, *m_fx.module).isEmpty());
}

void TestModemToolbar::longResetSequenceKeptWhole()
{
    // Longer than a line edit holds by default.
    const QString sequence = QStringLiteral("D1d1").repeated(10'000);
    QVERIFY(writeFile(settingsPath(),
                      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ZVSettings><COMPORT><com>1"
                      "</com></COMPORT><ModemLines><reset1>" +
                          sequence.toLatin1() + "</reset1></ModemLines></ZVSettings>\n"));
    start();
    showBar();
    QCOMPARE(bar().ResetSequence->text().size(), sequence.size());
    QVERIFY(bar().ResetSequence->accessibleDescription().isEmpty());
    m_fx.window.reset();
    QVERIFY(readFile(settingsPath()).contains("<reset1>" + sequence.toLatin1() + "</reset1>"));
}

void TestModemToolbar::resetSequenceStopped()
{
    start();
    showBar();
    QTest::mouseClick(bar().ResetSequence, Qt::LeftButton);
    // A minute's wait first: the pseudo-terminal refuses line changes, not pauses.
    QTest::keyClicks(bar().ResetSequence, QStringLiteral("60000D"));
    QToolButton *button = bar().ResetModule;
    QCOMPARE(button->accessibleName(), QStringLiteral("Reset module"));
    const termios before = m_fx.module->programSideSettings();
    sentSoFar(m_fx.window->serial, *m_fx.module);

    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(bar().Status->text(), QStringLiteral("Reset..."));
    QCOMPARE(button->text(), QStringLiteral("Stop"));
    QCOMPARE(button->accessibleName(), QStringLiteral("Stop reset sequence"));
    QVERIFY(button->isEnabled());
    QVERIFY(!bar().DtrSwitch->isEnabled());

    // Stopped by the click itself, not by a later event.
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(bar().Status->text(), QStringLiteral("Reset stopped"));
    QCOMPARE(button->text(), QStringLiteral("Reset module"));
    QCOMPARE(button->accessibleName(), QStringLiteral("Reset module"));
    QVERIFY(button->isEnabled());
    QVERIFY(sentSoFar(m_fx.window->serial, *m_fx.module).isEmpty());
    QCOMPARE(m_fx.module->programSideSettings().c_cflag, before.c_cflag);
}

void TestModemToolbar::pollsNothingThatCannotTell()
{
    start();
    // A pseudo-terminal cannot tell its lines: an open port of that kind costs no wake-ups.
    QVERIFY(!bar().isPolling());
    // The module goes away and the port is chosen again where nothing is: still nothing.
    m_fx.module->unplug();
    m_fx.window->set_comx(1, false);
    QVERIFY(!m_fx.window->serial.holdsDevice());
    QVERIFY(!bar().isPolling());
    QVERIFY(!bar().DtrSwitch->isEnabled() && !bar().ResetModule->isEnabled());
}

void TestModemToolbar::portChoicesKept()
{
    start();
    showBar();
    QComboBox *dtr = bar().DtrAtOpen;
    QCOMPARE(dtr->currentText(), QStringLiteral("leave"));
    dtr->setFocus();
    QTRY_VERIFY(dtr->hasFocus());
    QTest::keyClick(dtr, Qt::Key_End); // the last entry, "off"
    QCOMPARE(dtr->currentText(), QStringLiteral("off"));
    QTest::mouseClick(bar().ResetSequence, Qt::LeftButton);
    QTest::keyClicks(bar().ResetSequence, QStringLiteral("d100D"));
    m_fx.window.reset();
    const QByteArray file = readFile(settingsPath());
    QVERIFY(file.contains("<dtr1>off</dtr1>"));
    QVERIFY(file.contains("<reset1>d100D</reset1>"));

    // At the next start the choices come back, and the open tries DTR off and says that the
    // device cannot.
    start();
    QCOMPARE(bar().DtrAtOpen->currentText(), QStringLiteral("off"));
    QCOMPARE(bar().ResetSequence->text(), QStringLiteral("d100D"));
    QCOMPARE(bar().Status->text(),
             QStringLiteral("DTR and RTS at open: the device cannot set them"));
}

QTEST_MAIN(TestModemToolbar)
#include "tst_modem_toolbar.moc"
