// The module commands on the real main window, shown offscreen with a pseudo-terminal as the
// port: the exact bytes and history entries of the Commands menu, the SPP, BGIO, HID and
// GainSpan toolbars, the PIO icon buttons and the iWRAP command list; the baud changes; the
// Options switches with their round trip through the settings file; and that every control
// stays reachable in a narrow window.
#include "WindowFixture.h"
#include "WindowText.h"
#include "app/main_window/ClickFirstCheckBox.h"
#include "app/main_window/MainForm.h"
#include "serial/LinePause.h"
#include "terminal/CommandTables.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <functional>
#include <memory>

using namespace zorvane::terminal;

namespace {

// The port a new settings file opens at start.
constexpr int kPort = 1;
const QString kBgioUuid = QStringLiteral("af5c7d47-350b-45f6-bdf6-b403441edb77");

QByteArray line(const QByteArray &text)
{
    return '\r' + text + "\r\n\r";
}

QByteArray frame(int link, const QByteArray &data)
{
    return QByteArray("\xBF") + char(link) + '\0' + char(data.size()) + data + char(link ^ 0xFF);
}

speed_t speedCode(int rate)
{
    switch (rate) {
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    default:
        return B115200;
    }
}

QByteArray hex(const char *digits)
{
    return QByteArray::fromHex(digits);
}

} // namespace

class TestMainCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_fx.setUp()); }

    void init()
    {
        // Each test starts from a new settings file.
        QDir(m_fx.docs).removeRecursively();
        QVERIFY(QDir().mkpath(m_fx.docs));
        m_fx.reset();
        m_fx.module = m_fx.plugIn(kPort);
        m_fx.window = startMain();
    }

    void cleanup() { m_fx.tearDown(); }

    void controls_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("history");

        const QStringList none;
        const QByteArray pins = hex("000504FCFCFCFC");
        const QString pinsText = "<00><05><04><FC><FC><FC><FC>";
        const QByteArray gsFile = "\rat+xmlsend=0,6,100,/example,example,4\r"
                                  "\r\x1bG00007temp:22\r"
                                  "\r\x1bG00009light:31\r"
                                  "\r\x1bG00015acc:924,803,228\r"
                                  "\r\x1bG00006leds:1\r";
        auto row = [](const char *tag) -> QTestData & { return QTest::newRow(tag); };

        row("Call SPP with an address")
            << none << "BCall"
            << "address" << line("CALL 00:07:80:12:34:56 1101 RFCOMM")
            << QStringList{"CALL 00:07:80:12:34:56 1101 RFCOMM", "old0"};
        row("Call SPP before any inquiry") << none << "BCall"
                                           << "" << line("CALL Unknown MAC 1101 RFCOMM")
                                           << QStringList{"CALL Unknown MAC 1101 RFCOMM"};
        row("Call SPP framed") << none << "BCall"
                               << "mux" << frame(0, "CALL Unknown MAC 1101 RFCOMM")
                               << QStringList{"CALL Unknown MAC 1101 RFCOMM"};
        // Call BGIO takes the address captured last, not the one selected.
        row("Call BGIO uses the hidden label")
            << none << "CallBGIO"
            << "address label" << line("CALL 00:07:80:AA:AA:AA " + kBgioUuid.toLatin1() + " RFCOMM")
            << QStringList{"CALL 00:07:80:AA:AA:AA " + kBgioUuid + " RFCOMM"};
        row("Call BGIO before any inquiry")
            << none << "CallBGIO"
            << "" << line("CALL MAC " + kBgioUuid.toLatin1() + " RFCOMM")
            << QStringList{"CALL MAC " + kBgioUuid + " RFCOMM"};
        row("SPP AutoCall: a plain line, no history")
            << none << "Button1"
            << "" << QByteArray("SET CONTROL AUTOCALL 1101 5000 RFCOMM\r") << QStringList{"old0"};
        row("BGIO AutoCall never framed")
            << none << "BGIOAutocall"
            << "mux"
            << "SET CONTROL AUTOCALL " + kBgioUuid.toLatin1() + " 5000 RFCOMM"
            << QStringList{"old0"};
        row("HID PAIR") << none << "BPAIR"
                        << "address" << line("PAIR 00:07:80:12:34:56")
                        << QStringList{"PAIR 00:07:80:12:34:56"};

        row("SET PIO") << none << "BSetPIO"
                       << "" << pins << QStringList{pinsText, "old0"};
        row("SET PIO framed to link 0")
            << none << "BSetPIO"
            << "mux" << hex("BF000007000504FCFCFCFCFF") << QStringList{pinsText};
        row("SET PIO, box clear, link 255: no frame") << none << "BSetPIO"
                                                      << "link255" << pins << QStringList{pinsText};
        row("INC PIO after SET PIO") << QStringList{"BSetPIO"} << "INCPIO"
                                     << "" << hex("000504FCFC0000")
                                     << QStringList{"<00><05><04><FC><FC><100><100>", pinsText};
        row("INC PIO from the start")
            << none << "INCPIO"
            << "" << hex("000504FCFC0404") << QStringList{"<00><05><04><FC><FC><4><4>"};
        row("CLR PIO") << none << "BCLRPIO"
                       << "" << hex("000504FCFC0000") << QStringList{"<00><05><04><FC><FC><0><0>"};
        row("SET DIR") << none << "BSetDir"
                       << "" << hex("000507FFFFFFFF")
                       << QStringList{"HEX: 00 05 07 FF FF FF FF", "old0"};

        row("arrow before Call BGIO")
            << none << "SetOutput"
            << "" << line("PIO SETDIR FC FC") << QStringList{"PIO SETDIR FC FC", "old0"};
        row("arrow after Call BGIO")
            << QStringList{"CallBGIO"} << "SetOutput"
            << "" << line("PIO SETDIR FC FC") + hex("000507FCFCFCFC")
            << QStringList{"<00><05><07><FC><FC><FC><FC>", "PIO SETDIR FC FC"};
        row("55 after Call BGIO") << QStringList{"CallBGIO"} << "Set55"
                                  << "" << line("PIO SET FC 55") + hex("000504FCFC5555")
                                  << QStringList{"<00><05><04><FC><FC><55><55>", "PIO SET FC 55"};
        row("AA before Call BGIO") << none << "SetAA"
                                   << "" << line("PIO SET FC AA") << QStringList{"PIO SET FC AA"};
        row("on after Call BGIO, framed")
            << QStringList{"CallBGIO"} << "Set_ON"
            << "mux" << frame(0, "PIO SET FC FC") + frame(0, hex("000504FCFCFCFC"))
            << QStringList{pinsText, "PIO SET FC FC"};
        row("off then INC PIO") << QStringList{"CallBGIO", "Set_Off"} << "INCPIO"
                                << "" << hex("000504FCFC0404")
                                << QStringList{"<00><05><04><FC><FC><4><4>",
                                               "<00><05><04><FC><FC><0><0>"};

        row("GainSpan Version") << none << "GsVersion"
                                << "" << QByteArray("\rAT+VER=?\r") << QStringList{"old0"};
        row("GainSpan Hello on link 255") << none << "GsHello"
                                          << ""
                                          << QByteArray("\r\x1bS255Hello\x1b"
                                                        "E\r")
                                          << QStringList{"old0"};
        row("GainSpan Hello on link 0, mode on: no CR, no frame") << none << "GsHello"
                                                                  << "mux"
                                                                  << QByteArray("\r\x1bS0Hello\x1b"
                                                                                "E")
                                                                  << QStringList{"old0"};
        row("GainSpan File") << none << "GsFile"
                             << "" << gsFile << QStringList{"old0"};
        row("GainSpan PROV login") << none << "GsWEBPROV"
                                   << "" << QByteArray("\rAT+WEBPROV=z,v\r") << QStringList{"old0"};

        row("list: NAME with the address") << none << "list:NAME [MAC] // reveal BT name"
                                           << "address2" << line("NAME 00:07:80:AA:BB:CC")
                                           << QStringList{"NAME 00:07:80:AA:BB:CC", "old0"};
        row("list: comment line sends an empty command")
            << none << "list:// IWRAP COMMANDS"
            << "" << line("") << QStringList{"", "old0"};
        row("list: AUTH keeps PIN")
            << none << "list:AUTH [MAC] PIN"
            << "" << line("AUTH Unknown MAC PIN") << QStringList{"AUTH Unknown MAC PIN"};
        row("list: trailing space cut") << none << "list:ECHO 0 DATA "
                                        << "" << line("ECHO 0 DATA") << QStringList{"ECHO 0 DATA"};

        row("menu: S<LF>") << none << "CommandS"
                           << "" << line("S\r\n") << QStringList{"S\r\n"};
        row("menu: SET BT AUTH 9357")
            << none << "setBTAUTH9357"
            << "" << line("SET BT AUTH * 9357") << QStringList{"SET BT AUTH * 9357"};

        row("no port: Call SPP only in the history")
            << none << "BCall"
            << "closed" << QByteArray() << QStringList{"CALL Unknown MAC 1101 RFCOMM"};
        row("no port: SET PIO text only") << none << "BSetPIO"
                                          << "closed" << QByteArray() << QStringList{pinsText};
        row("no port: GainSpan nothing at all") << none << "GsFile"
                                                << "closed" << QByteArray() << QStringList{"old0"};
        row("no port: AutoCall nothing at all") << none << "Button1"
                                                << "closed" << QByteArray() << QStringList{"old0"};
    }

    void controls()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, control);
        QFETCH(QString, mode);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, history);

        TMain &w = *m_fx.window;
        if (mode.contains("mux")) {
            // Entered with the box as a person would, then the link chosen: link 0.
            w.MUX1->click();
            w.Channel->setCurrentText("0");
            w.Select->click();
        }
        if (mode.contains("link255"))
            w.session.setMuxLink(255);
        if (mode.contains("address"))
            addAddress(mode.contains("address2") ? "00:07:80:AA:BB:CC" : "00:07:80:12:34:56");
        if (mode.contains("label")) {
            w.MAC->setText("00:07:80:AA:AA:AA");
            addAddress("00:07:80:12:34:56");
        }
        setHistory();
        for (const QString &earlier : before)
            click(earlier);
        sentSoFar(w.serial, *m_fx.module);

        if (mode.contains("closed"))
            w.serial.c_close();
        click(control);
        if (mode.contains("closed"))
            w.set_comx(kPort, false);

        QCOMPARE(sentSoFar(w.serial, *m_fx.module).toHex(' '), bytes.toHex(' '));
        QCOMPARE(comboEntries(w.SendString).first(history.size()), history);
        QCOMPARE(m_fx.messages, QStringList());
    }

    // Every command of the tables that sends a fixed text goes out exactly as written.
    void everyTextControl()
    {
        TMain &w = *m_fx.window;
        QList<ModuleCommand> all = commandsMenu() + sppToolbar() + bgioToolbar() + hidToolbar();
        for (const QList<ModuleCommand> &row : gainSpanRows())
            all += row;
        int checked = 0;
        for (const ModuleCommand &command : all) {
            const CommandContext context{"Unknown MAC", "MAC", "255"};
            QByteArray expected;
            for (const QString &text : command.texts) {
                const QByteArray bytes = expandCommand(text, context).toLatin1();
                if (command.send == CommandSend::Command)
                    expected += line(bytes);
                else if (command.send == CommandSend::Line)
                    expected += bytes + '\r';
                else if (command.send == CommandSend::GainSpan)
                    expected += '\r' + bytes + '\r';
            }
            if (expected.isEmpty())
                continue;
            click(command.name);
            QCOMPARE(sentSoFar(w.serial, *m_fx.module), expected);
            ++checked;
        }
        QCOMPARE(checked, 9 + 5 + 3 + 4 + 29);
    }

    void hidTest()
    {
        TMain &w = *m_fx.window;
        click("setHIDTest");
        QByteArray expected;
        for (int n = 0; n <= 50; ++n)
            expected += line(QByteArray::number(n) + ". 123,456,789");
        QCOMPARE(sentSoFar(w.serial, *m_fx.module), expected);
        const QStringList history = comboEntries(w.SendString);
        QCOMPARE(history.first(), "50. 123,456,789");
        QCOMPARE(history.at(10), "40. 123,456,789");
    }

    void escapeFromTheList()
    {
        TMain &w = *m_fx.window;
        w.MUX1->click();
        sentSoFar(w.serial, *m_fx.module);
        const QList<QPair<int, QByteArray>> pauses =
            pausesDuring([&] { click("list:+++ /// command/data interface toggle"); });
        // Both guard times of silence around it, and no refusal in the multiplexing mode.
        const QList<QPair<int, QByteArray>> expected{{1000, QByteArray()}, {1000, "+++"}};
        QCOMPARE(pauses, expected);
        QCOMPARE(sentSoFar(w.serial, *m_fx.module), QByteArray());
        QCOMPARE(comboEntries(w.SendString).first(), "+++");
        QCOMPARE(m_fx.messages, QStringList());
    }

    void listSelectKeepsTheLink()
    {
        TMain &w = *m_fx.window;
        w.MUX1->click();
        w.Channel->setCurrentText("0");
        w.Select->click();
        sentSoFar(w.serial, *m_fx.module);
        click("list:SELECT 2");
        QCOMPARE(sentSoFar(w.serial, *m_fx.module), frame(0, "SELECT 2"));
        QCOMPARE(w.session.muxLink(), 0);
    }

    void listByKeyboard()
    {
        TMain &w = *m_fx.window;
        w.iWrapCommands->trigger();
        w.iWrap_ListBox->setFocus();
        w.iWrap_ListBox->setCurrentRow(0);
        QTest::keyClick(w.iWrap_ListBox, Qt::Key_Down);
        QTest::keyClick(w.iWrap_ListBox, Qt::Key_Down);
        QTest::keyClick(w.iWrap_ListBox, Qt::Key_Return);
        QCOMPARE(sentSoFar(w.serial, *m_fx.module), line("AIO 4"));
        // A click that leaves no line selected sends nothing.
        w.iWrap_ListBox->clearSelection();
        QTest::keyClick(w.iWrap_ListBox, Qt::Key_Return);
        QCOMPARE(sentSoFar(w.serial, *m_fx.module), QByteArray());
    }

    void baudChange_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("parity");
        QTest::addColumn<bool>("reset");
        QTest::newRow("9600") << "set9600" << QByteArray("SET CONTROL BAUD 9600,8n1") << 9600 << 0
                              << false;
        // The reopening sends its reset between the two commands.
        QTest::newRow("19200, reset on connect")
            << "set19200" << QByteArray("SET CONTROL BAUD 19200,8n1") << 19200 << 0 << true;
        QTest::newRow("38400") << "set38400" << QByteArray("SET CONTROL BAUD 38400,8n1") << 38400
                               << 0 << false;
        QTest::newRow("38400 8E1")
            << "set38400e" << QByteArray("SET CONTROL BAUD 38400,8e1") << 38400 << 2 << false;
        QTest::newRow("57600") << "set57600" << QByteArray("SET CONTROL BAUD 57600,8n1") << 57600
                               << 0 << false;
        QTest::newRow("115200") << "set115200" << QByteArray("SET CONTROL BAUD 115200,8n1")
                                << 115200 << 0 << false;
    }

    void baudChange()
    {
        QFETCH(QString, item);
        QFETCH(QByteArray, text);
        QFETCH(int, rate);
        QFETCH(int, parity);
        QFETCH(bool, reset);
        TMain &w = *m_fx.window;
        w.ResetonConnect->setChecked(reset);
        // Start elsewhere, so every item really changes the rate.
        w.session.connection().setBaudRate(1200);
        w.set_com(false);
        sentSoFar(w.serial, *m_fx.module);

        const QList<QPair<int, QByteArray>> pauses = pausesDuring([&] { click(item); });
        // The module hears the change at the old rate before the first pause; the port is
        // reopened between the two.
        QCOMPARE(pauses.size(), 2);
        QCOMPARE(pauses[0], (QPair<int, QByteArray>{100, line(text)}));
        QCOMPARE(pauses[1].first, 5);

        QCOMPARE(w.session.connection().lineSettings().baudRate, rate);
        QCOMPARE(w.session.connection().lineSettings().parity, parity);
        QCOMPARE(w.serial.lastRequested(), (zorvane::serial::LineSettings{rate, 8, parity, 1}));
        QCOMPARE(w.EvenParity1->isChecked(), parity == 2);
        if (parity == 0) {
            // Reopened at the new rate; then a CR and the check at the new rate.
            QVERIFY(w.serial.holdsDevice());
            const termios device = m_fx.module->programSideSettings();
            QCOMPARE(cfgetospeed(&device), speedCode(rate));
            const QByteArray resetLine = reset ? line("RESET") : QByteArray();
            QCOMPARE(pauses[1].second, resetLine);
            QCOMPARE(sentSoFar(w.serial, *m_fx.module), '\r' + line("SET"));
            QCOMPARE(m_fx.messages, QStringList());
        } else {
            // Pseudo-terminals here refuse even parity: the reopening fails with its message
            // and the closing check is dropped, though it still enters the history.
            QVERIFY(!w.serial.holdsDevice());
            QCOMPARE(pauses[1].second, QByteArray());
            QCOMPARE(m_fx.messages, QStringList{"Unable to Open Port COM1"});
            QCOMPARE(w.StatusBarPanel1->text(), "COM1 - OffLine");
            w.session.connection().setParity(0);
            w.set_comx(kPort, false);
            QCOMPARE(sentSoFar(w.serial, *m_fx.module), QByteArray());
        }
        QCOMPARE(comboEntries(w.SendString).first(2),
                 (QStringList{"SET", reset ? "RESET" : QString::fromLatin1(text)}));
    }

    void toolbarSwitches()
    {
        TMain &w = *m_fx.window;
        const std::pair<QAction *, QToolBar *> switches[] = {{w.SPP1, w.ToolBar_SPP},
                                                             {w.BGIO1, w.ToolBar_BGIO},
                                                             {w.HID1, w.ToolBar_HID},
                                                             {w.GainSpan1, w.ToolBar_GainSpan}};
        // All four were switched on at start.
        for (const auto &[item, bar] : switches) {
            QVERIFY(bar->isVisible());
            QVERIFY(item->isChecked());
            item->trigger();
            QVERIFY(!bar->isVisible());
            QVERIFY(!item->isChecked());
            // Shown another way (the toolbars' own menu), the mark still follows.
            bar->toggleViewAction()->trigger();
            QVERIFY(bar->isVisible());
            QVERIFY(item->isChecked());
        }

        // The round trip through the settings file: two shown, two hidden.
        w.BGIO1->trigger();
        w.HID1->trigger();
        w.close();
        m_fx.window.reset();
        m_fx.window = startMain(false);
        TMain &again = *m_fx.window;
        QVERIFY(again.ToolBar_SPP->isVisible() && again.SPP1->isChecked());
        QVERIFY(again.ToolBar_GainSpan->isVisible() && again.GainSpan1->isChecked());
        QVERIFY(!again.ToolBar_BGIO->isVisible() && !again.BGIO1->isChecked());
        QVERIFY(!again.ToolBar_HID->isVisible() && !again.HID1->isChecked());
        // The command list's visibility is not kept.
        QVERIFY(!again.iWrap_ListBox->isVisible());
    }

    void commandListBesideItsSplitter()
    {
        TMain &w = *m_fx.window;
        QVERIFY(!w.iWrap_ListBox->isVisible());
        w.iWrapCommands->trigger();
        QVERIFY(w.iWrapCommands->isChecked());
        QVERIFY(w.iWrap_ListBox->isVisible());
        QSplitterHandle *handle = w.Splitter2->handle(1);
        QVERIFY(handle->isVisible());
        QCOMPARE(w.iWrap_ListBox->width(), 174);
        QCOMPARE(handle->width(), 5);
        QCOMPARE(handle->geometry().right() + 1, w.iWrap_ListBox->x());
        QCOMPARE(w.iWrap_ListBox->geometry().right(), w.Splitter2->width() - 1);
        QCOMPARE(w.iWrap_ListBox->count(), 53);
        w.iWrapCommands->trigger();
        QVERIFY(!w.iWrap_ListBox->isVisible());
        QVERIFY(!handle->isVisible());
    }

    // In the narrowest window (a 600-pixel request is raised to the main toolbar's row) with
    // every toolbar shown, a control that does not fit is in its toolbar's extension menu,
    // never simply cut off.
    void everyControlReachable()
    {
        TMain &w = *m_fx.window;
        w.resize(600, 400);
        QTest::qWait(50);
        QStringList names{"BCMD"};
        QList<ModuleCommand> all = sppToolbar() + bgioToolbar() + hidToolbar();
        for (const QList<ModuleCommand> &row : gainSpanRows())
            all += row;
        for (const ModuleCommand &command : all)
            names << command.name;
        int overflowed = 0;
        for (const QString &name : names) {
            auto *button = w.findChild<QAbstractButton *>(name);
            QVERIFY2(button, qPrintable(name));
            if (button->isVisible() &&
                button->mapTo(&w, button->rect().bottomRight()).x() < w.width())
                continue;
            auto *bar = qobject_cast<QToolBar *>(button->parentWidget());
            QVERIFY2(bar, qPrintable(name));
            auto *more = bar->findChild<QToolButton *>("qt_toolbar_ext_button");
            QVERIFY2(more && more->isVisible(), qPrintable(name));
            ++overflowed;
        }
        if (overflowed == 0)
            qInfo("every command button fits the narrowest window");
        for (const PioButton &pio : pioButtons()) {
            auto *button = w.findChild<QToolButton *>(pio.name);
            QVERIFY2(button->isVisible() ||
                         w.ToolBar1->findChild<QToolButton *>("qt_toolbar_ext_button")->isVisible(),
                     qPrintable(pio.name));
        }
    }

    void pioButtonsDescribeThemselves()
    {
        TMain &w = *m_fx.window;
        const QList<QToolButton *> buttons{w.SetOutput, w.Set_ON, w.Set_Off, w.Set55, w.SetAA};
        const QStringList names{"Set PIO direction", "PIO on", "PIO off", "PIO pattern 55",
                                "PIO pattern AA"};
        for (qsizetype i = 0; i < buttons.size(); ++i) {
            QToolButton *button = buttons[i];
            QCOMPARE(button->accessibleName(), names[i]);
            QCOMPARE(button->toolTip(), names[i]);
            // Drawn at 32 pixels and at twice that, not blank.
            for (const int size : {32, 64}) {
                const QImage image = button->icon().pixmap(size, size).toImage();
                QCOMPARE(image.width(), size);
                bool drawn = false;
                for (int y = 0; y < size && !drawn; ++y)
                    for (int x = 0; x < size && !drawn; ++x)
                        drawn = qAlpha(image.pixel(x, y)) > 0;
                QVERIFY2(drawn, qPrintable(names[i]));
            }
        }
        // Left to right: arrow, lit, unlit, 55, AA.
        for (qsizetype i = 1; i < buttons.size(); ++i)
            QVERIFY(buttons[i - 1]->x() < buttons[i]->x());
    }

private:
    std::unique_ptr<TMain> startMain(bool showToolbars = true)
    {
        auto w = m_fx.makeMain();
        w->show();
        // Wide enough for every command button, so the tests can click each one.
        w->resize(2400, 700);
        if (!QTest::qWaitForWindowExposed(w.get()))
            qWarning("window not exposed");
        for (QAction *item : {w->SPP1, w->BGIO1, w->HID1, w->GainSpan1}) {
            if (showToolbars && !item->isChecked())
                item->trigger();
        }
        QTest::qWait(20);
        // The reset sent on connecting is not part of what a test checks.
        sentSoFar(w->serial, *m_fx.module);
        w->ResetonConnect->setChecked(false);
        return w;
    }

    // Runs `action` with the line pauses recorded instead of waited for: each pause with the
    // bytes the module received since the one before.
    QList<QPair<int, QByteArray>> pausesDuring(const std::function<void()> &action)
    {
        QList<QPair<int, QByteArray>> pauses;
        zorvane::serial::setLinePauseHandler([&](int ms) {
            pauses.append({ms, m_fx.module->readAvailable()});
        });
        action();
        zorvane::serial::setLinePauseHandler({});
        return pauses;
    }

    void setHistory()
    {
        for (int i = 0; i < m_fx.window->SendString->count(); ++i)
            m_fx.window->SendString->setItemText(i, QStringLiteral("old%1").arg(i));
    }

    void addAddress(const QString &address)
    {
        m_fx.window->MAC_Address->addItem(address);
        m_fx.window->MAC_Address->setCurrentIndex(m_fx.window->MAC_Address->count() - 1);
    }

    // Clicks a control as a person would: a menu item is triggered as a menu click does,
    // a button gets a mouse click, a command-list line "list:..." a click on its row.
    void click(const QString &control)
    {
        TMain &w = *m_fx.window;
        if (control.startsWith("list:")) {
            if (!w.iWrap_ListBox->isVisible())
                w.iWrapCommands->trigger();
            const auto items = w.iWrap_ListBox->findItems(control.mid(5), Qt::MatchExactly);
            QVERIFY2(items.size() == 1, qPrintable(control));
            w.iWrap_ListBox->scrollToItem(items.first());
            const QRect rect = w.iWrap_ListBox->visualItemRect(items.first());
            QTest::mouseClick(w.iWrap_ListBox->viewport(), Qt::LeftButton, {}, rect.center());
            return;
        }
        for (QAction *item : w.Commands->actions()) {
            if (item->objectName() == control) {
                item->trigger();
                return;
            }
        }
        auto *button = w.findChild<QAbstractButton *>(control);
        QVERIFY2(button && button->isVisible(), qPrintable(control));
        QTest::mouseClick(button, Qt::LeftButton);
    }

    WindowFixture m_fx;
};

QTEST_MAIN(TestMainCommands)
#include "tst_main_commands.moc"
