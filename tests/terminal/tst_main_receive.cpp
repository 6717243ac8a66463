// The receive side of the real main window with a pseudo-terminal as its port: lines from
// the port, the inquiry capture, AddString and AddtoList, clearing, the colour schemes, and
// floods and a vanishing port that must reach the list whole.
#include "PtyModule.h"
#include "WindowFixture.h"
#include "WindowText.h"
#include "app/main_window/MainForm.h"
#include "terminal/view/TerminalModel.h"

#include <QAction>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QLabel>
#include <QListView>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

constexpr int kPort = 5;

QString joined(const TMain &window)
{
    return listLines(window).join(QString());
}

// Runs receive ticks as the timer would until `done` holds; the pseudo-terminal may hand
// written bytes over a moment later, so this waits for them rather than assuming.

} // namespace

class TestMainReceive : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_fx.setUp()); }

    void init()
    {
        m_fx.reset();
        QVERIFY(m_fx.openOn(kPort));
    }

    void cleanup() { m_fx.tearDown(); }

    void linesFromThePort()
    {
        TMain &w = *m_fx.window;
        w.Echo1->setChecked(true);
        QVERIFY(m_fx.module->write("OK\r\nAB\r"));
        QVERIFY(tickUntil(w, [&] { return w.ListModel->lines().size() == 3; }));
        QCOMPARE(listLines(w), (QStringList{"OK", "RX<= AB", "RX<= "}));

        // A burst wraps at the window's width / 8 within a tick, and a tick takes 256 bytes.
        w.Clear1Click();
        w.Echo1->setChecked(false);
        const int wrap = w.width() / 8;
        QVERIFY2(wrap > 0 && wrap + 1 < 256, "the wrap must show within one tick");
        QVERIFY(m_fx.module->write(QByteArray(300, 'a')));
        QVERIFY(tickUntil(w, [&] { return !w.ListModel->lines().isEmpty(); }));
        QCOMPARE(joined(w), QString(256, u'a'));
        QCOMPARE(w.ListModel->lines().length(0), wrap + 1);
        w.Timer1Timer();
        QCOMPARE(joined(w), QString(300, u'a'));
    }

    void timerDrivesTheList()
    {
        // The running timer shows received lines and keeps the last one selected.
        TMain &w = *m_fx.window;
        w.Timer1->start();
        QVERIFY(m_fx.module->write("hello\rworld"));
        QTRY_COMPARE(w.ListModel->rowCount(), 2);
        QTRY_COMPARE(w.ListModel->index(1).data().toString(), QStringLiteral("world"));
        QCOMPARE(w.ListModel->index(0).data().toString(), QStringLiteral("hello"));
        QCOMPARE(w.ListBox1->currentIndex().row(), 1);
    }

    void optionsAreReadFromTheMenus()
    {
        TMain &w = *m_fx.window;
        w.HexMode->setChecked(true);
        QVERIFY(m_fx.module->write("A\r"));
        QVERIFY(tickUntil(w, [&] { return w.ListModel->lines().size() == 2; }));
        w.HexMode->setChecked(false);
        w.AddLineFeedton1->setChecked(true);
        w.UnReadable1->setChecked(true);
        QVERIFY(m_fx.module->write("\xE9\a\n"));
        QVERIFY(tickUntil(w, [&] { return w.ListModel->lines().size() == 3; }));
        QCOMPARE(listLines(w), (QStringList{"41 0D ", QString::fromLatin1("\xE9\a"), ""}));
    }

    void escapeReadsWaitForTheirBytes()
    {
        TMain &w = *m_fx.window;
        // The rest of a sequence never came: each read that found nothing gives 255.
        QVERIFY(m_fx.module->write("\x1b["));
        QVERIFY(tickUntil(w, [&] { return !w.ListModel->lines().isEmpty(); }));
        QCOMPARE(listLines(w), QStringList{QString::fromLatin1("\x1b[\xFF\xFF")});

        // The window's own ShowRxChar: an escape takes the next three bytes from the port.
        QVERIFY(m_fx.module->write("[1m"));
        QByteArray pending("x");
        int byte = 27;
        w.ShowRxChar(byte, pending);
        QCOMPARE(pending, QByteArray("x\x1b[1m"));
        byte = 0x107;
        w.ShowRxChar(byte, pending);
        QCOMPARE(byte, 7);
        QCOMPARE(pending, QByteArray("x\x1b[1m<07>"));
    }

    void inquiryFillsTheAddressList()
    {
        TMain &w = *m_fx.window;
        QCOMPARE(comboEntries(w.MAC_Address), QStringList{"Unknown MAC"});
        const QByteArray first("INQUIRY 00:07:80:12:34:56 20080 -57\r");
        const QByteArray second("INQUIRY 00:07:80:AB:CD:EF 20080 -60\r");
        QVERIFY(m_fx.module->write(first + first));
        QVERIFY(tickUntil(w, [&] { return w.ListModel->lines().size() == 3; }));
        QCOMPARE(w.MAC->text(), QStringLiteral("00:07:80:12:34:56"));
        QCOMPARE(comboEntries(w.MAC_Address), QStringList{"00:07:80:12:34:56"});

        QVERIFY(m_fx.module->write(second + first));
        QVERIFY(tickUntil(w, [&] { return w.ListModel->lines().size() == 5; }));
        QCOMPARE(comboEntries(w.MAC_Address),
                 (QStringList{"00:07:80:12:34:56", "00:07:80:AB:CD:EF"}));
        // The last entry is selected even when the address was found at another position.
        QCOMPARE(w.MAC->text(), QStringLiteral("00:07:80:12:34:56"));
        QCOMPARE(w.MAC_Address->currentIndex(), 1);

        // Lines that only look like a result never read outside their text.
        w.CaptureInquiry("INQUIRY 2");
        QCOMPARE(w.MAC_Address->count(), 2);
        w.CaptureInquiry("INQUIRY:");
        QCOMPARE(w.MAC->text(), QStringLiteral("RY:"));
        w.CaptureInquiry(":INQUIRY");
        QCOMPARE(w.MAC->text(), QStringLiteral(":INQUIRY"));
    }

    void addStringAndAddtoList()
    {
        TMain &w = *m_fx.window;
        w.AddtoList(0, QStringLiteral("x"));
        w.AddString(QStringLiteral("a\r\nb"));
        QCOMPARE(listLines(w), (QStringList{"xa", "b"}));
        w.AddtoList(1, QStringLiteral("c\rd\ne"));
        QCOMPARE(listLines(w), (QStringList{"xa", "bc d e", ""}));
        // Text beyond Latin-1 is kept, not cut to bytes.
        w.Echo1->setChecked(true);
        w.AddString(QStringLiteral("\u20AC\r\n\r\nend"));
        QCOMPARE(listLines(w),
                 (QStringList{"xa", "bc d e", QStringLiteral("\u20AC"), "RX<= ", "RX<= end"}));
        QCOMPARE(w.ListBox1->currentIndex().row(), 4);

        QCOMPARE(w.SplitString(QStringLiteral("\r\n"), QStringLiteral("ab\r\ncd\r\n")), 3);
        QCOMPARE(w.split_head, QStringLiteral("ab"));
        QCOMPARE(w.split_tail, QStringLiteral("cd\r\n"));
        // Not found: both results keep their values.
        QCOMPARE(w.SplitString(QStringLiteral("\r\n"), QStringLiteral("plain")), 0);
        QCOMPARE(w.split_head, QStringLiteral("ab"));
        QCOMPARE(w.SplitString(QString(), QStringLiteral("plain")), 0);
    }

    void clearing()
    {
        TMain &w = *m_fx.window;
        w.AddString(QStringLiteral("one\r\ntwo"));
        w.Clear1->trigger();
        QCOMPARE(w.ListModel->lines().size(), 0);
        QCOMPARE(w.ListModel->rowCount(), 0);

        QVERIFY(m_fx.module->write("old\r"));
        QVERIFY(tickUntil(w, [&] { return w.ListModel->lines().size() == 2; }));
        QVERIFY(m_fx.module->write("gone\x1b[2Jnew"));
        QVERIFY(tickUntil(w, [&] { return joined(w) == QStringLiteral("new"); }));
        QCOMPARE(listLines(w), QStringList{"new"});
    }

    void colourSchemes()
    {
        TMain &w = *m_fx.window;
        w.AddString(QStringLiteral("a\r\nb"));
        const QModelIndex first = w.ListModel->index(0);

        w.GreenonBlack->setChecked(false);
        w.GreenonBlackClick();
        QCOMPARE(w.item_style, zorvane::terminal::LineStyle::Standard);
        QCOMPARE(first.data(Qt::BackgroundRole).value<QColor>(), QColor(0xF0F8FF));
        QCOMPARE(first.data(Qt::ForegroundRole).value<QColor>(), QColor(0x000080));
        // A selected line keeps the scheme's text colour, on a bar of its own.
        QCOMPARE(w.ListBox1->palette().color(QPalette::Highlight), QColor(0xB0C4DE));
        QCOMPARE(w.ListBox1->palette().color(QPalette::HighlightedText), QColor(0x000080));

        w.GreenonBlack->trigger();
        QVERIFY(w.GreenonBlack->isChecked());
        QCOMPARE(w.item_style, zorvane::terminal::LineStyle::Green);
        QCOMPARE(first.data(Qt::BackgroundRole).value<QColor>(), QColor(Qt::black));
        QCOMPARE(first.data(Qt::ForegroundRole).value<QColor>(), QColor(0x7CFC00));
        QCOMPARE(w.ListBox1->palette().color(QPalette::Base), QColor(Qt::black));
        QCOMPARE(w.ListBox1->palette().color(QPalette::Highlight), QColor(0x2F4F4F));
        QCOMPARE(w.ListBox1->palette().color(QPalette::HighlightedText), QColor(0x7CFC00));
    }

    void floodsReachTheList_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("hex");
        QTest::addColumn<QString>("shown");

        QByteArray binary(48 * 1024, Qt::Uninitialized);
        QRandomGenerator(11).fillRange(reinterpret_cast<quint32 *>(binary.data()),
                                       binary.size() / 4);
        QTest::newRow("binary noise in hex mode")
            << binary << true << QString::fromLatin1(binary.toHex(' ').toUpper() + ' ');
        QTest::newRow("stream of ESC")
            << QByteArray(4096, '\x1b') << false << QString::fromLatin1(QByteArray(4096, '\x1b'));
        QTest::newRow("line without end")
            << QByteArray(200000, 'z') << false << QString(200000, u'z');
    }

    void floodsReachTheList()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, hex);
        QFETCH(QString, shown);
        TMain &w = *m_fx.window;
        w.HexMode->setChecked(hex);
        QVERIFY(m_fx.module->write(bytes));
        QVERIFY(tickUntil(w, [&] { return joined(w).size() >= shown.size(); }));
        QVERIFY(joined(w) == shown);
    }

    void portVanishesMidBurst()
    {
        TMain &w = *m_fx.window;
        // Small enough that the first read takes the whole burst into the program.
        const QByteArray burst(3000, 'v');
        QVERIFY(m_fx.module->write(burst));
        QVERIFY(m_fx.module->waitUntilProgramCanRead(burst.size(), 5000));
        QVERIFY(tickUntil(w, [&] { return !w.ListModel->lines().isEmpty(); }));
        QCOMPARE(joined(w).size(), 256);
        m_fx.module->unplug();
        // The link check is due on the next tick, as it is on every tick of a long flood.
        w.tick_count = 50;
        QVERIFY(tickUntil(w, [&] { return !w.serial.holdsDevice(); }));
        for (int i = 0; i < 100; ++i)
            w.Timer1Timer();
        QVERIFY(w.StatusBarPanel1->text().contains(QLatin1String("Offline")));
        // Everything the program had taken in before the port went reaches the list.
        QCOMPARE(joined(w).size(), burst.size());
        QVERIFY(QString::fromLatin1(burst).startsWith(joined(w)));
    }

private:
    WindowFixture m_fx;
};

QTEST_MAIN(TestMainReceive)
#include "tst_main_receive.moc"
