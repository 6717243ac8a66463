// The Parameters menu's fast rates, "Other Rate..." and flow control items, the COM menu's
// "Pin Port..." dialog and its late ports, on the real main window used with the mouse and
// the keyboard: what reaches the device is read at the far end of a real pseudo-terminal,
// directly or behind ser2net.
#include "NetworkServers.h"
#include "WindowFixture.h"
#include "app/MessageBoxes.h"
#include "app/main_window/MainForm.h"
#include "app/main_window/ModemToolbar.h"
#include "app/main_window/PinPortDialog.h"
#include "serial/PortNames.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QDomDocument>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

#include <unistd.h>

using zorvane::app::PinPortDialog;

namespace {

const QByteArray kReset("\rRESET\r\n\r");

QString linkText(const QString &path)
{
    char target[4096];
    const ssize_t n = ::readlink(QFile::encodeName(path).constData(), target, sizeof target);
    return n > 0 ? QFile::decodeName(QByteArray(target, n)) : QString();
}

QStringList checkedItems(const QMenu *menu)
{
    QStringList marked;
    for (QAction *action : menu->actions()) {
        if (action->isChecked())
            marked << action->text();
    }
    return marked;
}

} // namespace

class TestLineMenu : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void ratesReachTheDevice_data();
    void ratesReachTheDevice();
    void flowControlReachesTheDevice_data();
    void flowControlReachesTheDevice();
    void flowControlKeptPerPort();
    void pinRefusedWritesNothing_data();
    void pinRefusedWritesNothing();
    void pinOpensThePort_data();
    void pinOpensThePort();
    void removePin();
    void latePinListedWithoutOpening();

private:
    // A new settings file and a shown window holding COM1 open at 115200 8N1.
    bool startOnCom1();
    void clickMenuItem(QMenu *menu, const QString &text);
    // Opens the menu from the menu bar and clicks the item.
    void clickAction(QMenu *menu, QAction *item);
    // Opens the pin dialog from the COM menu, as a person does.
    PinPortDialog *openPinDialog();
    void typeInto(QWidget *field, const QString &text);

    WindowFixture m_fx;
    QStringList m_informative;
};

void TestLineMenu::initTestCase()
{
    QVERIFY(m_fx.setUp());
    zorvane::app::setDetailedMessageHandler(
        [this](QWidget *, const QString &text, const QString &informative) {
            m_fx.messages << text;
            m_informative << informative;
        });
}

void TestLineMenu::init()
{
    m_fx.reset();
    m_informative.clear();
    QFile::remove(m_fx.docs + QStringLiteral("zv_settings.xml"));
}

void TestLineMenu::cleanup()
{
    m_fx.tearDown();
}

bool TestLineMenu::startOnCom1()
{
    m_fx.module = m_fx.plugIn(1);
    m_fx.window = m_fx.makeMain();
    m_fx.window->show();
    if (!QTest::qWaitForWindowExposed(m_fx.window.get()))
        return false;
    const bool reset = m_fx.module->readAtLeast(kReset.size()) == kReset;
    m_fx.messages.clear();
    return reset &&
           m_fx.window->StatusBarPanel1->text() == QStringLiteral("COM1 115200 8N1- Online");
}

void TestLineMenu::clickAction(QMenu *menu, QAction *item)
{
    QMenuBar *bar = m_fx.window->menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
    QTRY_VERIFY(menu->isVisible());
    QVERIFY(item->isVisible());
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
    QTRY_VERIFY(!menu->isVisible());
}

void TestLineMenu::clickMenuItem(QMenu *menu, const QString &text)
{
    QAction *item = nullptr;
    for (QAction *action : menu->actions()) {
        if (action->text() == text)
            item = action;
    }
    QVERIFY2(item, qPrintable(text));
    clickAction(menu, item);
}

void TestLineMenu::typeInto(QWidget *field, const QString &text)
{
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
}

PinPortDialog *TestLineMenu::openPinDialog()
{
    clickMenuItem(m_fx.window->COM, QStringLiteral("Pin Port..."));
    PinPortDialog *dialog = nullptr;
    [&] {
        QTRY_VERIFY((dialog = m_fx.window->findChild<PinPortDialog *>()) && dialog->isVisible());
    }();
    return dialog;
}

void TestLineMenu::ratesReachTheDevice_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("rate");

    QTest::newRow("921600") << "921600"
                            << "" << 921600;
    QTest::newRow("1000000") << "1000000"
                             << "" << 1000000;
    QTest::newRow("3000000") << "3000000"
                             << "" << 3000000;
    QTest::newRow("Other Rate 250000") << "Other Rate..."
                                       << "250000" << 250000;
    QTest::newRow("Other Rate 1843200") << "Other Rate..."
                                        << "1843200" << 1843200;
}

void TestLineMenu::ratesReachTheDevice()
{
    QFETCH(QString, item);
    QFETCH(QString, typed);
    QFETCH(int, rate);
    QVERIFY(startOnCom1());
    TMain &w = *m_fx.window;

    clickMenuItem(w.Parameters, item);
    if (!typed.isEmpty()) {
        QInputDialog *dialog = nullptr;
        QTRY_VERIFY((dialog = w.findChild<QInputDialog *>(QStringLiteral("OtherRateDialog"))) &&
                    dialog->isVisible());
        auto *box = dialog->findChild<QSpinBox *>();
        QVERIFY(box);
        QCOMPARE(box->accessibleName(), QStringLiteral("Baud rate"));
        typeInto(box, typed);
        QTest::mouseClick(dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok),
                          Qt::LeftButton);
    }

    // Reopened like a named rate: the reset goes out again, at the new rate.
    QCOMPARE(m_fx.module->readAtLeast(kReset.size()), kReset);
    QCOMPARE(m_fx.module->programSideRate(), rate);
    const QString status = QStringLiteral("COM1 %1 8N1- Online").arg(rate);
    QCOMPARE(w.StatusBarPanel1->text(), status);
    QCOMPARE(w.windowTitle(), QStringLiteral("Zorvane ") + status);
    QCOMPARE(w.session.connection().lineSettings().baudRate, rate);
    QCOMPARE(checkedItems(w.Parameters),
             (QStringList{"No Parity", "8 Databits", "1 stop bit", item, "No Flow Control"}));
    QVERIFY(m_fx.messages.isEmpty());

    // Kept in the baud leaf, and the next start opens the port at it.
    m_fx.window.reset();
    m_fx.window = m_fx.makeMain();
    m_fx.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_fx.window.get()));
    QCOMPARE(m_fx.window->StatusBarPanel1->text(), status);
    QCOMPARE(m_fx.module->programSideRate(), rate);
}

void TestLineMenu::flowControlReachesTheDevice_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<bool>("rtsCts");
    QTest::addColumn<bool>("xonXoff");
    QTest::newRow("RTS/CTS") << "RTS/CTS" << true << false;
    QTest::newRow("XON/XOFF") << "XON/XOFF" << false << true;
}

void TestLineMenu::flowControlReachesTheDevice()
{
    QFETCH(QString, item);
    QFETCH(bool, rtsCts);
    QFETCH(bool, xonXoff);
    QVERIFY(startOnCom1());
    TMain &w = *m_fx.window;
    QToolButton *rts = w.ToolBar_ModemLines->RtsSwitch;
    QVERIFY(rts->isEnabled());

    clickMenuItem(w.Parameters, item);
    QCOMPARE(m_fx.module->readAtLeast(kReset.size()), kReset);
    termios t = m_fx.module->programSideSettings();
    QCOMPARE((t.c_cflag & CRTSCTS) != 0, rtsCts);
    QCOMPARE((t.c_iflag & IXON) != 0, xonXoff);
    QCOMPARE((t.c_iflag & IXOFF) != 0, xonXoff);
    // The connection text keeps its form.
    QCOMPARE(w.StatusBarPanel1->text(), QStringLiteral("COM1 115200 8N1- Online"));
    QCOMPARE(checkedItems(w.Parameters),
             (QStringList{"115200", "No Parity", "8 Databits", "1 stop bit", item}));
    // While the driver drives RTS, its switch says so and is not offered.
    QCOMPARE(rts->isEnabled(), !rtsCts);
    QCOMPARE(
        rts->accessibleDescription().endsWith(QStringLiteral(", driven by RTS/CTS flow control")),
        rtsCts);

    clickMenuItem(w.Parameters, QStringLiteral("No Flow Control"));
    QCOMPARE(m_fx.module->readAtLeast(kReset.size()), kReset);
    t = m_fx.module->programSideSettings();
    QVERIFY(!(t.c_cflag & CRTSCTS));
    QVERIFY(!(t.c_iflag & (IXON | IXOFF)));
    QCOMPARE(checkedItems(w.Parameters),
             (QStringList{"115200", "No Parity", "8 Databits", "1 stop bit", "No Flow Control"}));
    QVERIFY(rts->isEnabled());
    QVERIFY(m_fx.messages.isEmpty());
}

// Each number keeps its own flow control, in the settings file too: a module that needs
// RTS/CTS on one port does not impose it on another.
void TestLineMenu::flowControlKeptPerPort()
{
    QVERIFY(startOnCom1());
    auto second = m_fx.plugIn(2);
    clickMenuItem(m_fx.window->Parameters, QStringLiteral("RTS/CTS"));
    QVERIFY(m_fx.module->programSideSettings().c_cflag & CRTSCTS);

    // Plugged in after the probe: listed when the menu opens.
    clickAction(m_fx.window->COM, m_fx.window->com_items[2]);
    QCOMPARE(m_fx.window->StatusBarPanel1->text(), QStringLiteral("COM2 115200 8N1- Online"));
    QVERIFY(!(second->programSideSettings().c_cflag & CRTSCTS));
    QVERIFY(m_fx.window->NoFlowControl1->isChecked());
    QVERIFY(!m_fx.window->RtsCts1->isChecked());
    clickAction(m_fx.window->COM, m_fx.window->com_items[1]);
    QVERIFY(m_fx.window->RtsCts1->isChecked());
    QVERIFY(m_fx.module->programSideSettings().c_cflag & CRTSCTS);

    m_fx.window.reset();
    QFile file(m_fx.docs + QStringLiteral("zv_settings.xml"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QDomDocument xml;
    QVERIFY(xml.setContent(&file));
    // After the group's own leaves, and only for the port that has one.
    QStringList leaves;
    const QDomElement group = xml.documentElement().firstChildElement(QStringLiteral("COMPORT"));
    for (QDomElement e = group.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
        leaves << e.tagName() + QLatin1Char('=') + e.text();
    QCOMPARE(leaves, (QStringList{"com=1", "baud=115200", "dataBits=8", "parity=0", "stopbits=1",
                                  "flow1=rtscts"}));

    m_fx.window = m_fx.makeMain();
    m_fx.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_fx.window.get()));
    QCOMPARE(m_fx.window->StatusBarPanel1->text(), QStringLiteral("COM1 115200 8N1- Online"));
    QVERIFY(m_fx.window->RtsCts1->isChecked());
    QVERIFY(m_fx.module->programSideSettings().c_cflag & CRTSCTS);
}

void TestLineMenu::pinRefusedWritesNothing_data()
{
    QTest::addColumn<QString>("number");
    // "@" stands for the home folder.
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("reason");

    QTest::newRow("regular file") << "75"
                                  << "@/notes.txt"
                                  << "@/notes.txt is an ordinary file, not a serial port.";
    QTest::newRow("missing path") << "75"
                                  << "/dev/ttyUSB99"
                                  << "/dev/ttyUSB99 does not exist.";
    QTest::newRow("malformed address")
        << "75"
        << "rfc2217://127.0.0.1:"
        << "The address cannot be used: no port number in rfc2217://127.0.0.1:.";
    QTest::newRow("number out of range") << "101"
                                         << "/dev/null"
                                         << "Port numbers run from 1 to 100.";
    QTest::newRow("no number") << "COM"
                               << "/dev/null"
                               << "\"COM\" is not a port number: give one from 1 to 100.";
}

void TestLineMenu::pinRefusedWritesNothing()
{
    QFETCH(QString, number);
    QFETCH(QString, target);
    QFETCH(QString, reason);
    target.replace(QLatin1Char('@'), m_fx.homePath());
    reason.replace(QLatin1Char('@'), m_fx.homePath());
    QFile notes(m_fx.homePath() + QStringLiteral("/notes.txt"));
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.close();
    QVERIFY(startOnCom1());
    const QString pin = zorvane::serial::overrideLinkPath(m_fx.docs, 75);
    const QString before = linkText(pin);

    PinPortDialog *dialog = openPinDialog();
    QVERIFY(dialog);
    typeInto(dialog->PortNumber, number);
    typeInto(dialog->Target, target);
    QTest::mouseClick(dialog->Ok, Qt::LeftButton);

    // Said in the dialog, which stays open for a correction; nothing written, nothing opened.
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->Reason->text(), reason);
    QCOMPARE(dialog->Reason->accessibleDescription(), reason);
    QCOMPARE(linkText(pin), before);
    QCOMPARE(m_fx.window->StatusBarPanel1->text(), QStringLiteral("COM1 115200 8N1- Online"));
    QVERIFY(m_fx.messages.isEmpty());
    QTest::mouseClick(dialog->Cancel, Qt::LeftButton);
    QTRY_VERIFY(!m_fx.window->findChild<PinPortDialog *>());
}

void TestLineMenu::pinOpensThePort_data()
{
    QTest::addColumn<bool>("throughSer2net");
    QTest::newRow("pseudo-terminal") << false;
    QTest::newRow("rfc2217 through ser2net") << true;
}

void TestLineMenu::pinOpensThePort()
{
    QFETCH(bool, throughSer2net);
    QVERIFY(startOnCom1());
    TMain &w = *m_fx.window;
    // The start-up probe hid COM75: nothing was there.
    QVERIFY(!w.com_items[75]->isVisible());
    PtyModule module;
    QVERIFY(module.isValid());
    NetworkServer server;
    QString target = module.slavePath();
    if (throughSer2net) {
        QVERIFY2(server.startSer2net(QStringLiteral("telnet(rfc2217),tcp"), module.slavePath()),
                 qPrintable(server.output()));
        target = server.url(QStringLiteral("rfc2217"));
    }

    PinPortDialog *dialog = openPinDialog();
    QVERIFY(dialog);
    QCOMPARE(dialog->PortNumber->text(), QStringLiteral("1"));
    typeInto(dialog->PortNumber, QStringLiteral("COM75"));
    typeInto(dialog->Target, target);
    QTest::mouseClick(dialog->Ok, Qt::LeftButton);

    QCOMPARE(linkText(zorvane::serial::overrideLinkPath(m_fx.docs, 75)), target);
    QTRY_COMPARE_WITH_TIMEOUT(w.StatusBarPanel1->text(), QStringLiteral("COM75 115200 8N1- Online"),
                              1000);
    QCOMPARE(module.readAtLeast(kReset.size()), kReset);
    QVERIFY(w.com_items[75]->isChecked());
    QVERIFY(w.com_items[75]->isVisible());
    QVERIFY(w.com_groups[5]->menuAction()->isVisible());
    QCOMPARE(w.com_items[75]->text(), QStringLiteral("COM75\t") + target);
    QVERIFY(m_fx.messages.isEmpty());
    QTRY_VERIFY(!w.findChild<PinPortDialog *>());
}

void TestLineMenu::removePin()
{
    QVERIFY(startOnCom1());
    PinPortDialog *dialog = openPinDialog();
    QVERIFY(dialog);
    // The number's pin is shown, and offered for removal.
    QCOMPARE(dialog->Target->text(), m_fx.module->slavePath());
    QVERIFY(dialog->RemovePin->isEnabled());
    QTest::mouseClick(dialog->RemovePin, Qt::LeftButton);

    QVERIFY(!QFileInfo(zorvane::serial::overrideLinkPath(m_fx.docs, 1)).isSymLink());
    QTRY_VERIFY(!m_fx.window->findChild<PinPortDialog *>());
    QCOMPARE(m_fx.window->com_items[1]->text(), QStringLiteral("COM1\t/dev/ttyUSB0"));
}

// A device that appears after the start-up probe is listed the next time the COM menu opens,
// and nothing is opened to find it: each open sets the rate the window asks for, and the
// rates set at the far end are still there.
void TestLineMenu::latePinListedWithoutOpening()
{
    QVERIFY(startOnCom1());
    TMain &w = *m_fx.window;
    QVERIFY(w.com_items[0]->isChecked());
    QVERIFY(!w.com_items[75]->isVisible());
    QVERIFY(!w.com_items[33]->isVisible());
    QVERIFY(!w.com_groups[5]->menuAction()->isVisible());

    auto late = m_fx.plugIn(75);
    auto later = m_fx.plugIn(33);
    QVERIFY(late->setProgramSideRate(4800));
    QVERIFY(later->setProgramSideRate(2400));
    QMenuBar *bar = w.menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(w.COM->menuAction()).center());
    QTRY_VERIFY(w.COM->isVisible());

    QVERIFY(w.com_items[75]->isVisible());
    QVERIFY(w.com_items[33]->isVisible());
    QVERIFY(w.com_groups[5]->menuAction()->isVisible()); // COM71-80
    QVERIFY(w.com_groups[1]->menuAction()->isVisible()); // COM31-40
    QVERIFY(!w.com_items[76]->isVisible());
    QVERIFY(!w.com_groups[6]->menuAction()->isVisible());
    QCOMPARE(late->programSideRate(), 4800);
    QCOMPARE(later->programSideRate(), 2400);
    QCOMPARE(w.StatusBarPanel1->text(), QStringLiteral("COM1 115200 8N1- Online"));
    QTest::keyClick(w.COM, Qt::Key_Escape);
}

QTEST_MAIN(TestLineMenu)
#include "tst_line_menu.moc"
