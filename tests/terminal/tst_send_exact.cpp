// Exact sending and the hex dump through the real main window, shown offscreen, with a
// pseudo-terminal as its port: the "Line end" and "Bytes" boxes driven with keys, the exact
// bytes at the far end for the send box and for Enter in the list, bad byte texts that send
// nothing and say why, Options > "Hex dump" with its rows, blocks and copies, and both
// choices kept per profile across a restart.
#include "PtyModule.h"
#include "WindowFixture.h"
#include "WindowText.h"
#include "app/bgapi_window/Unit_bgapi.h"
#include "app/main_window/MainForm.h"
#include "session/Clock.h"
#include "terminal/HexDump.h"
#include "terminal/view/TerminalModel.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <memory>

namespace {

constexpr int kPort = 1;
const QByteArray kResetLine("\rRESET\r\n\r");

QByteArray frame(int link, const QByteArray &data)
{
    return QByteArray("\xBF") + char(link) + '\0' + char(data.size()) + data + char(link ^ 0xFF);
}

// A clock the test moves by hand.
class HandClock final : public zorvane::session::Clock
{
public:
    explicit HandClock(const qint64 *ns) : m_ns(ns) {}
    qint64 nowNs() const override { return *m_ns; }

private:
    const qint64 *m_ns;
};

QStringList hexdumpFixture()
{
    QFile file(QStringLiteral(ZORVANE_TEST_DATA "/all_bytes.hexdump"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList rows = QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'));
    while (!rows.isEmpty() && !rows.last().contains(QLatin1Char('|')))
        rows.removeLast();
    return rows;
}

QByteArray allValues()
{
    QByteArray bytes(256, '\0');
    for (int i = 0; i < 256; ++i)
        bytes[i] = char(i);
    return bytes;
}

} // namespace

class TestSendExact : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_fx.setUp()); }

    void init()
    {
        m_fx.reset();
        QFile::remove(m_fx.docs + QStringLiteral("zv_settings.xml"));
        m_fx.module = m_fx.plugIn(kPort);
        m_fx.window = m_fx.makeMain();
        TMain &w = *m_fx.window;
        w.session.setClock(std::make_unique<HandClock>(&m_nowNs));
        w.show();
        // Wide enough that the row shows the send box's own boxes, not its "»" button.
        w.resize(1600, 600);
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(m_fx.module->readAtLeast(kResetLine.size()), kResetLine);
        QTRY_VERIFY(w.LineEnd1->isVisible() && w.Bytes1->isVisible());
        w.Timer1->start();
        w.Clear1->trigger();
    }

    void cleanup() { m_fx.tearDown(); }

    void exactBytes_data()
    {
        QTest::addColumn<QString>("lineEnd");
        QTest::addColumn<bool>("bytes");
        QTest::addColumn<bool>("mux");
        QTest::addColumn<bool>("bgapi");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("wire");

        const QString mixed = "01 ff 0x0A \"AT\" 0d";
        const QByteArray mixedBytes("\x01\xff\x0a"
                                    "AT\r");
        // The module's own convention: every specified byte as before.
        QTest::newRow("Module, box") << "Module" << false << false << false << "box"
                                     << "AT" << QByteArray("\rAT\r\n\r");
        QTest::newRow("Module, box, BGAPI") << "Module" << false << false << true << "box"
                                            << "AT" << QByteArray("\rAT\n\r");
        QTest::newRow("Module, box, MUX") << "Module" << false << true << false << "box"
                                          << "AT" << frame(255, "AT\r");
        QTest::newRow("Module, list") << "Module" << false << false << false << "list"
                                      << "AT" << QByteArray("AT\r");
        QTest::newRow("Module, list, MUX") << "Module" << false << true << false << "list"
                                           << "AT" << QByteArray("AT\r");
        // A chosen end: exactly the text and the end, the BGAPI window shown or not.
        QTest::newRow("CR, box") << "CR" << false << false << false << "box"
                                 << "AT" << QByteArray("AT\r");
        QTest::newRow("LF, box") << "LF" << false << false << false << "box"
                                 << "AT" << QByteArray("AT\n");
        QTest::newRow("CR LF, box") << "CR LF" << false << false << false << "box"
                                    << "AT" << QByteArray("AT\r\n");
        QTest::newRow("None, box") << "None" << false << false << false << "box"
                                   << "AT" << QByteArray("AT");
        QTest::newRow("CR, box, BGAPI") << "CR" << false << false << true << "box"
                                        << "AT" << QByteArray("AT\r");
        QTest::newRow("LF, box, MUX") << "LF" << false << true << false << "box"
                                      << "AT" << frame(255, "AT\n");
        QTest::newRow("CR LF, box, MUX, BGAPI") << "CR LF" << false << true << true << "box"
                                                << "AT" << frame(255, "AT\r\n");
        QTest::newRow("None, box, MUX") << "None" << false << true << false << "box"
                                        << "AT" << frame(255, "AT");
        // Enter in the list sends the chosen end; typed keys are never framed.
        QTest::newRow("CR, list") << "CR" << false << false << false << "list"
                                  << "AT" << QByteArray("AT\r");
        QTest::newRow("LF, list") << "LF" << false << false << false << "list"
                                  << "AT" << QByteArray("AT\n");
        QTest::newRow("CR LF, list, BGAPI") << "CR LF" << false << false << true << "list"
                                            << "AT" << QByteArray("AT\r\n");
        QTest::newRow("None, list") << "None" << false << false << false << "list"
                                    << "AT" << QByteArray("AT");
        QTest::newRow("LF, list, MUX") << "LF" << false << true << false << "list"
                                       << "AT" << QByteArray("AT\n");
        // Bytes: no line end added, whatever the choice; framed like any send-box text.
        QTest::newRow("bytes") << "Module" << true << false << false << "box" << mixed
                               << mixedBytes;
        QTest::newRow("bytes, LF, BGAPI")
            << "LF" << true << false << true << "box" << mixed << mixedBytes;
        QTest::newRow("bytes, MUX")
            << "CR LF" << true << true << false << "box" << mixed << frame(255, mixedBytes);
        QTest::newRow("bytes, list") << "LF" << true << false << false << "list"
                                     << "AT" << QByteArray("AT\n");
    }

    void exactBytes()
    {
        QFETCH(QString, lineEnd);
        QFETCH(bool, bytes);
        QFETCH(bool, mux);
        QFETCH(bool, bgapi);
        QFETCH(QString, from);
        QFETCH(QString, text);
        QFETCH(QByteArray, wire);

        TMain &w = *m_fx.window;
        chooseLineEnd(lineEnd);
        if (bytes)
            QTest::keyClick(w.Bytes1, Qt::Key_Space);
        QCOMPARE(w.Bytes1->isChecked(), bytes);
        w.MUX1->setChecked(mux);
        w.session.setMuxLink(mux ? 255 : 0);
        w.Form_BGAPI->setVisible(bgapi);
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));

        if (from == "box") {
            w.SendString->setEditText(QString());
            QTest::keyClicks(w.SendString->lineEdit(), text);
            QTest::keyClick(w.SendString->lineEdit(), Qt::Key_Return);
        } else {
            QTest::keyClicks(w.ListBox1, text);
            QTest::keyClick(w.ListBox1, Qt::Key_Return);
        }
        QCOMPARE(sentSoFar(w.serial, *m_fx.module).toHex(' '), wire.toHex(' '));
        // The history keeps the text as typed.
        if (from == "box" && lineEnd != "Module")
            QCOMPARE(comboEntries(w.SendString).first(), text);
        w.Form_BGAPI->hide();
    }

    void echoShowsWhatWent()
    {
        TMain &w = *m_fx.window;
        w.Echo1->setChecked(true);
        QTest::keyClick(w.Bytes1, Qt::Key_Space);
        sendFromBox("01 ff 0x0A \"AT\" 0d");
        chooseLineEnd("LF");
        QTest::keyClick(w.Bytes1, Qt::Key_Space);
        sendFromBox("ok");
        QCOMPARE(listLines(w), (QStringList{"TX=> <01><FF><0A>AT<0D>", "TX=> ok"}));
        sentSoFar(w.serial, *m_fx.module);

        // A frame of bytes shows its fields as any frame's echo, its data as received bytes.
        w.Clear1->trigger();
        w.MUX1->setChecked(true);
        w.session.setMuxLink(2);
        QTest::keyClick(w.Bytes1, Qt::Key_Space);
        sendFromBox("00 41");
        QCOMPARE(listLines(w), (QStringList{"TX=><0xbf><02><0x00><02><00>A<FD>", "RX<= "}));
        QCOMPARE(sentSoFar(w.serial, *m_fx.module).toHex(' '),
                 frame(2, QByteArray("\0A", 2)).toHex(' '));
    }

    void badTextSendsNothing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("not hex") << "0g"
                                 << "0g: not a hexadecimal byte, at character 1";
        QTest::newRow("odd digit") << "01 f"
                                   << "f: an odd number of hexadecimal digits, at character 4";
        QTest::newRow("unclosed quote") << "41 \"AT"
                                        << "\"AT: unclosed quote, at character 4";
    }

    void badTextSendsNothing()
    {
        QFETCH(QString, text);
        QFETCH(QString, message);
        TMain &w = *m_fx.window;
        const QStringList history = comboEntries(w.SendString);
        const QColor normal = w.SendString->lineEdit()->palette().color(QPalette::Base);
        QTest::keyClick(w.Bytes1, Qt::Key_Space);
        sendFromBox(text);

        QCOMPARE(sentSoFar(w.serial, *m_fx.module), QByteArray());
        QCOMPARE(comboEntries(w.SendString), history);
        QLineEdit *field = w.SendString->lineEdit();
        QCOMPARE(field->text(), text);
        QCOMPARE(field->toolTip(), message);
        QCOMPARE(field->accessibleDescription(), message);
        QCOMPARE(w.statusBar()->currentMessage(), message);
        QVERIFY(field->palette().color(QPalette::Base) != normal);

        // Mended, the text goes out and the mark goes.
        field->selectAll();
        QTest::keyClicks(field, "0a");
        QCOMPARE(field->toolTip(), QString());
        QCOMPARE(field->palette().color(QPalette::Base), normal);
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(sentSoFar(w.serial, *m_fx.module), QByteArray("\n"));
    }

    void everyValueArrives()
    {
        TMain &w = *m_fx.window;
        const QByteArray all = allValues();
        QTest::keyClick(w.Bytes1, Qt::Key_Space);
        w.SendString->setEditText(QString::fromLatin1(all.toHex(' ')));
        QTest::keyClick(w.SendString->lineEdit(), Qt::Key_Return);
        QCOMPARE(sentSoFar(w.serial, *m_fx.module).toHex(' '), all.toHex(' '));
        w.MUX1->setChecked(true);
        w.session.setMuxLink(4);
        QTest::keyClick(w.SendString->lineEdit(), Qt::Key_Return);
        QCOMPARE(sentSoFar(w.serial, *m_fx.module).toHex(' '),
                 (frame(4, all.first(255)) + frame(4, all.mid(255))).toHex(' '));
    }

    void historyKeepsTheMode()
    {
        TMain &w = *m_fx.window;
        QTest::keyClick(w.Bytes1, Qt::Key_Space);
        sendFromBox("41 42");
        QTest::keyClick(w.Bytes1, Qt::Key_Space);
        chooseLineEnd("CR LF");
        sendFromBox("AB");
        QCOMPARE(sentSoFar(w.serial, *m_fx.module), QByteArray("ABAB\r\n"));
        QCOMPARE(comboEntries(w.SendString).first(2), (QStringList{"AB", "41 42"}));

        // Choosing the older entry brings its bytes mode back, the newer one text again.
        w.SendString->setFocus();
        QTest::keyClick(w.SendString, Qt::Key_Down);
        QCOMPARE(w.SendString->currentText(), QStringLiteral("41 42"));
        QVERIFY(w.Bytes1->isChecked());
        QTest::keyClick(w.SendString->lineEdit(), Qt::Key_Return);
        QCOMPARE(sentSoFar(w.serial, *m_fx.module), QByteArray("AB"));
        // Sent again, it is the newest entry; the text entry is next.
        QTest::keyClick(w.SendString, Qt::Key_Down);
        QCOMPARE(w.SendString->currentText(), QStringLiteral("AB"));
        QVERIFY(!w.Bytes1->isChecked());
    }

    void hexDumpOfEveryValue()
    {
        TMain &w = *m_fx.window;
        w.HexDump1->trigger();
        QVERIFY(w.HexDump1->isChecked());
        QVERIFY(m_fx.module->write(allValues()));
        const QStringList rows = hexdumpFixture();
        QCOMPARE(rows.size(), 16);
        QTRY_COMPARE(listLines(w), rows);

        // Copied as the same text, each row followed by CR LF.
        w.Copy1->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 rows.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
        // Each row keeps its arrival time.
        QVERIFY(w.ListModel->lines().arrivalMs(15) > 0);
    }

    void hexDumpBlocksAndSwitchingOff()
    {
        TMain &w = *m_fx.window;
        w.HexDump1->trigger();
        QVERIFY(m_fx.module->write("xyz"));
        // The row waits for the block to end: 20 ms without bytes on the session's clock.
        QTest::qWait(100);
        QCOMPARE(listLines(w), QStringList());
        m_nowNs += zorvane::terminal::HexDump::kBlockGapNs;
        QTRY_COMPARE(
            listLines(w),
            QStringList{"00000000  78 79 7a                                          |xyz|"});

        // A new block counts from 0 again; a short pause does not end it.
        QVERIFY(m_fx.module->write("ab"));
        QTest::qWait(100);
        m_nowNs += zorvane::terminal::HexDump::kBlockGapNs / 2;
        QVERIFY(m_fx.module->write("c"));
        QTest::qWait(100);
        QCOMPARE(listLines(w).size(), 1);
        // Switched off, the held row shows at once and text goes on after it.
        w.HexDump1->trigger();
        QCOMPARE(
            listLines(w).mid(1),
            (QStringList{"00000000  61 62 63                                          |abc|", ""}));
        QVERIFY(m_fx.module->write("OK\r"));
        QTRY_COMPARE(listLines(w).mid(2), (QStringList{"OK", ""}));
    }

    void choicesKeptPerProfile()
    {
        TMain &w = *m_fx.window;
        chooseLineEnd("CR LF");
        QTest::keyClick(w.Bytes1, Qt::Key_Space);
        w.HexDump1->trigger();
        w.close();
        m_fx.window.reset();

        // Another profile has its own choices.
        restart(QStringLiteral("bench"));
        QCOMPARE(m_fx.window->LineEnd1->currentText(), QStringLiteral("Module"));
        QVERIFY(!m_fx.window->Bytes1->isChecked());
        QVERIFY(!m_fx.window->HexDump1->isChecked());
        chooseLineEnd("None");
        m_fx.window->close();
        m_fx.window.reset();

        restart(QString());
        QCOMPARE(m_fx.window->LineEnd1->currentText(), QStringLiteral("CR LF"));
        QVERIFY(m_fx.window->Bytes1->isChecked());
        QVERIFY(m_fx.window->HexDump1->isChecked());
        m_fx.window->close();
        m_fx.window.reset();
        restart(QStringLiteral("bench"));
        QCOMPARE(m_fx.window->LineEnd1->currentText(), QStringLiteral("None"));
    }

private:
    // Picks the line end with the keyboard, as a person would.
    void chooseLineEnd(const QString &name)
    {
        TMain &w = *m_fx.window;
        QTest::keyClick(w.LineEnd1, Qt::Key_Home);
        while (w.LineEnd1->currentText() != name &&
               w.LineEnd1->currentIndex() < w.LineEnd1->count() - 1)
            QTest::keyClick(w.LineEnd1, Qt::Key_Down);
        QCOMPARE(w.LineEnd1->currentText(), name);
    }

    void sendFromBox(const QString &text)
    {
        TMain &w = *m_fx.window;
        w.SendString->setEditText(QString());
        QTest::keyClicks(w.SendString->lineEdit(), text);
        QTest::keyClick(w.SendString->lineEdit(), Qt::Key_Return);
    }

    void restart(const QString &profile)
    {
        m_fx.window = m_fx.makeMain();
        if (!profile.isEmpty())
            m_fx.window->useProfile(profile);
        m_fx.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_fx.window.get()));
    }

    WindowFixture m_fx;
    qint64 m_nowNs = 1'000'000'000;
};

QTEST_MAIN(TestSendExact)
#include "tst_send_exact.moc"
