// Connection control on the real main window, offscreen, with pseudo-terminals as ports: the
// COM and Parameters menus, status texts and caption, AutoDetect, the lost-port countdown with
// its quiet reopening, Reset on Connect, and the opening of the saved port at start-up.
#include "PtyModule.h"
#include "WindowFixture.h"
#include "app/MessageBoxes.h"
#include "app/main_window/MainForm.h"
#include "serial/PortNames.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>
#include <set>

using zorvane::serial::LineSettings;
using zorvane::serial::SerialIo;

namespace {
const QByteArray kResetLine("\rRESET\r\n\r");
} // namespace

class TestConnection : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void portItemOpensPort_data();
    void portItemOpensPort();
    void unusablePortItem_data();
    void unusablePortItem();
    void timerTicksDuringMessage();
    void refusedLineSettings_data();
    void refusedLineSettings();
    void noPortChosen_data();
    void noPortChosen();
    void lineValuesOutOfRange_data();
    void lineValuesOutOfRange();
    void baudItemReopens();
    void baudItemWithoutPort();
    void lineItemsWithoutPort();
    void autoDetect_data();
    void autoDetect();
    void autoDetectClosesOpenPort();
    void comMenuLayout();
    void lostPortCountsDownAndReopens();
    void lostPseudoTerminalWaitsForNewPin_data();
    void lostPseudoTerminalWaitsForNewPin();
    void offlineWithNoPortKnown();
    void baudRateZero();
    void documentsFolderCreatedAtStart();
    void startupOpensSavedPort_data();
    void startupOpensSavedPort();

private:
    std::unique_ptr<TMain> makeMain();
    std::unique_ptr<PtyModule> plugIn(int port);
    // Checks which of COM1 to COM100 carry a mark.
    static std::set<int> markedPorts(const TMain &w);
    // Drives receive ticks by hand until tick_count has reached `tick`, collecting each new
    // status text.
    static void tickUntil(TMain &w, int tick, QStringList *statuses = nullptr);

    WindowFixture m_fx;
    QString &m_docs = m_fx.docs;
    QStringList &m_messages = m_fx.messages;
};

void TestConnection::initTestCase()
{
    QVERIFY(m_fx.setUp());
}

void TestConnection::init()
{
    m_fx.reset();
}

void TestConnection::cleanup()
{
    m_fx.tearDown();
}

std::unique_ptr<TMain> TestConnection::makeMain()
{
    return m_fx.makeMain();
}

std::unique_ptr<PtyModule> TestConnection::plugIn(int port)
{
    return m_fx.plugIn(port);
}

std::set<int> TestConnection::markedPorts(const TMain &w)
{
    std::set<int> marked;
    for (int port = 1; port <= 100; ++port) {
        if (w.com_items[static_cast<size_t>(port)]->isChecked())
            marked.insert(port);
    }
    return marked;
}

void TestConnection::tickUntil(TMain &w, int tick, QStringList *statuses)
{
    while (w.tick_count < tick) {
        w.Timer1Timer();
        if (statuses && (statuses->isEmpty() || statuses->last() != w.StatusBarPanel1->text()))
            *statuses << w.StatusBarPanel1->text();
    }
}

void TestConnection::portItemOpensPort_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<int>("markedBaudItem");
    QTest::addColumn<QString>("status");
    QTest::newRow("9600 8N1") << 9600 << 1 << 3 << "COM5 9600 8N1- Online";
    QTest::newRow("1200") << 1200 << 1 << 0 << "COM5 1200 8N1- Online";
    QTest::newRow("below 1000 padded") << 300 << 1 << -1 << "COM5 0300 8N1- Online";
    QTest::newRow("two stop bits") << 115200 << 2 << 7 << "COM5 115200 8N2- Online";
}

void TestConnection::portItemOpensPort()
{
    QFETCH(int, baud);
    QFETCH(int, stopBits);
    QFETCH(int, markedBaudItem);
    QFETCH(QString, status);
    auto module = plugIn(5);
    auto w = makeMain();
    w->baud_rate = baud;
    w->stop_bits = stopBits;

    w->com_items[5]->trigger();

    QCOMPARE(w->StatusBarPanel1->text(), status);
    QCOMPARE(w->windowTitle(), "Zorvane " + status);
    QCOMPARE(w->serial.com_port, 5);
    QCOMPARE(w->serial.last_com_port, 5);
    QCOMPARE(markedPorts(*w), std::set<int>{5});
    QVERIFY(!w->com_items[0]->isChecked());
    for (int i = 0; i < 8; ++i)
        QCOMPARE(w->baud_items[static_cast<size_t>(i)]->isChecked(), i == markedBaudItem);
    QCOMPARE(w->N2stopbits1->isChecked(), stopBits == 2);
    QVERIFY(w->NoParity1->isChecked() && w->N8DataBits1->isChecked());
    QVERIFY(m_messages.isEmpty());
    QCOMPARE(w->serial.lastRequested(), (LineSettings{baud, 8, 0, stopBits}));
    // Reset on Connect is off: nothing goes out on opening.
    QCOMPARE(sentSoFar(w->serial, *module), QByteArray());

    // Choosing another port closes this one and releases it.
    auto other = plugIn(6);
    w->com_items[6]->trigger();
    QCOMPARE(markedPorts(*w), std::set<int>{6});
    SerialIo probe;
    probe.setDocumentsFolder(m_docs);
    QVERIFY(probe.c_open(5, 9600, 8, 0, 1));
}

void TestConnection::unusablePortItem_data()
{
    QTest::addColumn<bool>("busy");
    QTest::newRow("absent") << false;
    QTest::newRow("busy") << true;
}

void TestConnection::unusablePortItem()
{
    QFETCH(bool, busy);
    std::unique_ptr<PtyModule> module;
    SerialIo holder;
    if (busy) {
        module = plugIn(7);
        holder.setDocumentsFolder(m_docs);
        QVERIFY(holder.c_open(7, 115200, 8, 0, 1));
    }
    auto open = plugIn(5);
    auto w = makeMain();
    w->set_comx(5, true);
    QVERIFY(w->serial.holdsDevice());

    w->com_items[7]->trigger();

    QCOMPARE(m_messages, QStringList{"Unable to Open Port COM7"});
    QCOMPARE(w->StatusBarPanel1->text(), "COM7 - OffLine");
    QCOMPARE(w->windowTitle(), "Zorvane COM7 - OffLine");
    QCOMPARE(w->serial.com_port, 0);
    QCOMPARE(w->serial.last_com_port, 7);
    QCOMPARE(markedPorts(*w), std::set<int>{7});
    QVERIFY(!w->com_items[0]->isChecked());
    // Nothing stays held while the window shows off line, not even the port left behind.
    QVERIFY(!w->serial.holdsDevice());
    SerialIo probe;
    probe.setDocumentsFolder(m_docs);
    QVERIFY(probe.c_open(5, 115200, 8, 0, 1));
}

void TestConnection::timerTicksDuringMessage()
{
    auto w = makeMain();
    w->tick_count = 0;
    // The receive timer goes on while a message box is open: stand in for a user who takes
    // a couple of seconds to close it.
    zorvane::app::setMessageHandler([&](QWidget *, const QString &text) {
        m_messages << text;
        for (int i = 0; i < 100; ++i)
            w->Timer1Timer();
    });

    w->com_items[7]->trigger();

    zorvane::app::setMessageHandler([this](QWidget *, const QString &text) { m_messages << text; });
    QCOMPARE(m_messages, QStringList{"Unable to Open Port COM7"});
    QCOMPARE(w->StatusBarPanel1->text(), "COM7 Offline 8s");
    QCOMPARE(w->windowTitle(), "Zorvane COM7 - OffLine");
}

void TestConnection::refusedLineSettings_data()
{
    // Values only the settings file can set; pseudo-terminals here refuse all of them.
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("stopBits");
    QTest::newRow("7N1") << 7 << 0 << 1;
    QTest::newRow("8E1") << 8 << 2 << 1;
    QTest::newRow("8O1") << 8 << 1 << 1;
    QTest::newRow("7O2") << 7 << 1 << 2;
}

void TestConnection::refusedLineSettings()
{
    QFETCH(int, dataBits);
    QFETCH(int, parity);
    QFETCH(int, stopBits);
    auto module = plugIn(5);
    auto w = makeMain();
    w->ResetonConnect->setChecked(true);
    w->baud_rate = 9600;
    w->data_bits = dataBits;
    w->parity = parity;
    w->stop_bits = stopBits;

    w->set_comx(5, true);

    QCOMPARE(w->serial.lastRequested(), (LineSettings{9600, dataBits, parity, stopBits}));
    QCOMPARE(m_messages, QStringList{"Unable to Open Port COM5"});
    QCOMPARE(w->StatusBarPanel1->text(), "COM5 - OffLine");
    QCOMPARE(w->windowTitle(), "Zorvane COM5 - OffLine");
    QCOMPARE(w->serial.com_port, 0);
    QCOMPARE(w->N7DataBits1->isChecked(), dataBits == 7);
    QCOMPARE(w->oddparity1->isChecked(), parity == 1);
    QCOMPARE(w->EvenParity1->isChecked(), parity == 2);
    QCOMPARE(w->N2stopbits1->isChecked(), stopBits == 2);
    QVERIFY(!w->serial.holdsDevice());
    // No reset went out, and the device is free for someone else.
    QCOMPARE(module->readAvailable(), QByteArray());
    SerialIo probe;
    probe.setDocumentsFolder(m_docs);
    QVERIFY(probe.c_open(5, 9600, 8, 0, 1));
}

void TestConnection::noPortChosen_data()
{
    QTest::addColumn<int>("com");
    QTest::addColumn<int>("last");
    QTest::addColumn<QString>("status");
    QTest::newRow("none yet") << 0 << 0 << "AutoDetect - OffLine";
    QTest::newRow("after COM7") << 0 << 7 << "COM7 - OffLine";
    QTest::newRow("101 is none") << 101 << 0 << "AutoDetect - OffLine";
    QTest::newRow("negative is none") << -4 << 0 << "AutoDetect - OffLine";
    QTest::newRow("huge is none") << 100000 << 0 << "AutoDetect - OffLine";
}

void TestConnection::noPortChosen()
{
    QFETCH(int, com);
    QFETCH(int, last);
    QFETCH(QString, status);
    auto w = makeMain();
    w->com_items[9]->setChecked(true);
    w->serial.last_com_port = last;

    w->set_comx(com, true);

    QCOMPARE(w->StatusBarPanel1->text(), status);
    QCOMPARE(w->windowTitle(), "Zorvane " + status);
    QCOMPARE(w->serial.com_port, 0);
    QVERIFY(w->com_items[0]->isChecked());
    QVERIFY(markedPorts(*w).empty());
    QVERIFY(m_messages.isEmpty());
}

void TestConnection::lineValuesOutOfRange_data()
{
    // Values only a damaged settings file hands over: the port runs 8N1, and so say the
    // status and the marks.
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("stopBits");
    QTest::newRow("parity 3") << 8 << 3 << 1;
    QTest::newRow("parity -1") << 8 << -1 << 1;
    QTest::newRow("5 data bits") << 5 << 0 << 1;
    QTest::newRow("0 data bits") << 0 << 0 << 1;
    QTest::newRow("3 stop bits") << 8 << 0 << 3;
    QTest::newRow("0 stop bits") << 8 << 0 << 0;
}

void TestConnection::lineValuesOutOfRange()
{
    QFETCH(int, dataBits);
    QFETCH(int, parity);
    QFETCH(int, stopBits);
    auto module = plugIn(5);
    auto w = makeMain();
    w->data_bits = dataBits;
    w->parity = parity;
    w->stop_bits = stopBits;

    w->set_comx(5, true);

    QCOMPARE(w->StatusBarPanel1->text(), "COM5 115200 8N1- Online");
    QCOMPARE(w->parity, 0);
    QCOMPARE(w->data_bits, 8);
    QCOMPARE(w->stop_bits, 1);
    QCOMPARE(w->serial.lastRequested(), (LineSettings{115200, 8, 0, 1}));
    QVERIFY(w->NoParity1->isChecked());
    QVERIFY(!w->oddparity1->isChecked() && !w->EvenParity1->isChecked());
    QVERIFY(w->N8DataBits1->isChecked() && !w->N7DataBits1->isChecked());
    QVERIFY(w->N1stopbit1->isChecked() && !w->N2stopbits1->isChecked());
}

void TestConnection::baudItemReopens()
{
    auto module = plugIn(3);
    auto w = makeMain();
    w->baud_rate = 9600;
    w->set_comx(3, true);
    termios before = module->programSideSettings();
    QCOMPARE(cfgetospeed(&before), speed_t(B9600));

    w->baud_items[7]->trigger();

    QCOMPARE(w->baud_rate, 115200);
    QCOMPARE(w->StatusBarPanel1->text(), "COM3 115200 8N1- Online");
    QCOMPARE(w->windowTitle(), "Zorvane COM3 115200 8N1- Online");
    termios held = module->programSideSettings();
    QCOMPARE(cfgetospeed(&held), speed_t(B115200));
    for (int i = 0; i < 8; ++i)
        QCOMPARE(w->baud_items[static_cast<size_t>(i)]->isChecked(), i == 7);
    QCOMPARE(markedPorts(*w), std::set<int>{3});
    QVERIFY(m_messages.isEmpty());
    w->c_write(QStringLiteral("ok"));
    QCOMPARE(module->readAtLeast(2), QByteArray("ok"));
}

void TestConnection::baudItemWithoutPort()
{
    auto w = makeMain();
    w->set_comx(7, true); // absent: the window now shows COM7 off line
    m_messages.clear();

    w->baud_items[0]->trigger();

    QCOMPARE(w->baud_rate, 1200);
    QVERIFY(w->baud_items[0]->isChecked());
    QVERIFY(!w->baud_items[7]->isChecked());
    QCOMPARE(w->StatusBarPanel1->text(), "COM7 - OffLine");
    QVERIFY(m_messages.isEmpty());
}

void TestConnection::lineItemsWithoutPort()
{
    auto w = makeMain();
    w->set_comx(7, true); // absent: the window now shows COM7 off line
    m_messages.clear();

    w->EvenParity1->trigger();
    w->N7DataBits1->trigger();
    w->N2stopbits1->trigger();

    QCOMPARE(w->parity, 2);
    QCOMPARE(w->data_bits, 7);
    QCOMPARE(w->stop_bits, 2);
    QVERIFY(w->EvenParity1->isChecked() && !w->NoParity1->isChecked());
    QVERIFY(w->N7DataBits1->isChecked() && !w->N8DataBits1->isChecked());
    QVERIFY(w->N2stopbits1->isChecked() && !w->N1stopbit1->isChecked());
    QCOMPARE(w->StatusBarPanel1->text(), "COM7 - OffLine");
    QVERIFY(m_messages.isEmpty());
}

void TestConnection::autoDetect_data()
{
    QTest::addColumn<QList<int>>("present");
    QTest::addColumn<QStringList>("visibleGroups");
    QTest::newRow("COM3 and COM12") << QList<int>{3, 12} << QStringList{};
    QTest::newRow("COM3 and COM33") << QList<int>{3, 33} << QStringList{"COM31-40"};
    QTest::newRow("COM71 and COM100")
        << QList<int>{71, 100} << QStringList{"COM71-80", "COM91-100"};
    QTest::newRow("none") << QList<int>{} << QStringList{};
}

void TestConnection::autoDetect()
{
    QFETCH(QList<int>, present);
    QFETCH(QStringList, visibleGroups);
    std::vector<std::unique_ptr<PtyModule>> modules;
    for (int port : present)
        modules.push_back(plugIn(port));
    auto w = makeMain();
    const QString status = w->StatusBarPanel1->text();

    w->com_items[0]->trigger(); // switched on
    QVERIFY(w->com_items[0]->isChecked());

    for (int port = 1; port <= 100; ++port)
        QCOMPARE(w->com_items[static_cast<size_t>(port)]->isVisible(), present.contains(port));
    for (QMenu *group : w->com_groups)
        QCOMPARE(group->menuAction()->isVisible(), visibleGroups.contains(group->title()));
    QCOMPARE(w->StatusBarPanel1->text(), status);
    QCOMPARE(w->serial.com_port, 0);
    QVERIFY(!w->serial.holdsDevice());
    QVERIFY(m_messages.isEmpty());
    // The probe neither writes nor keeps a port.
    for (size_t i = 0; i < modules.size(); ++i) {
        QCOMPARE(modules[i]->readAvailable(), QByteArray());
        SerialIo probe;
        probe.setDocumentsFolder(m_docs);
        QVERIFY(probe.c_open(present[static_cast<qsizetype>(i)], 115200, 8, 0, 1));
    }

    w->com_items[0]->trigger(); // switched off
    QVERIFY(!w->com_items[0]->isChecked());
    for (int port = 1; port <= 100; ++port)
        QVERIFY(w->com_items[static_cast<size_t>(port)]->isVisible());
    for (QMenu *group : w->com_groups)
        QVERIFY(group->menuAction()->isVisible());
}

void TestConnection::autoDetectClosesOpenPort()
{
    auto module = plugIn(3);
    auto w = makeMain();
    w->set_comx(3, true);
    const QString online = w->StatusBarPanel1->text();
    QCOMPARE(online, "COM3 115200 8N1- Online");

    w->com_items[0]->trigger();

    // Closed before the probe, so the probe finds it; the status text is left alone.
    QVERIFY(!w->serial.holdsDevice());
    QCOMPARE(w->serial.com_port, 0);
    // The probe's own closing of COM3 hands over the 0 left by the first close.
    QCOMPARE(w->serial.last_com_port, 0);
    QVERIFY(w->com_items[3]->isVisible());
    QVERIFY(!w->com_items[4]->isVisible());
    QCOMPARE(w->StatusBarPanel1->text(), online);
    SerialIo probe;
    probe.setDocumentsFolder(m_docs);
    QVERIFY(probe.c_open(3, 115200, 8, 0, 1));
}

void TestConnection::comMenuLayout()
{
    QFile::remove(zorvane::serial::overrideLinkPath(m_docs, 11));
    QFile::remove(zorvane::serial::overrideLinkPath(m_docs, 71));
    auto module = plugIn(12);
    auto w = makeMain();

    const QList<QAction *> top = w->COM->actions();
    // The menu's own items, then behind a separator the pin dialog.
    QCOMPARE(top.size(), 1 + 20 + 8 + 2);
    QVERIFY(top[29]->isSeparator());
    QCOMPARE(top[30]->text(), "Pin Port...");
    QCOMPARE(top[0], w->com_items[0]);
    QCOMPARE(top[0]->text(), "AutoDetect");
    for (int port = 1; port <= 20; ++port)
        QCOMPARE(top[port], w->com_items[static_cast<size_t>(port)]);
    for (int group = 0; group < 8; ++group) {
        const int first = 21 + 10 * group;
        QMenu *sub = top[21 + group]->menu();
        QVERIFY(sub);
        QCOMPARE(sub->title(), QStringLiteral("COM%1-%2").arg(first).arg(first + 9));
        QList<int> order;
        for (QAction *item : sub->actions())
            order << w->comItemName(static_cast<int>(
                                        std::find(w->com_items.begin(), w->com_items.end(), item) -
                                        w->com_items.begin()))
                         .mid(3)
                         .toInt();
        QList<int> expected;
        for (int i = 0; i < 10; ++i)
            expected << first + i;
        if (first == 31)
            std::swap(expected[2], expected[3]); // COM34 is listed before COM33
        QCOMPARE(order, expected);
    }
    for (int port = 0; port <= 100; ++port)
        QCOMPARE(w->comItemName(port),
                 port == 0 ? QStringLiteral("AutoDetect") : QStringLiteral("COM%1").arg(port));

    // The second column shows the device a number opens, links included, from the start...
    QCOMPARE(w->com_items[11]->text(), "COM11\t/dev/ttyACM0");
    QCOMPARE(w->com_items[12]->text(), "COM12\t" + module->slavePath());
    QCOMPARE(w->com_items[71]->text(), "COM71");
    QCOMPARE(w->com_items[1]->text(), "COM1\t/nonexistent/COM1");
    // ...and a link made while the program runs shows the next time the menu opens.
    auto later = plugIn(71);
    emit w->COM->aboutToShow();
    QCOMPARE(w->com_items[71]->text(), "COM71\t" + later->slavePath());

    QStringList parameters;
    for (QAction *item : w->Parameters->actions())
        parameters << (item->isSeparator() ? QStringLiteral("|") : item->text());
    QCOMPARE(parameters.join(QLatin1Char(',')),
             "1200,2400,4800,9600,19200,38400,57600,115200,|,No Parity,Even Parity,Odd Parity,"
             "|,7 DataBits,8 Databits,|,1 stop bit,2 stop bits"
             // The additions, each group behind a separator after the menu's own.
             ",|,230400,460800,921600,1000000,1500000,2000000,3000000,Other Rate...,"
             "|,No Flow Control,RTS/CTS,XON/XOFF");
}

void TestConnection::lostPortCountsDownAndReopens()
{
    auto module = plugIn(4);
    auto w = makeMain();
    w->ResetonConnect->setChecked(true);
    w->set_comx(4, true);
    const QString online = "COM4 115200 8N1- Online";
    QCOMPARE(w->StatusBarPanel1->text(), online);
    QCOMPARE(module->readAtLeast(kResetLine.size()), kResetLine);
    w->tick_count = 0;

    module->unplug();
    // Nothing is noticed before the first tick after the 50th.
    tickUntil(*w, 50);
    QCOMPARE(w->StatusBarPanel1->text(), online);
    QStringList statuses;
    tickUntil(*w, 500, &statuses);
    QStringList countdown;
    for (int s = 9; s >= 0; --s)
        countdown << QStringLiteral("COM4 Offline %1s").arg(s);
    QCOMPARE(statuses, countdown);
    QCOMPARE(w->serial.last_com_port, 4);
    QCOMPARE(w->serial.com_port, 0);
    // The countdown stays out of the caption.
    QCOMPARE(w->windowTitle(), "Zorvane " + online);

    // Still unplugged at the 501st tick: a quiet failed reopening, then the next countdown.
    w->Timer1Timer();
    QCOMPARE(w->tick_count, 0);
    QCOMPARE(w->StatusBarPanel1->text(), "COM4 - OffLine");
    QCOMPARE(w->windowTitle(), "Zorvane COM4 - OffLine");
    QVERIFY(m_messages.isEmpty());
    tickUntil(*w, 51);
    QCOMPARE(w->StatusBarPanel1->text(), "COM4 Offline 9s");

    // Plugged back in at the same number: the next reopening finds it and resets the module.
    module = plugIn(4);
    tickUntil(*w, 500);
    QVERIFY(!w->serial.holdsDevice());
    w->Timer1Timer();
    QCOMPARE(w->StatusBarPanel1->text(), online);
    QCOMPARE(w->windowTitle(), "Zorvane " + online);
    QCOMPARE(w->serial.com_port, 4);
    QVERIFY(w->serial.holdsDevice());
    QVERIFY(m_messages.isEmpty());
    QCOMPARE(module->readAtLeast(kResetLine.size()), kResetLine);

    // Healthy again: the idle link check on the 51st tick starts the count afresh.
    for (int i = 0; i < 51; ++i)
        w->Timer1Timer();
    QCOMPARE(w->tick_count, 0);
    QCOMPARE(w->StatusBarPanel1->text(), online);
}

void TestConnection::lostPseudoTerminalWaitsForNewPin_data()
{
    QTest::addColumn<bool>("openBeforeLoss");
    QTest::newRow("lost while open") << true;
    QTest::newRow("gone before the open") << false;
}

void TestConnection::lostPseudoTerminalWaitsForNewPin()
{
    QFETCH(bool, openBeforeLoss);
    auto module = plugIn(4);
    const QString name = module->slavePath();
    auto w = makeMain();
    w->ResetonConnect->setChecked(true);
    if (openBeforeLoss) {
        w->set_comx(4, true);
        QCOMPARE(module->readAtLeast(kResetLine.size()), kResetLine);
        w->tick_count = 0;
        module->vanish(); // a simulator killed: its pin still names the pseudo-terminal
        tickUntil(*w, 500);
        QVERIFY(!w->serial.holdsDevice());
    } else {
        module->vanish();
        w->set_comx(4, true);
        QCOMPARE(m_messages, QStringList{"Unable to Open Port COM4"});
        m_messages.clear();
        w->tick_count = 0;
        tickUntil(*w, 500);
    }

    // Another program gets the number; the quiet reopenings leave its terminal alone.
    auto stranger = ptyNamed(name);
    if (!stranger)
        QSKIP("another process took the pseudo-terminal's number first");
    for (int round = 0; round < 2; ++round) {
        w->Timer1Timer();
        QCOMPARE(w->StatusBarPanel1->text(), "COM4 - OffLine");
        QVERIFY(!w->serial.holdsDevice());
        tickUntil(*w, 500);
    }
    QCOMPARE(stranger->readAvailable(), QByteArray());
    QVERIFY(m_messages.isEmpty());

    // The simulator starts again and makes its pin anew: the next reopening finds it.
    auto restarted = plugIn(4);
    w->Timer1Timer();
    QCOMPARE(w->StatusBarPanel1->text(), "COM4 115200 8N1- Online");
    QCOMPARE(restarted->readAtLeast(kResetLine.size()), kResetLine);
    QCOMPARE(stranger->readAvailable(), QByteArray());
    QVERIFY(m_messages.isEmpty());
}

void TestConnection::offlineWithNoPortKnown()
{
    auto w = makeMain();
    w->set_comx(0, true);
    QCOMPARE(w->StatusBarPanel1->text(), "AutoDetect - OffLine");
    w->tick_count = 0;

    tickUntil(*w, 51);
    QCOMPARE(w->StatusBarPanel1->text(), "Offline");
    tickUntil(*w, 500);
    w->Timer1Timer();
    QCOMPARE(w->StatusBarPanel1->text(), "AutoDetect - OffLine");
    QVERIFY(m_messages.isEmpty());
}

void TestConnection::baudRateZero()
{
    auto module = plugIn(5);
    auto w = makeMain();
    w->baud_rate = 0;

    w->set_comx(5, true);

    QCOMPARE(m_messages, (QStringList{"Zorvane Error - Baud rate=0!", "Unable to Open Port COM5"}));
    QCOMPARE(w->StatusBarPanel1->text(), "COM5 - OffLine");
    QVERIFY(!w->serial.holdsDevice());

    // The probe reports it once, not once per port number.
    m_messages.clear();
    w->com_items[0]->trigger();
    QCOMPARE(m_messages, QStringList{"Zorvane Error - Baud rate=0!"});
    QVERIFY(!w->com_items[5]->isVisible());
}

void TestConnection::documentsFolderCreatedAtStart()
{
    // A fresh account may have no documents folder at all.
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QByteArray savedHome = qgetenv("HOME");
    const QString docs = useTemporaryHome(home.path());
    QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral("Documents"))));
    {
        TMain w;
        w.Timer1->stop();
        QCOMPARE(w.DocumentsFolder, docs);
        QVERIFY(QFileInfo(docs).isDir());
        QVERIFY(docs.endsWith(QStringLiteral("/Zorvane/")));
    }
    qputenv("HOME", savedHome);
}

void TestConnection::startupOpensSavedPort_data()
{
    QTest::addColumn<bool>("present");
    QTest::newRow("COM1 present") << true;
    QTest::newRow("COM1 absent") << false;
}

void TestConnection::startupOpensSavedPort()
{
    QFETCH(bool, present);
    std::unique_ptr<PtyModule> module;
    if (present)
        module = plugIn(1);
    auto second = plugIn(15);
    auto w = makeMain();

    w->show();
    // Start-up runs once the window is on screen; it turns Reset on Connect on.
    QTRY_VERIFY(w->ResetonConnect->isChecked());

    QVERIFY(w->com_items[0]->isChecked());
    QCOMPARE(w->com_items[15]->isVisible(), true);
    QCOMPARE(w->com_items[2]->isVisible(), false);
    // The saved port's item is shown whether or not it was found.
    QVERIFY(w->com_items[1]->isVisible());
    QCOMPARE(markedPorts(*w), std::set<int>{1});
    if (present) {
        QCOMPARE(w->StatusBarPanel1->text(), "COM1 115200 8N1- Online");
        QCOMPARE(w->windowTitle(), "Zorvane COM1 115200 8N1- Online");
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(module->readAtLeast(kResetLine.size()), kResetLine);
    } else {
        QCOMPARE(w->StatusBarPanel1->text(), "COM1 - OffLine");
        QCOMPARE(w->windowTitle(), "Zorvane COM1 - OffLine");
        QCOMPARE(m_messages, QStringList{"Unable to Open Port COM1"});
    }
    // The probe left the other present port free.
    QCOMPARE(second->readAvailable(), QByteArray());
    SerialIo probe;
    probe.setDocumentsFolder(m_docs);
    QVERIFY(probe.c_open(15, 115200, 8, 0, 1));

    // Closing the window releases the port.
    w.reset();
    if (present)
        QVERIFY(probe.c_open(1, 115200, 8, 0, 1));
}

QTEST_MAIN(TestConnection)
#include "tst_connection.moc"
