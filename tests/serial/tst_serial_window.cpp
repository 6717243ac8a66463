// The serial primitives that read the main window's state, on the real window offscreen with a
// pseudo-terminal as the port: c_puts with its echo, line end and liveness check, c_write and
// the send history, and the hex-write form of the echo.
#include "PtyModule.h"
#include "WindowFixture.h"
#include "app/MessageBoxes.h"
#include "app/main_window/MainForm.h"
#include "terminal/view/TerminalModel.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

class TestSerialWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void putsEchoAndLineEnd_data();
    void putsEchoAndLineEnd();
    void putsAfterUnplugSendsNothing();
    void putsWithoutPortSendsNothing();
    void writeRecordsHistory();

private:
    std::unique_ptr<TMain> makeMain();
    // Lines added to the terminal list since `from`.
    static QStringList linesFrom(const TMain &w, qsizetype from);

    WindowFixture m_fx;
    QString &m_docs = m_fx.docs;
    QStringList &m_messages = m_fx.messages;
};

void TestSerialWindow::initTestCase()
{
    QVERIFY(m_fx.setUp());
}

void TestSerialWindow::init()
{
    m_fx.reset();
}

void TestSerialWindow::cleanup()
{
    m_fx.tearDown();
}

std::unique_ptr<TMain> TestSerialWindow::makeMain()
{
    return m_fx.makeMain();
}

QStringList TestSerialWindow::linesFrom(const TMain &w, qsizetype from)
{
    QStringList lines;
    const auto &store = w.ListModel->lines();
    for (qsizetype row = from; row < store.size(); ++row)
        lines << store.text(row);
    return lines;
}

void TestSerialWindow::putsEchoAndLineEnd_data()
{
    QTest::addColumn<bool>("echo");
    QTest::addColumn<bool>("hexWrite");
    QTest::addColumn<bool>("mux");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("echo") << true << false << false << "AT" << QByteArray("AT\r")
                          << QStringList{"TX=> AT"};
    QTest::newRow("echo, MUX") << true << false << true << "AT" << QByteArray("AT")
                               << QStringList{"TX=> AT"};
    QTest::newRow("no echo") << false << true << false << "AT" << QByteArray("AT\r")
                             << QStringList{};
    QTest::newRow("hex echo") << true << true << false << "A\rB" << QByteArray("A\rB\r")
                              << QStringList{"41 0D ", "TX=> 42 "};
    QTest::newRow("hex echo ending in CR")
        << true << true << false << "AT\r" << QByteArray("AT\r\r")
        << QStringList{"41 54 0D ", "TX=> "};
    QTest::newRow("hex echo of binary") << true << true << true << QString::fromLatin1("\x01\xFF")
                                        << QByteArray("\x01\xFF") << QStringList{"TX=> 01 FF "};
    QTest::newRow("empty") << true << false << false << "" << QByteArray("\r")
                           << QStringList{"TX=> "};
    QTest::newRow("only low 8 bits sent")
        << false << false << true << QStringLiteral("\u0141\u0100") << QByteArray("\x41\x00", 2)
        << QStringList{};
}

void TestSerialWindow::putsEchoAndLineEnd()
{
    QFETCH(bool, echo);
    QFETCH(bool, hexWrite);
    QFETCH(bool, mux);
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    PtyModule module;
    QVERIFY(module.linkAs(m_docs, 5));
    auto w = makeMain();
    w->set_comx(5, true);
    QVERIFY(w->serial.holdsDevice());
    w->Echo1->setChecked(echo);
    w->HexModeWrite1->setChecked(hexWrite);
    w->MUX1->setChecked(mux);
    const qsizetype before = w->ListModel->lines().size();

    w->c_puts(text);

    QCOMPARE(linesFrom(*w, before), lines);
    QCOMPARE(sentSoFar(w->serial, module), bytes);
}

void TestSerialWindow::putsAfterUnplugSendsNothing()
{
    auto module = std::make_unique<PtyModule>();
    QVERIFY(module->linkAs(m_docs, 5));
    auto w = makeMain();
    w->set_comx(5, true);
    w->Echo1->setChecked(true);
    w->c_puts(QStringLiteral("AT"));
    QCOMPARE(module->readAtLeast(3), QByteArray("AT\r"));

    module->unplug();
    const qsizetype before = w->ListModel->lines().size();
    w->c_puts(QStringLiteral("AT"));
    QCOMPARE(linesFrom(*w, before), QStringList{});
    // Losing the port is the link check's news, not c_puts's.
    QVERIFY(w->serial.holdsDevice());
    QCOMPARE(w->serial.c_getc_link(), -2);
}

void TestSerialWindow::putsWithoutPortSendsNothing()
{
    auto w = makeMain();
    w->Echo1->setChecked(true);
    w->set_comx(6, true); // absent
    const qsizetype before = w->ListModel->lines().size();
    w->c_puts(QStringLiteral("AT"));
    QCOMPARE(linesFrom(*w, before), QStringList{});
}

void TestSerialWindow::writeRecordsHistory()
{
    auto w = makeMain();
    w->Echo1->setChecked(true);
    const qsizetype before = w->ListModel->lines().size();

    // No port: the history still gets the text.
    w->c_write(QStringLiteral("+++"));
    QCOMPARE(w->SendString->itemText(0), "+++");

    PtyModule module;
    QVERIFY(module.linkAs(m_docs, 5));
    w->set_comx(5, true);
    w->MUX1->setChecked(false);
    w->c_write(QStringLiteral("+++"));
    w->c_write(QStringLiteral("41"));
    QCOMPARE(sentSoFar(w->serial, module), QByteArray("+++41"));
    QCOMPARE(w->SendString->itemText(0), "41");
    QCOMPARE(w->SendString->itemText(1), "+++");
    QCOMPARE(w->SendString->itemText(2), "+++");
    QCOMPARE(w->SendString->count(), 11);
    // No echo line for written text.
    QCOMPARE(linesFrom(*w, before), QStringList{});
}

QTEST_MAIN(TestSerialWindow)
#include "tst_serial_window.moc"
