// The shown main window worked as a person works it: keys typed into whichever control has
// the focus, clicks on controls, the accessibility actions a screen reader uses; the send box
// against its history, the MUX box, the menus from the keyboard, the toolbars' context menu,
// the smallest window, and how the selected line and the list's focus look.
#include "WindowFixture.h"
#include "WindowText.h"
#include "app/main_window/MainForm.h"
#include "terminal/view/TerminalModel.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <memory>

namespace {

const QByteArray kResetLine("\rRESET\r\n\r");
const QByteArray kMuxOn("SET CONTROL MUX 1\r\r");
const QByteArray kMuxOff("\xBF\xFF\x00\x11SET CONTROL MUX 0\x00", 22);

QByteArray commandLine(const QString &text)
{
    return "\r" + text.toLatin1() + "\r\n\r";
}

// The control of the main window that has the focus, where a key typed now goes. (The
// offscreen platform may leave a closed popup as the active window, so the application's own
// focus widget is not asked.)
QWidget *focusedIn(const QWidget &window)
{
    return window.focusWidget();
}

// What the label related to a control as its labelled-by says; empty without one.
QString labelOf(QAccessibleInterface *face)
{
    const auto labels = face->relations(QAccessible::Label);
    return labels.isEmpty() ? QString() : labels.first().first->text(QAccessible::Name);
}

} // namespace

class TestWindowKeys : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_fixture.setUp()); }

    // Each test starts as a first start would, with the module at port 1, in a shown and
    // active window.
    void init()
    {
        m_fixture.reset();
        QFile::remove(m_fixture.docs + QStringLiteral("zv_settings.xml"));
        m_fixture.module = m_fixture.plugIn(1);
        m_fixture.window = m_fixture.makeMain();
        m_module = m_fixture.module.get();
        m_window = m_fixture.window.get();
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        QCOMPARE(m_module->readAtLeast(kResetLine.size()), kResetLine);
        QCOMPARE(m_fixture.messages, QStringList());
    }

    void cleanup() { m_fixture.tearDown(); }

    // What is typed is what goes out, with Return, keypad Enter or the Send button, whatever
    // the history holds; the history then starts with it.
    void sendBoxSendsWhatWasTyped_data()
    {
        QTest::addColumn<QStringList>("history"); // oldest first
        QTest::addColumn<QString>("typed");
        const QStringList longer{"SET", "SET BT NAME foo"};
        QTest::newRow("new text") << longer << "AT+VER";
        QTest::newRow("prefix of an entry") << longer << "SET";
        QTest::newRow("prefix, other case") << longer << "set";
        QTest::newRow("shorter prefix") << longer << "SET BT";
        QTest::newRow("exact entry") << longer << "SET BT NAME foo";
        QTest::newRow("exact entry, other case") << QStringList{"SET"} << "set";
        QTest::newRow("empty") << longer << "";
    }

    void sendBoxSendsWhatWasTyped()
    {
        QFETCH(QStringList, history);
        QFETCH(QString, typed);
        TMain &w = *m_window;
        for (const QString &entry : history) {
            typeIntoSendBox(entry);
            QTest::mouseClick(w.Send, Qt::LeftButton);
        }
        QCOMPARE(sentSoFar(w.serial, *m_module), commandLine(history.join("\r\n\r\r")));

        const struct
        {
            const char *how;
            Qt::Key key;
        } ways[] = {
            {"Return", Qt::Key_Return}, {"Enter", Qt::Key_Enter}, {"Send", Qt::Key_unknown}};
        for (const auto &way : ways) {
            typeIntoSendBox(typed);
            QCOMPARE(w.SendString->currentText(), typed);
            if (way.key == Qt::Key_unknown)
                QTest::mouseClick(w.Send, Qt::LeftButton);
            else
                QTest::keyClick(focusedIn(*m_window), way.key,
                                way.key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
            QVERIFY2(sentSoFar(w.serial, *m_module) == commandLine(typed), way.how);
            QVERIFY2(w.SendString->itemText(0) == typed, way.how);
            QVERIFY2(w.SendString->currentText() == typed, way.how);
        }
    }

    // The history stays reachable from the send box: Down and Up walk it, Return sends the
    // entry shown.
    void historyFromTheSendBox()
    {
        TMain &w = *m_window;
        for (const char *entry : {"first", "second"}) {
            typeIntoSendBox(entry);
            QTest::keyClick(focusedIn(*m_window), Qt::Key_Return);
        }
        sentSoFar(w.serial, *m_module);
        QCOMPARE(w.SendString->currentText(), "second");
        QTest::keyClick(focusedIn(*m_window), Qt::Key_Down);
        QCOMPARE(w.SendString->currentText(), "first");
        QTest::keyClick(focusedIn(*m_window), Qt::Key_Return);
        QCOMPARE(sentSoFar(w.serial, *m_module), commandLine("first"));
    }

    // Every way a person changes the MUX box runs its handler once: one command per change,
    // and the box shows the mode the module was told.
    void muxBoxEveryWay_data()
    {
        QTest::addColumn<QString>("way");
        for (const char *way : {"mouse", "Space", "toggle action", "press action"})
            QTest::newRow(way) << way;
    }

    void muxBoxEveryWay()
    {
        QFETCH(QString, way);
        TMain &w = *m_window;
        QAccessibleInterface *box = QAccessible::queryAccessibleInterface(w.MUX1);
        QVERIFY(box && box->actionInterface());
        QCOMPARE(box->text(QAccessible::Name), "MUX");
        auto change = [&] {
            if (way == "mouse") {
                QTest::mouseClick(w.MUX1, Qt::LeftButton);
            } else if (way == "Space") {
                w.MUX1->setFocus(Qt::TabFocusReason);
                QTest::keyClick(focusedIn(*m_window), Qt::Key_Space);
            } else {
                box->actionInterface()->doAction(way == "toggle action"
                                                     ? QAccessibleActionInterface::toggleAction()
                                                     : QAccessibleActionInterface::pressAction());
            }
        };
        change();
        QVERIFY(w.MUX1->isChecked());
        QVERIFY(box->state().checked);
        QCOMPARE(sentSoFar(w.serial, *m_module), kMuxOn);
        change();
        QVERIFY(!w.MUX1->isChecked());
        QCOMPARE(sentSoFar(w.serial, *m_module), kMuxOff);
    }

    // The mode is left at the module itself whatever link Select chose, so the command lines
    // after it are heard again.
    void leavingTheModeAfterSelect()
    {
        TMain &w = *m_window;
        QTest::mouseClick(w.MUX1, Qt::LeftButton);
        QCOMPARE(sentSoFar(w.serial, *m_module), kMuxOn);
        w.Channel->setFocus(Qt::TabFocusReason);
        QTest::keyClick(focusedIn(*m_window), Qt::Key_Home);
        QTest::keyClick(focusedIn(*m_window), Qt::Key_Down);
        QCOMPARE(w.Channel->currentText(), "1");
        QTest::mouseClick(w.Select, Qt::LeftButton);
        QCOMPARE(w.mux_link, 1);
        QTest::mouseClick(w.MUX1, Qt::LeftButton);
        QVERIFY(!w.MUX1->isChecked());
        QCOMPARE(sentSoFar(w.serial, *m_module).toHex(' '),
                 (QByteArray("\xBF\xFF\x00\x08SELECT 1\x00", 13) + kMuxOff).toHex(' '));
        QTest::mouseClick(w.BtnS, Qt::LeftButton);
        QCOMPARE(sentSoFar(w.serial, *m_module), commandLine("SET"));
    }

    // Tab from the terminal list walks every control and comes back to it: the command
    // toolbars' buttons included, those that do not fit the row through the row's "More
    // controls" button. Space on a toolbar button reached that way sends its command.
    void tabReachesEveryCommand()
    {
        TMain &w = *m_window;
        for (QAction *item : {w.SPP1, w.BGIO1, w.HID1, w.GainSpan1, w.ModemLines1})
            item->trigger();
        QTRY_VERIFY(w.ToolBar_GainSpan->isVisible());
        QList<QWidget *> expected{w.MAC_Address, w.SendString, w.Channel};
        for (QToolBar *bar : w.findChildren<QToolBar *>()) {
            auto *more = bar->findChild<QToolButton *>(QStringLiteral("qt_toolbar_ext_button"));
            for (QAction *action : bar->actions()) {
                auto *button = qobject_cast<QAbstractButton *>(bar->widgetForAction(action));
                if (button && !button->isVisible())
                    QVERIFY2(more && more->isVisible(), qPrintable(button->objectName()));
                if (button)
                    expected << (button->isVisible() ? button : more);
            }
        }
        QVERIFY(expected.size() > 60);

        QCOMPARE(focusedIn(*m_window), w.ListBox1);
        QList<QWidget *> reached;
        for (int i = 0; i < 200; ++i) {
            QTest::keyClick(focusedIn(*m_window), Qt::Key_Tab);
            if (focusedIn(*m_window) == w.ListBox1)
                break;
            reached << focusedIn(*m_window);
        }
        // In the order they are shown: "Cmd / Data" ends the SPP row.
        const qsizetype cmdData = reached.indexOf(w.BCMD);
        QVERIFY(cmdData > 0);
        QCOMPARE(reached.at(cmdData - 1)->objectName(), "BPageMode");
        QCOMPARE(focusedIn(*m_window), w.ListBox1);
        for (QWidget *control : expected) {
            QVERIFY2(
                reached.contains(control),
                qPrintable(control->objectName() + QLatin1Char(' ') + control->accessibleName()));
        }
        QCOMPARE(sentSoFar(w.serial, *m_module), QByteArray());

        auto *sppOn = w.ToolBar_SPP->findChild<QToolButton *>(QStringLiteral("Button2"));
        QVERIFY(sppOn && sppOn->isVisible());
        for (int i = 0; i < 200 && focusedIn(*m_window) != sppOn; ++i)
            QTest::keyClick(focusedIn(*m_window), Qt::Key_Tab);
        QCOMPARE(focusedIn(*m_window), sppOn);
        QTest::keyClick(focusedIn(*m_window), Qt::Key_Space);
        QCOMPARE(sentSoFar(w.serial, *m_module), commandLine("SET PROFILE SPP ON"));
    }

    // A screen reader hears what each box is for and the entry it holds: on Linux Qt names a
    // combo box by its entry and expects what it is for from a label related to it.
    void controlsSayWhatTheyAre()
    {
        TMain &w = *m_window;
        const struct
        {
            QWidget *control;
            const char *label;
            const char *value;
        } boxes[] = {{w.MAC_Address, "MAC address", "Unknown MAC"},
                     {w.SendString, "Send box", "RESET"},
                     {w.Channel, "Link", "255"}};
        for (const auto &box : boxes) {
            QAccessibleInterface *face = QAccessible::queryAccessibleInterface(box.control);
            QVERIFY(face);
            QCOMPARE(labelOf(face), box.label);
            QCOMPARE(face->text(QAccessible::Name), box.value);
            QCOMPARE(face->text(QAccessible::Value), box.value);
        }
        QAccessibleInterface *edit =
            QAccessible::queryAccessibleInterface(w.SendString->lineEdit());
        QCOMPARE(edit->text(QAccessible::Name), "Send text");
        QCOMPARE(edit->text(QAccessible::Value), "RESET");
        QAccessibleInterface *sendBox = QAccessible::queryAccessibleInterface(w.SendString);
        QCOMPARE(sendBox->role(), QAccessible::ComboBox);
        QCOMPARE(sendBox->childCount(), 2);
        QCOMPARE(sendBox->child(1)->object(), w.SendString->lineEdit());
        typeIntoSendBox("AT");
        QCOMPARE(sendBox->text(QAccessible::Value), "AT");
        QCOMPARE(sendBox->text(QAccessible::Name), "AT");
        QCOMPARE(labelOf(sendBox), "Send box");

        const struct
        {
            QToolButton *button;
            const char *command;
        } letters[] = {
            {w.BtnS, "SET"}, {w.BtnR, "RESET"}, {w.BtnI, "INQUIRY 5 NAME"}, {w.BtnL, "LIST"}};
        for (const auto &letter : letters) {
            const QString says = QStringLiteral("Sends ") + letter.command;
            QCOMPARE(letter.button->toolTip(), says);
            QAccessibleInterface *face = QAccessible::queryAccessibleInterface(letter.button);
            QCOMPARE(face->text(QAccessible::Description), says);
            QTest::mouseClick(letter.button, Qt::LeftButton);
            QCOMPARE(sentSoFar(w.serial, *m_module), commandLine(letter.command));
        }
    }

    // F10 and Alt open the menus from the terminal list, Alt with a letter opens that menu
    // and a letter chooses an item; keys typed into the list still go to the module.
    void menusFromTheKeyboard()
    {
        TMain &w = *m_window;
        QCOMPARE(focusedIn(*m_window), w.ListBox1);
        QTest::keyClicks(focusedIn(*m_window), "ab");
        QCOMPARE(sentSoFar(w.serial, *m_module), QByteArray("ab"));

        // Alt with a letter first: the offscreen platform keeps a closed popup as its active
        // window, and the menu bar's shortcuts then wait for the window to be active again.
        QCOMPARE(focusedIn(*m_window), w.ListBox1);
        QTest::keyClick(focusedIn(*m_window), Qt::Key_O, Qt::AltModifier);
        QTRY_COMPARE(QApplication::activePopupWidget(), w.Options);
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_E);
        QTRY_VERIFY(!QApplication::activePopupWidget());
        QVERIFY(w.Echo1->isChecked());
        QCOMPARE(w.StatusBarPanel2->text(), "Echo");
        QTRY_COMPARE(focusedIn(*m_window), w.ListBox1);

        for (Qt::Key opener : {Qt::Key_F10, Qt::Key_Alt}) {
            QTest::keyClick(focusedIn(*m_window), opener);
            QTRY_COMPARE(QApplication::activePopupWidget(), w.File);
            QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
            QTRY_VERIFY(!QApplication::activePopupWidget());
            QTest::keyClick(focusedIn(*m_window), Qt::Key_Escape); // the menu bar lets go
            QTRY_COMPARE(focusedIn(*m_window), w.ListBox1);
        }
        QCOMPARE(sentSoFar(w.serial, *m_module), QByteArray());

        QTest::keyClicks(focusedIn(*m_window), "c");
        QCOMPARE(sentSoFar(w.serial, *m_module), QByteArray("c"));
    }

    // The mnemonics leave the captions as they read: a letter is marked, nothing else
    // changes, and it is underlined only while Alt is held.
    void mnemonicsKeepTheCaptions()
    {
        TMain &w = *m_window;
        QStringList titles;
        for (QAction *title : w.menuBar()->actions()) {
            QVERIFY2(title->text().count(u'&') == 1, qPrintable(title->text()));
            titles << QString(title->text()).remove(u'&');
        }
        QCOMPARE(titles, QStringList({"File", "COM", "Parameters", "Options", "Commands", "Help"}));
        QStringList letters;
        for (QAction *item : w.Options->actions())
            letters << item->text().mid(item->text().indexOf(u'&') + 1, 1).toLower();
        QCOMPARE(letters.size(), QSet<QString>(letters.begin(), letters.end()).size());
        QCOMPARE(QString(w.Echo1->text()).remove(u'&'), "Echo");
        QCOMPARE(QString(w.HexModeWrite1->text()).remove(u'&'), "Hex Write ");

        auto underlined = [&] {
            return w.menuBar()->style()->styleHint(QStyle::SH_UnderlineShortcut, nullptr,
                                                   w.menuBar());
        };
        QCOMPARE(underlined(), 0);
        QTest::keyPress(focusedIn(*m_window), Qt::Key_Alt);
        QCOMPARE(underlined(), 1);
        QTest::keyClick(focusedIn(*m_window), Qt::Key_Shift); // Alt is not alone now
        QTest::keyRelease(focusedIn(*m_window), Qt::Key_Alt);
        QCOMPARE(underlined(), 0);
        QVERIFY(!QApplication::activePopupWidget());
    }

    // Toolbars are shown and hidden through the Options items only: the window offers no
    // menu of its own on the toolbar row.
    void noToolbarContextMenu()
    {
        TMain &w = *m_window;
        QWidget *popup = nullptr;
        QTimer::singleShot(300, this, [&popup] {
            popup = QApplication::activePopupWidget();
            if (popup)
                popup->close();
        });
        const QPoint at(w.ToolBar1->width() - 2, w.ToolBar1->height() / 2);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, w.ToolBar1->mapToGlobal(at));
        QApplication::sendEvent(w.ToolBar1, &event);
        QTest::qWait(400);
        QCOMPARE(popup, nullptr);
        QVERIFY(w.ToolBar1->isVisible());
    }

    // In the smallest window every control of the toolbar row is on the row itself and the
    // list keeps a few lines.
    void smallestWindowShowsEveryControl()
    {
        TMain &w = *m_window;
        w.resize(1, 1);
        QTRY_COMPARE(w.size(), w.minimumSize().expandedTo(w.minimumSizeHint()));
        QVERIFY(w.width() < 1000);
        const QList<QWidget *> controls{
            w.BtnS,  w.BtnR,    w.BtnI, w.BtnL,  w.MAC_Address, w.SendString, w.Send,   w.Select,
            w.Close, w.Channel, w.MUX1, w.Set55, w.SetAA,       w.SetOutput,  w.Set_ON, w.Set_Off};
        for (QWidget *control : controls) {
            QVERIFY2(control->isVisible(), qPrintable(control->metaObject()->className()));
            const QRect inWindow(control->mapTo(&w, QPoint()), control->size());
            QVERIFY2(w.rect().contains(inWindow), qPrintable(control->metaObject()->className()));
        }
        auto *more = w.ToolBar1->findChild<QToolButton *>("qt_toolbar_ext_button");
        QVERIFY(!more || !more->isVisible());
        QVERIFY(w.ListBox1->height() >= 4 * w.ListBox1->fontMetrics().height());
        QVERIFY(w.statusBar()->isVisible());
    }

    // A selected line keeps the scheme's text colour, on a bar that sets it apart from the
    // other lines, in either scheme.
    void selectedLineIsLegible_data()
    {
        QTest::addColumn<bool>("greenOnBlack");
        QTest::addColumn<QColor>("line");
        QTest::addColumn<QColor>("text");
        QTest::addColumn<QColor>("bar");
        QTest::newRow("standard") << false << QColor(0xF0F8FF) << QColor(0x000080)
                                  << QColor(0xB0C4DE);
        QTest::newRow("green on black")
            << true << QColor(Qt::black) << QColor(0x7CFC00) << QColor(0x2F4F4F);
    }

    void selectedLineIsLegible()
    {
        QFETCH(bool, greenOnBlack);
        QFETCH(QColor, line);
        QFETCH(QColor, text);
        QFETCH(QColor, bar);
        TMain &w = *m_window;
        if (greenOnBlack != w.GreenonBlack->isChecked())
            w.GreenonBlack->trigger();
        QVERIFY(m_module->write("first line\rsecond line\r"));
        // The receive timer runs until the view shows the lines.
        w.Timer1->start();
        QTRY_VERIFY(w.ListModel->rowCount() >= 3);
        w.Timer1->stop();
        QCOMPARE(listLines(w).mid(0, 2), QStringList({"first line", "second line"}));
        const QModelIndex last = w.ListModel->index(w.ListModel->rowCount() - 2);
        w.ListBox1->setCurrentIndex(last);
        QTRY_VERIFY(w.ListBox1->selectionModel()->isSelected(last));

        const QImage image = w.ListBox1->viewport()->grab().toImage();
        const QRect row = w.ListBox1->visualRect(last);
        const QRect other = w.ListBox1->visualRect(w.ListModel->index(0));
        // The style shades its selection bar a little, and letters are smoothed at their edges.
        auto distance = [](const QColor &a, const QColor &b) {
            return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                   std::abs(a.blue() - b.blue());
        };
        QVERIFY(distance(image.pixelColor(row.right() - 4, row.center().y()), bar) <= 40);
        QVERIFY(distance(image.pixelColor(other.right() - 4, other.center().y()), line) <= 40);
        // The letters of the selected line come out in the scheme's text colour.
        int letterPixels = 0;
        for (int x = row.left(); x < row.left() + 80; ++x) {
            for (int y = row.top(); y <= row.bottom(); ++y) {
                const QColor pixel = image.pixelColor(x, y);
                letterPixels += distance(pixel, text) < distance(pixel, bar) / 2;
            }
        }
        QVERIFY2(letterPixels > 10, qPrintable(QString::number(letterPixels)));
    }

    // The list shows when it has the focus: its frame takes the highlight colour.
    void listShowsItsFocus()
    {
        TMain &w = *m_window;
        const QColor highlight = w.ListBox1->palette().color(QPalette::Active, QPalette::Highlight);
        auto frameColour = [&] {
            return w.ListBox1->grab().toImage().pixelColor(0, w.ListBox1->height() / 2);
        };
        QCOMPARE(focusedIn(*m_window), w.ListBox1);
        QCOMPARE(frameColour(), highlight);
        QTest::mouseClick(w.SendString->lineEdit(), Qt::LeftButton);
        QCOMPARE(focusedIn(*m_window), w.SendString);
        QVERIFY(frameColour() != highlight);
    }

private:
    // Clicks into the send box, selects what it shows and types over it.
    void typeIntoSendBox(const QString &text)
    {
        QTest::mouseClick(m_window->SendString->lineEdit(), Qt::LeftButton);
        QCOMPARE(focusedIn(*m_window), m_window->SendString);
        QTest::keyClick(focusedIn(*m_window), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(focusedIn(*m_window), Qt::Key_Backspace);
        QTest::keyClicks(focusedIn(*m_window), text);
    }

    WindowFixture m_fixture;
    PtyModule *m_module = nullptr;
    TMain *m_window = nullptr;
};

QTEST_MAIN(TestWindowKeys)
#include "tst_window_keys.moc"
