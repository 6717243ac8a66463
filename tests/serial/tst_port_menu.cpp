// The COM menu and the open-failure box on the real main window, used with the mouse: each
// number shows its device when the menu opens, numbers with a device stand out, and a port
// that cannot be opened keeps its message and says why below it.
#include "WindowFixture.h"
#include "app/MessageBoxes.h"
#include "app/main_window/MainForm.h"
#include "serial/PortNames.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

class TestPortMenu : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void menuShowsDevicesAndMarksPresentOnes();
    void openFailureSaysWhy();

private:
    // Opens the COM menu as a person does: a click on its title in the menu bar.
    void openComMenu(TMain &w);

    WindowFixture m_fx;
    QStringList m_informative;
};

void TestPortMenu::initTestCase()
{
    QVERIFY(m_fx.setUp());
    zorvane::app::setDetailedMessageHandler(
        [this](QWidget *, const QString &text, const QString &informative) {
            m_fx.messages << text;
            m_informative << informative;
        });
}

void TestPortMenu::init()
{
    m_fx.reset();
    m_informative.clear();
}

void TestPortMenu::cleanup()
{
    m_fx.tearDown();
}

void TestPortMenu::openComMenu(TMain &w)
{
    QMenuBar *bar = w.menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(w.COM->menuAction()).center());
    QTRY_VERIFY(w.COM->isVisible());
}

void TestPortMenu::menuShowsDevicesAndMarksPresentOnes()
{
    auto module = m_fx.plugIn(12);
    auto w = m_fx.makeMain();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));

    // Plugged in while the program runs: seen the next time the menu opens, not before.
    auto later = m_fx.plugIn(75);
    QCOMPARE(w->com_items[75]->text(), "COM75\t/nonexistent/COM75");
    openComMenu(*w);
    QCOMPARE(w->com_items[75]->text(), "COM75\t" + later->slavePath());
    QCOMPARE(w->com_items[12]->text(), "COM12\t" + module->slavePath());

    for (int port = 1; port <= zorvane::serial::kPortCount; ++port)
        QCOMPARE(w->com_items[static_cast<size_t>(port)]->font().bold(), port == 12 || port == 75);
    // A group whose list holds a device stands out too, so the device can be found.
    for (QMenu *group : w->com_groups)
        QCOMPARE(group->menuAction()->font().bold(), group->title() == "COM71-80");

    QTest::keyClick(w->COM, Qt::Key_Escape);
    QTRY_VERIFY(!w->COM->isVisible());
    // Unplugged: no longer marked at the next opening.
    later->unplug();
    openComMenu(*w);
    QVERIFY(!w->com_items[75]->font().bold());
    QTest::keyClick(w->COM, Qt::Key_Escape);
}

void TestPortMenu::openFailureSaysWhy()
{
    auto module = m_fx.plugIn(12);
    auto w = m_fx.makeMain();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    m_fx.messages.clear();
    m_informative.clear();

    // The start-up probe hid the numbers without a device: AutoDetect off shows them all.
    openComMenu(*w);
    QVERIFY(!w->com_items[7]->isVisible());
    QTest::mouseClick(w->COM, Qt::LeftButton, {}, w->COM->actionGeometry(w->com_items[0]).center());
    QTRY_VERIFY(!w->COM->isVisible());
    QVERIFY(!w->com_items[0]->isChecked());
    openComMenu(*w);
    QAction *com7 = w->com_items[7];
    QTest::mouseClick(w->COM, Qt::LeftButton, {}, w->COM->actionGeometry(com7).center());

    QCOMPARE(m_fx.messages, QStringList{"Unable to Open Port COM7"});
    QCOMPARE(m_informative,
             QStringList{"Nothing is plugged in at COM7: /nonexistent/COM7 does not exist.\n"
                         "Numbers with a device now: COM12 (" +
                         module->slavePath() + ")."});
    QCOMPARE(w->StatusBarPanel1->text(), "COM7 - OffLine");
}

QTEST_MAIN(TestPortMenu)
#include "tst_port_menu.moc"
