// The transmit side of the real main window with a pseudo-terminal as the port: the exact
// bytes of module commands, the send box and typed keys, the send history, the echo lines,
// the iWRAP multiplexing mode with its links, and the "+++" escape.
#include "PtyModule.h"
#include "WindowFixture.h"
#include "WindowText.h"
#include "app/MessageBoxes.h"
#include "app/bgapi_window/Unit_bgapi.h"
#include "app/main_window/MainForm.h"
#include "serial/LinePause.h"
#include "terminal/view/TerminalModel.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <memory>

namespace {

constexpr int kPort = 6;

QByteArray frame(int link, const QByteArray &data)
{
    return QByteArray("\xBF") + char(link) + '\0' + char(data.size()) + data + char(link ^ 0xFF);
}

} // namespace

class TestMainTransmit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_fx.setUp()); }

    void init()
    {
        m_fx.reset();
        QVERIFY(m_fx.openOn(kPort));
        for (int i = 0; i < m_fx.window->SendString->count(); ++i)
            m_fx.window->SendString->setItemText(i, QStringLiteral("old%1").arg(i));
    }

    void cleanup() { m_fx.tearDown(); }

    void sendForms_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("mux");
        QTest::addColumn<int>("link");
        QTest::addColumn<bool>("bgapi");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("newest");
        QTest::addColumn<QStringList>("list");
        QTest::addColumn<int>("linkAfter");

        const QString list255 = "TX=><0xbf><FF><0x00><04>LIST<00>";
        QTest::newRow("command line")
            << "mc_puts"
            << "RESET" << false << 0 << false << QByteArray("\rRESET\r\n\r") << "RESET"
            << QStringList{"TX=> RESET"} << 0;
        // The BGAPI window takes binary packets: no CR after the text.
        QTest::newRow("command line, BGAPI")
            << "mc_puts"
            << "RESET" << false << 0 << true << QByteArray("\rRESET\n\r") << "RESET"
            << QStringList{"TX=> RESET"} << 0;
        QTest::newRow("link 255 chosen, box clear")
            << "mc_puts"
            << "LIST" << false << 255 << false << frame(255, "LIST") << "LIST"
            << QStringList{list255, "RX<= "} << 255;
        QTest::newRow("restored mode goes to link 0")
            << "mc_puts"
            << "LIST" << true << 0 << false << frame(0, "LIST") << "LIST"
            << QStringList{"TX=><0xbf><00><0x00><04>LIST<FF>", "RX<= "} << 0;
        QTest::newRow("command to the module from link 2")
            << "mc_puts_cmd"
            << "LIST" << true << 2 << false << frame(255, "LIST") << "LIST"
            << QStringList{list255, "RX<= "} << 2;
        QTest::newRow("command, mode off")
            << "mc_puts_cmd"
            << "SET" << false << 0 << false << QByteArray("\rSET\r\n\r") << "SET"
            << QStringList{"TX=> SET"} << 0;
        QTest::newRow("Send empty") << "Send"
                                    << "" << false << 0 << false << QByteArray("\r\r\n\r") << ""
                                    << QStringList{"TX=> "} << 0;
        QTest::newRow("Send empty, BGAPI")
            << "Send"
            << "" << false << 0 << true << QByteArray("\r\n\r") << "" << QStringList{"TX=> "} << 0;
        // The CR travels inside the frame, counts in its length and shows as a space.
        QTest::newRow("Send AT in the mode")
            << "Send"
            << "AT" << true << 255 << false << frame(255, "AT\r") << "AT\r"
            << QStringList{"TX=><0xbf><FF><0x00><03>AT <00>", "RX<= "} << 255;
        // What goes out, the echo and the history agree: a '?' for each character beyond
        // one byte.
        QTest::newRow("Send beyond Latin-1")
            << "Send"
            << QString::fromUtf8("A\xe2\x82\xac"
                                 "B\xf0\x9f\x98\x80"
                                 "\xc3\xa9")
            << false << 0 << false << QByteArray("\rA?B?\xe9\r\n\r")
            << QString::fromUtf8("A?B?\xc3\xa9")
            << QStringList{QString::fromUtf8("TX=> A?B?\xc3\xa9")} << 0;
        QTest::newRow("Hex Write A") << "Hex"
                                     << "A" << false << 0 << false << QByteArray("41 \r") << "41 "
                                     << QStringList{"TX=> "} << 0;
        QTest::newRow("Hex Write AB in the mode")
            << "Hex"
            << "AB" << true << 255 << false << QByteArray("41 42  D ") << " D "
            << QStringList{"TX=> "} << 255;
    }

    void sendForms()
    {
        QFETCH(QString, action);
        QFETCH(QString, text);
        QFETCH(bool, mux);
        QFETCH(int, link);
        QFETCH(bool, bgapi);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, newest);
        QFETCH(QStringList, list);
        QFETCH(int, linkAfter);

        TMain &w = *m_fx.window;
        w.Form_BGAPI->setVisible(bgapi);
        w.Echo1->setChecked(true);
        w.MUX1->setChecked(mux);
        w.mux_link = link;
        const QStringList before = comboEntries(w.SendString);

        if (action == "mc_puts") {
            w.mc_puts(text);
        } else if (action == "mc_puts_cmd") {
            w.mc_puts_cmd(text);
        } else {
            w.HexModeWrite1->setChecked(action == "Hex");
            w.SendString->setEditText(text);
            w.Send->click();
        }

        QCOMPARE(sentSoFar(w.serial, *m_fx.module).toHex(' '), bytes.toHex(' '));
        QCOMPARE(listLines(w), list);
        QCOMPARE(w.mux_link, linkAfter);
        const QStringList history = comboEntries(w.SendString);
        QCOMPARE(history.size(), 11);
        QCOMPARE(history.first(), newest);
        QCOMPARE(w.SendString->currentText(), newest);
        if (action != "Hex")
            QCOMPARE(history.mid(1), before.first(10));
        w.Form_BGAPI->hide();
    }

    void hexWritePushesEachPiece()
    {
        TMain &w = *m_fx.window;
        w.HexModeWrite1->setChecked(true);
        w.SendString->setEditText("AB");
        w.SendClick();
        QCOMPARE(comboEntries(w.SendString).first(3), (QStringList{"42 ", "41 ", "old0"}));
    }

    void typedKeys()
    {
        TMain &w = *m_fx.window;
        w.Echo1->setChecked(true);
        QTest::keyClicks(w.ListBox1, "ab");
        QTest::keyClick(w.ListBox1, Qt::Key_Return);
        QCOMPARE(sentSoFar(w.serial, *m_fx.module), QByteArray("ab\r"));
        QCOMPARE(comboEntries(w.SendString).first(2), (QStringList{"ab\r", "old0"}));
        QCOMPARE(listLines(w), QStringList{"979813"});

        // Ctrl+C, and the characters that share the arrow keys' numbers.
        QTest::keyClick(w.ListBox1, Qt::Key_C, Qt::ControlModifier);
        QTest::keyClick(w.ListBox1, Qt::Key_Ampersand, Qt::ShiftModifier);
        QTest::keyClick(w.ListBox1, Qt::Key_ParenLeft, Qt::ShiftModifier);
        QCOMPARE(sentSoFar(w.serial, *m_fx.module), QByteArray("\x03&("));
        QCOMPARE(listLines(w), QStringList{"97981333840"});

        // Keys with no character send nothing and leave the history alone.
        for (Qt::Key key : {Qt::Key_Left, Qt::Key_Home, Qt::Key_F5, Qt::Key_Shift})
            QTest::keyClick(w.ListBox1, key);
        QCOMPARE(sentSoFar(w.serial, *m_fx.module), QByteArray());
        QCOMPARE(comboEntries(w.SendString).first(), QStringLiteral("ab\r"));

        // A command in the middle of a typed line leaves only the rest for the history.
        w.Echo1->setChecked(false);
        QTest::keyClicks(w.ListBox1, "xy");
        w.BtnS->click();
        QTest::keyClick(w.ListBox1, Qt::Key_Return);
        QCOMPARE(sentSoFar(w.serial, *m_fx.module), QByteArray("xy\rSET\r\n\r\r"));
        QCOMPARE(comboEntries(w.SendString).first(3), (QStringList{"\r", "SET", "ab\r"}));

        // Hex Write shows the echo as hexadecimal.
        w.Echo1->setChecked(true);
        w.HexModeWrite1->setChecked(true);
        w.Clear1Click();
        QTest::keyClick(w.ListBox1, Qt::Key_Return);
        QCOMPARE(listLines(w), QStringList{" D "});

        // A typed character beyond one byte goes out as the '?' the echo shows.
        w.HexModeWrite1->setChecked(false);
        w.Clear1Click();
        sentSoFar(w.serial, *m_fx.module);
        QTest::sendKeyEvent(QTest::Click, w.ListBox1, Qt::Key_Eacute, QStringLiteral("\u00e9"),
                            Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Click, w.ListBox1, Qt::Key(0x20AC), QStringLiteral("\u20ac"),
                            Qt::NoModifier);
        QTest::keyClick(w.ListBox1, Qt::Key_Return);
        QCOMPARE(sentSoFar(w.serial, *m_fx.module), QByteArray("\xe9?\r"));
        QCOMPARE(comboEntries(w.SendString).first(), QString::fromUtf8("\xc3\xa9?\r"));
        QCOMPARE(listLines(w), QStringList{"2336313"});
    }

    // What is sent reaches the list on screen at the next turn of the event loop, although
    // on a quiet port no receive tick comes to show it (here the receive timer is stopped).
    void echoShowsAtOnce_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("lastRow");
        QTest::newRow("S button") << "S" << QByteArray("\rSET\r\n\r") << "TX=> SET";
        QTest::newRow("send box") << "box" << QByteArray("\rAT\r\n\r") << "TX=> AT";
        // Typed keys add to the line being received.
        QTest::newRow("typed keys") << "keys" << QByteArray("ab") << "RX<= 9798";
    }

    void echoShowsAtOnce()
    {
        QFETCH(QString, how);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, lastRow);
        TMain &w = *m_fx.window;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // The first show applies the saved settings and opens the saved port; the module is at
        // this one.
        w.Echo1->setChecked(true);
        w.set_comx(kPort, false);
        QVERIFY(w.serial.holdsDevice());
        sentSoFar(w.serial, *m_fx.module);
        // A line the module said before, already on screen.
        QVERIFY(m_fx.module->write("READY.\r"));
        QVERIFY2(tickUntil(w, [&] { return listLines(w).join(u'|').contains(u"READY.|"); }),
                 qPrintable(listLines(w).join(u'|')));
        w.session.showNewLines();
        QVERIFY(!w.ListModel->hasUnpublished());

        if (how == "S") {
            QTest::mouseClick(w.BtnS, Qt::LeftButton);
        } else if (how == "box") {
            w.SendString->lineEdit()->setFocus();
            w.SendString->lineEdit()->clear();
            QTest::keyClicks(w.SendString->lineEdit(), "AT");
            QTest::keyClick(w.SendString->lineEdit(), Qt::Key_Return);
        } else {
            w.ListBox1->setFocus();
            QTest::keyClicks(w.ListBox1, "ab");
        }
        QCoreApplication::processEvents();
        QVERIFY(!w.ListModel->hasUnpublished());
        const int rows = w.ListModel->rowCount();
        QCOMPARE(w.ListModel->index(rows - 1).data().toString(), lastRow);
        QCOMPARE(sentSoFar(w.serial, *m_fx.module), bytes);
    }

    void historyKeys()
    {
        TMain &w = *m_fx.window;
        w.selectHistory(10);
        QTest::keyClick(w.ListBox1, Qt::Key_Up);
        QCOMPARE(w.historyIndex(), 10);
        w.selectHistory(0);
        QTest::keyClick(w.ListBox1, Qt::Key_Down);
        QCOMPARE(w.historyIndex(), 0);
        QCOMPARE(sentSoFar(w.serial, *m_fx.module), QByteArray("old10\rold0\r"));

        // An edited text selects nothing: Up sends it and selects the newest entry.
        w.Echo1->setChecked(true);
        QTest::keyClicks(w.SendString->lineEdit(), "x");
        QCOMPARE(w.historyIndex(), -1);
        QTest::keyClick(w.ListBox1, Qt::Key_Up);
        QCOMPARE(sentSoFar(w.serial, *m_fx.module), QByteArray("old0x\r"));
        QCOMPARE(w.historyIndex(), 0);
        QCOMPARE(w.SendString->currentText(), QStringLiteral("old0"));
        QCOMPARE(listLines(w), QStringList{"TX=> old0x38"});
        QTest::keyClick(w.ListBox1, Qt::Key_Up);
        QCOMPARE(w.SendString->currentText(), QStringLiteral("old1"));
        QTest::keyClick(w.ListBox1, Qt::Key_Down);
        QCOMPARE(w.SendString->currentText(), QStringLiteral("old0"));
        QCOMPARE(sentSoFar(w.serial, *m_fx.module), QByteArray("old0\rold1\r"));
        // Enter in the send box sends it.
        QTest::keyClick(w.SendString->lineEdit(), Qt::Key_Return);
        QCOMPARE(sentSoFar(w.serial, *m_fx.module), QByteArray("\rold0\r\n\r"));

        // Up sends a character beyond one byte as the '?' its echo shows.
        w.Clear1Click();
        QTest::sendKeyEvent(QTest::Click, w.SendString->lineEdit(), Qt::Key(0x20AC),
                            QStringLiteral("\u20ac"), Qt::NoModifier);
        QTest::keyClick(w.ListBox1, Qt::Key_Up);
        QCOMPARE(sentSoFar(w.serial, *m_fx.module), QByteArray("old0?\r"));
        QCOMPARE(listLines(w), QStringList{"TX=> old0?38"});
    }

    void multiplexingMode()
    {
        TMain &w = *m_fx.window;
        w.Echo1->setChecked(true);
        w.UnReadable1->setChecked(true);
        QCOMPARE(w.mux_link, 0);

        w.MUX1->click();
        QVERIFY(w.MUX1->isChecked());
        QCOMPARE(sentSoFar(w.serial, *m_fx.module), QByteArray("SET CONTROL MUX 1\r\r"));
        QCOMPARE(w.mux_link, 255);
        QVERIFY(!w.UnReadable1->isChecked());
        QCOMPARE(comboEntries(w.SendString).first(), QStringLiteral("old0"));
        QCOMPARE(listLines(w), QStringList{"TX=> SET CONTROL MUX 1"});

        w.Channel->setCurrentText("2");
        w.Select->click();
        QCOMPARE(w.mux_link, 2);
        w.BtnL->click();
        w.mc_puts("x");
        w.Close->click();
        QCOMPARE(sentSoFar(w.serial, *m_fx.module).toHex(' '),
                 (frame(255, "SELECT 2") + frame(255, "LIST") + frame(2, "x") + frame(2, "CLOSE 2"))
                     .toHex(' '));
        QCOMPARE(w.mux_link, 2);

        w.UnReadable1->setChecked(true);
        w.MUX1->click();
        QVERIFY(!w.MUX1->isChecked());
        // Whatever link is selected, the mode ends at the module itself.
        QCOMPARE(sentSoFar(w.serial, *m_fx.module).toHex(' '),
                 frame(255, "SET CONTROL MUX 0").toHex(' '));
        QCOMPARE(w.mux_link, -1);
        QVERIFY(w.UnReadable1->isChecked());
        QCOMPARE(comboEntries(w.SendString).first(), QStringLiteral("SET CONTROL MUX 0"));
        QCOMPARE(listLines(w).last(2),
                 (QStringList{"RX<= TX=><0xbf><FF><0x00><11>SET CONTROL MUX 0<00>", "RX<= "}));

        // Back to command lines; "+++" is refused only while the mode is on.
        w.mc_puts("x");
        QCOMPARE(sentSoFar(w.serial, *m_fx.module), QByteArray("\rx\r\n\r"));
        w.MUX1->setChecked(true);
        w.BCMD->click();
        QCOMPARE(m_fx.messages, QStringList{"No CMD/Data modes in Multiplex mode"});
        QCOMPARE(sentSoFar(w.serial, *m_fx.module), QByteArray());
    }

    void selectWithTheModeOff()
    {
        TMain &w = *m_fx.window;
        w.Select->click();
        w.mc_puts("x");
        QVERIFY(!w.MUX1->isChecked());
        QCOMPARE(sentSoFar(w.serial, *m_fx.module).toHex(' '),
                 (QByteArray("\rSELECT 255\r\n\r") + frame(255, "x")).toHex(' '));
        w.Channel->setCurrentText("3");
        w.Select->click();
        QCOMPARE(w.mux_link, 3);
        w.mc_puts("y");
        QCOMPARE(sentSoFar(w.serial, *m_fx.module).toHex(' '),
                 (frame(255, "SELECT 3") + QByteArray("\ry\r\n\r")).toHex(' '));
    }

    void longTextIsSplitIntoFrames()
    {
        TMain &w = *m_fx.window;
        w.Echo1->setChecked(true);
        w.MUX1->setChecked(true);
        w.mux_link = 1;
        const QByteArray text = QByteArray(299, 'z');
        w.SendString->setEditText(QString::fromLatin1(text));
        w.SendClick();
        const QByteArray data = text + '\r';
        QCOMPARE(sentSoFar(w.serial, *m_fx.module).toHex(' '),
                 (frame(1, data.first(255)) + frame(1, data.mid(255))).toHex(' '));
        QCOMPARE(comboEntries(w.SendString).first(2),
                 (QStringList{QString::fromLatin1(data), "old0"}));
        QCOMPARE(listLines(w).size(), 3);
        QVERIFY(listLines(w)[1].startsWith("RX<= TX=><0xbf><01><0x00><2D>zzz"));
    }

    void withoutAPortNothingIsSent()
    {
        TMain &w = *m_fx.window;
        w.serial.c_close();
        w.Echo1->setChecked(true);
        w.mc_puts("RESET");
        QCOMPARE(listLines(w), QStringList{});
        w.MUX1->setChecked(true);
        w.mux_link = 255;
        w.mc_puts("LIST");
        QTest::keyClicks(w.ListBox1, "a\r");
        w.MUX1->click();
        QCOMPARE(w.mux_link, -1);
        QCOMPARE(comboEntries(w.SendString).first(4),
                 (QStringList{"SET CONTROL MUX 0", "a\r", "LIST", "RESET"}));
        // Frame echoes show; the command line entering nothing, as the port is gone.
        QCOMPARE(listLines(w),
                 (QStringList{"TX=><0xbf><FF><0x00><04>LIST<00>",
                              "RX<= 9713TX=><0xbf><FF><0x00><11>SET CONTROL MUX 0<00>", "RX<= "}));
        QCOMPARE(m_fx.module->readAvailable(), QByteArray());
    }

    void pasteSizedText()
    {
        // A megabyte through Send reaches the module whole, as a command line, as frames and
        // as Hex Write, and stays whole in the history.
        TMain &w = *m_fx.window;
        QByteArray text(1 << 20, 'p');
        for (int i = 0; i < text.size(); i += 97)
            text[i] = char('A' + i % 26);
        w.SendString->setEditText(QString::fromLatin1(text));
        w.SendClick();
        QVERIFY(m_fx.module->readAtLeast(text.size() + 4, 30000) == "\r" + text + "\r\n\r");
        QVERIFY(comboEntries(w.SendString).first() == QString::fromLatin1(text));
        QVERIFY(w.SendString->currentText() == QString::fromLatin1(text));

        w.MUX1->setChecked(true);
        w.mux_link = 3;
        w.SendClick();
        const QByteArray data = text + '\r';
        QByteArray expected;
        for (qsizetype at = 0; at < data.size(); at += 255)
            expected += frame(3, data.mid(at, 255));
        QVERIFY(m_fx.module->readAtLeast(expected.size(), 30000) == expected);
        QCOMPARE(comboEntries(w.SendString).first().size(), data.size());

        w.MUX1->setChecked(false);
        w.HexModeWrite1->setChecked(true);
        w.SendString->setEditText(QString::fromLatin1(text.first(100000)));
        w.SendClick();
        QByteArray hex = text.first(100000).toHex(' ').toUpper() + " \r";
        QVERIFY(m_fx.module->readAtLeast(hex.size(), 30000) == hex);
        QCOMPARE(comboEntries(w.SendString).first(2), (QStringList{"70 ", "70 "}));
    }

    void escapeSequenceKeepsItsGuardTimes()
    {
        TMain &w = *m_fx.window;
        // Each pause the window asks for, with what the module had received by then.
        QList<QPair<int, QByteArray>> pauses;
        QByteArray received;
        zorvane::serial::setLinePauseHandler([&](int ms) {
            received += m_fx.module->readAvailable();
            if (!pauses.isEmpty())
                received += m_fx.module->readAtLeast(3 - received.size(), 2000);
            pauses.append({ms, received});
        });
        w.BCMD->click();
        zorvane::serial::setLinePauseHandler({});
        received += m_fx.module->readAvailable();
        const QList<QPair<int, QByteArray>> expected{{1000, QByteArray()}, {1000, "+++"}};
        QCOMPARE(pauses, expected);
        QCOMPARE(received, QByteArray("+++"));
        QCOMPARE(comboEntries(w.SendString).first(), QStringLiteral("+++"));
    }

    void echoIndicator()
    {
        TMain &w = *m_fx.window;
        QCOMPARE(w.StatusBarPanel2->text(), QStringLiteral("-"));
        w.Echo1->trigger();
        QCOMPARE(w.StatusBarPanel2->text(), QStringLiteral("Echo"));
        w.Echo1->trigger();
        QCOMPARE(w.StatusBarPanel2->text(), QStringLiteral("    "));
    }

private:
    WindowFixture m_fx;
};

QTEST_MAIN(TestMainTransmit)
#include "tst_main_transmit.moc"
