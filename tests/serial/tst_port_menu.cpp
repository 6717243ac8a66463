// The COM and Parameters menus and the open-failure box on the real main window, used with the
// mouse: each number shows its device when the menu opens, numbers with a device stand out, a
// port that cannot be opened keeps its message and says why below it, and a line setting chosen
// reaches the device or is reported as refused; a network pin is listed by its address.
#include "NetworkServers.h"
#include "WindowFixture.h"
#include "app/MessageBoxes.h"
#include "app/main_window/MainForm.h"
#include "serial/PortNames.h"

#include <QAction>
#include <QFile>
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
    void lineSettingItemsApply_data();
    void lineSettingItemsApply();
    void networkPinListedUnprobed();

private:
    // Opens the COM menu as a person does: a click on its title in the menu bar.
    void openComMenu(TMain &w);
    // Clicks the Parameters item with this text, opening the menu first.
    void clickParameter(TMain &w, const QString &text);

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

void TestPortMenu::clickParameter(TMain &w, const QString &text)
{
    QMenuBar *bar = w.menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {},
                      bar->actionGeometry(w.Parameters->menuAction()).center());
    QTRY_VERIFY(w.Parameters->isVisible());
    QAction *item = nullptr;
    for (QAction *action : w.Parameters->actions()) {
        if (action->text() == text)
            item = action;
    }
    QVERIFY2(item, qPrintable(text));
    QTest::mouseClick(w.Parameters, Qt::LeftButton, {},
                      w.Parameters->actionGeometry(item).center());
    QTRY_VERIFY(!w.Parameters->isVisible());
}

void TestPortMenu::lineSettingItemsApply_data()
{
    // Pseudo-terminals take two stop bits but refuse parity and seven data bits, as some
    // adapters refuse settings their chip lacks.
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("back");
    QTest::addColumn<zorvane::serial::LineSettings>("asked");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("2 stop bits") << "2 stop bits"
                                 << "1 stop bit" << zorvane::serial::LineSettings{115200, 8, 0, 2}
                                 << "";
    QTest::newRow("Even Parity") << "Even Parity"
                                 << "No Parity" << zorvane::serial::LineSettings{115200, 8, 2, 1}
                                 << "115200 8E1";
    QTest::newRow("Odd Parity") << "Odd Parity"
                                << "No Parity" << zorvane::serial::LineSettings{115200, 8, 1, 1}
                                << "115200 8O1";
    QTest::newRow("7 DataBits") << "7 DataBits"
                                << "8 Databits" << zorvane::serial::LineSettings{115200, 7, 0, 1}
                                << "115200 7N1";
}

void TestPortMenu::lineSettingItemsApply()
{
    QFETCH(QString, item);
    QFETCH(QString, back);
    QFETCH(zorvane::serial::LineSettings, asked);
    QFETCH(QString, refusal);
    const QByteArray reset("\rRESET\r\n\r");
    auto module = m_fx.plugIn(1);
    // A new settings file: COM1 at 115200 8N1, opened with a reset.
    QFile::remove(m_fx.docs + QStringLiteral("zv_settings.xml"));
    auto w = m_fx.makeMain();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QCOMPARE(w->StatusBarPanel1->text(), "COM1 115200 8N1- Online");
    QCOMPARE(module->readAtLeast(reset.size()), reset);
    m_fx.messages.clear();
    m_informative.clear();

    clickParameter(*w, item);

    // What was asked of the device, read through the serial unit where a pty cannot hold it.
    QCOMPARE(w->serial.lastRequested(), asked);
    const QStringList checked = [&] {
        QStringList marked;
        for (QAction *action : w->Parameters->actions()) {
            if (action->isChecked())
                marked << action->text();
        }
        return marked;
    }();
    const QStringList expectedMarks{QStringLiteral("115200"),
                                    asked.parity == 0 ? QStringLiteral("No Parity") : item,
                                    asked.dataBits == 8 ? QStringLiteral("8 Databits") : item,
                                    asked.stopBits == 1 ? QStringLiteral("1 stop bit") : item,
                                    QStringLiteral("No Flow Control")};
    QCOMPARE(checked, expectedMarks);
    if (refusal.isEmpty()) {
        QCOMPARE(w->StatusBarPanel1->text(), "COM1 115200 8N2- Online");
        QCOMPARE(w->windowTitle(), "Zorvane COM1 115200 8N2- Online");
        QVERIFY(module->programSideSettings().c_cflag & CSTOPB);
        // Reopened like a baud item: the reset goes out again.
        QCOMPARE(module->readAtLeast(reset.size()), reset);
        QVERIFY(m_fx.messages.isEmpty());
    } else {
        QCOMPARE(m_fx.messages, QStringList{"Unable to Open Port COM1"});
        QCOMPARE(m_informative,
                 QStringList{module->slavePath() + " opened, but refused the line settings " +
                             refusal + "."});
        QCOMPARE(w->StatusBarPanel1->text(), "COM1 - OffLine");
        QCOMPARE(w->windowTitle(), "Zorvane COM1 - OffLine");
        QVERIFY(!w->serial.holdsDevice());
    }

    // Its opposite puts the port back on 8N1. After a refusal the port is off line: the item
    // moves the mark, and the link check's next quiet reopening uses it.
    m_fx.messages.clear();
    clickParameter(*w, back);
    if (!refusal.isEmpty()) {
        QCOMPARE(w->StatusBarPanel1->text(), "COM1 - OffLine");
        QVERIFY(tickUntil(*w, [&] { return w->serial.holdsDevice(); }));
    }
    QCOMPARE(w->serial.lastRequested(), (zorvane::serial::LineSettings{115200, 8, 0, 1}));
    QCOMPARE(w->StatusBarPanel1->text(), "COM1 115200 8N1- Online");
    QVERIFY(!(module->programSideSettings().c_cflag & CSTOPB));
    QVERIFY(m_fx.messages.isEmpty());
}

// A number pinned to a network port shows its address and stays listed: AutoDetect does not
// connect to it (nothing listens at this address, so a probe would hide it).
void TestPortMenu::networkPinListedUnprobed()
{
    const QString url = QStringLiteral("rfc2217://127.0.0.1:%1?timeout=0.5").arg(unusedTcpPort());
    const QString pin = zorvane::serial::overrideLinkPath(m_fx.docs, 12);
    QFile::remove(pin);
    QVERIFY(QFile::link(url, pin));
    auto w = m_fx.makeMain();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QVERIFY(w->com_items[0]->isChecked());

    openComMenu(*w);
    QVERIFY(w->com_items[12]->isVisible());
    QVERIFY(!w->com_items[13]->isVisible());
    QCOMPARE(w->com_items[12]->text(), "COM12\t" + url);
    QTest::keyClick(w->COM, Qt::Key_Escape);
}

QTEST_MAIN(TestPortMenu)
#include "tst_port_menu.moc"
