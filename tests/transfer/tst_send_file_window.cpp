// Sending a file from the real main window: the File menu's items, the dialog used with the
// keyboard and the mouse, the "Transfer" bar, Esc, and the choices kept in the settings file.
#include "WindowFixture.h"
#include "WindowText.h"
#include "app/main_window/MainForm.h"
#include "app/main_window/SendFileDialog.h"
#include "transfer/FileSend.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTest>

using zorvane::app::SendFileDialog;

namespace {

constexpr int kPort = 1;

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestSendFileWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_fx.setUp()); }
    void init() { m_fx.reset(); }
    void cleanup() { m_fx.tearDown(); }

    void menuItemsAfterASeparator();
    void unreadableFileIsRefusedInTheDialog();
    void xmodemShowsProgressAndEscCancels();
    void choicesAreKeptInTheSettingsFile();

private:
    // The window shown and active, on a module at port kPort, its start-up's bytes drained.
    bool showWindow();
    SendFileDialog *openDialog();
    QString writeFile(const QString &name, const QByteArray &bytes);

    WindowFixture m_fx;
};

bool TestSendFileWindow::showWindow()
{
    m_fx.module = m_fx.plugIn(kPort);
    m_fx.window = m_fx.makeMain();
    m_fx.window->show();
    m_fx.window->activateWindow();
    if (!QTest::qWaitForWindowActive(m_fx.window.get()) || !m_fx.window->serial.holdsDevice())
        return false;
    QTest::qWait(50);
    m_fx.module->readAvailable();
    return true;
}

SendFileDialog *TestSendFileWindow::openDialog()
{
    m_fx.window->SendFile1->trigger();
    auto *dialog = m_fx.window->findChild<SendFileDialog *>();
    if (!dialog || !QTest::qWaitForWindowExposed(dialog))
        return nullptr;
    return dialog;
}

QString TestSendFileWindow::writeFile(const QString &name, const QByteArray &bytes)
{
    const QString path = m_fx.homePath() + u'/' + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

void TestSendFileWindow::menuItemsAfterASeparator()
{
    m_fx.window = m_fx.makeMain();
    const QList<QAction *> items = m_fx.window->File->actions();
    // Behind the menu's own items, after a separator; other additions may follow.
    const qsizetype at = items.indexOf(m_fx.window->SendFile1);
    QVERIFY(at >= 2 && at + 1 < items.size());
    QVERIFY(items[at - 1]->isSeparator());
    QCOMPARE(items[at]->text(), QStringLiteral("Send File..."));
    QCOMPARE(items[at + 1]->text(), QStringLiteral("Cancel Transfer"));
    QVERIFY(items[at]->isEnabled());
    QVERIFY(!items[at + 1]->isEnabled());
    QCOMPARE(items[at - 2]->text().remove(u'&'), QStringLiteral("Exit"));
}

void TestSendFileWindow::unreadableFileIsRefusedInTheDialog()
{
    QVERIFY(showWindow());
    SendFileDialog *dialog = openDialog();
    QVERIFY(dialog);
    auto *file = dialog->findChild<QLineEdit *>(QStringLiteral("File"));
    QVERIFY(file);
    QCOMPARE(file->accessibleName(), QStringLiteral("File"));
    file->clear();
    QTest::keyClicks(file, m_fx.homePath() + QStringLiteral("/no-such-firmware.bin"));
    QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("Send")), Qt::LeftButton);

    auto *problem = dialog->findChild<QLabel *>(QStringLiteral("Problem"));
    QVERIFY(dialog->isVisible());
    QVERIFY(problem->isVisible());
    QVERIFY2(problem->text().contains(QLatin1String("does not exist")),
             qPrintable(problem->text()));
    QVERIFY(!m_fx.window->fileSend->isRunning());
    QVERIFY(m_fx.window->TransferBar->isHidden());
    QCOMPARE(sentSoFar(m_fx.window->serial, *m_fx.module), QByteArray());
    dialog->reject();
}

// XMODEM chosen with the keyboard: the bar follows the acknowledged blocks and says the same
// to screen readers; Esc sends CAN CAN and the list says the send was cancelled.
void TestSendFileWindow::xmodemShowsProgressAndEscCancels()
{
    QVERIFY(showWindow());
    TMain &w = *m_fx.window;
    const QString path = writeFile(QStringLiteral("firmware.bin"), QByteArray(1000, 'z'));
    SendFileDialog *dialog = openDialog();
    QVERIFY(dialog);
    auto *file = dialog->findChild<QLineEdit *>(QStringLiteral("File"));
    file->clear();
    QTest::keyClicks(file, path);
    auto *method = dialog->findChild<QComboBox *>(QStringLiteral("Method"));
    QCOMPARE(method->accessibleName(), QStringLiteral("Method"));
    method->setFocus();
    QTest::keyClick(method, Qt::Key_Down);
    QTest::keyClick(method, Qt::Key_Down);
    QCOMPARE(method->currentText(), QStringLiteral("XMODEM"));
    // The pacing belongs to the plain methods.
    QVERIFY(!dialog->findChild<QSpinBox *>(QStringLiteral("Line delay (ms)"))->isEnabled());
    QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("Send")), Qt::LeftButton);
    QTRY_VERIFY(!dialog->isVisible() || dialog->isHidden());

    QVERIFY(w.fileSend->isRunning());
    QVERIFY(w.TransferBar->isVisible());
    QCOMPARE(w.TransferBar->accessibleName(), QStringLiteral("Transfer"));
    QVERIFY(w.CancelTransfer1->isEnabled());
    QVERIFY(!w.SendFile1->isEnabled());
    QVERIFY(listLines(w).contains(QStringLiteral("XMODEM: sending firmware.bin, 1,000 bytes")));

    QByteArray wire;
    const auto blockArrived = [&] {
        wire += m_fx.module->readAvailable();
        return wire.size() >= 133;
    };
    QVERIFY(m_fx.module->write("C"));
    QVERIFY(tickUntil(w, blockArrived));
    QCOMPARE(wire.left(3), QByteArray("\x01\x01\xFE"));
    wire.clear();
    QVERIFY(m_fx.module->write("\x06"));
    QVERIFY(tickUntil(w, [&] { return w.fileSend->progress().done == 128; }));
    QTRY_VERIFY2(
        w.TransferBar->accessibleDescription().startsWith(QLatin1String("128 of 1,000 bytes")),
        qPrintable(w.TransferBar->accessibleDescription()));
    QCOMPARE(w.TransferBar->value(), 128);
    QCOMPARE(w.TransferBar->format(), w.TransferBar->accessibleDescription());
    // Neither the receiver's 'C' nor its ACK reached the list.
    for (const QString &line : listLines(w))
        QVERIFY2(!line.contains(u'C') || line.contains(QLatin1String("XMODEM")), qPrintable(line));

    QVERIFY(tickUntil(w, blockArrived));
    QCOMPARE(wire.left(3), QByteArray("\x01\x02\xFD"));
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_Escape);
    // The CANs wait for the block in flight to be answered.
    QVERIFY(m_fx.module->write("\x06"));
    QVERIFY(tickUntil(w, [&] { return !w.fileSend->isRunning(); }));
    QCOMPARE(m_fx.module->readAtLeast(2, 2000), QByteArray("\x18\x18"));
    QVERIFY(w.TransferBar->isHidden());
    QVERIFY(!w.CancelTransfer1->isEnabled());
    QVERIFY(w.SendFile1->isEnabled());
    QTRY_VERIFY(listLines(w).join(u'\n').contains(
        QLatin1String("XMODEM: firmware.bin not sent: cancelled (128 of 1,000 bytes)")));
    // The list takes what arrives again.
    QVERIFY(m_fx.module->write("OK\r\n"));
    QVERIFY(tickUntil(w, [&] { return listLines(w).contains(QStringLiteral("OK")); }));
}

void TestSendFileWindow::choicesAreKeptInTheSettingsFile()
{
    QVERIFY(showWindow());
    const QString path = writeFile(QStringLiteral("setup.txt"), "AT\n");
    SendFileDialog *dialog = openDialog();
    QVERIFY(dialog);
    auto *file = dialog->findChild<QLineEdit *>(QStringLiteral("File"));
    file->clear();
    QTest::keyClicks(file, path);
    auto *method = dialog->findChild<QComboBox *>(QStringLiteral("Method"));
    method->setFocus();
    QTest::keyClick(method, Qt::Key_Home);
    QCOMPARE(method->currentText(), QStringLiteral("Text lines"));
    auto *lineDelay = dialog->findChild<QSpinBox *>(QStringLiteral("Line delay (ms)"));
    QCOMPARE(lineDelay->accessibleName(), QStringLiteral("Line delay (ms)"));
    lineDelay->selectAll();
    QTest::keyClicks(lineDelay, QStringLiteral("250"));
    auto *waitFor = dialog->findChild<QLineEdit *>(QStringLiteral("Wait for"));
    QTest::keyClicks(waitFor, QStringLiteral("OK>"));
    QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("Send")), Qt::LeftButton);
    QCOMPARE(m_fx.module->readAtLeast(3), QByteArray("AT\r"));
    QTRY_VERIFY(!m_fx.window->fileSend->isRunning());
    m_fx.window->close();

    // A group of its own, after all the others.
    QString saved = QString::fromUtf8(readFile(m_fx.docs + QStringLiteral("zv_settings.xml")));
    saved.replace(QRegularExpression(QStringLiteral(">\\s+<")), QStringLiteral("><"));
    const QString group = QStringLiteral("<SendFile><file>") + path +
                          QStringLiteral("</file><method>0</method><chardelay>0</chardelay>"
                                         "<linedelay>250</linedelay><waitfor>OK></waitfor>"
                                         "</SendFile></ZVSettings>");
    QVERIFY2(saved.trimmed().endsWith(group), qPrintable(saved));

    // The next start offers them again.
    m_fx.window.reset();
    m_fx.module.reset();
    QVERIFY(showWindow());
    dialog = openDialog();
    QVERIFY(dialog);
    QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("File"))->text(), path);
    QCOMPARE(dialog->findChild<QSpinBox *>(QStringLiteral("Line delay (ms)"))->value(), 250);
    QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("Wait for"))->text(),
             QStringLiteral("OK>"));
    QCOMPARE(dialog->findChild<QComboBox *>(QStringLiteral("Method"))->currentText(),
             QStringLiteral("Text lines"));
    dialog->reject();
}

QTEST_MAIN(TestSendFileWindow)
#include "tst_send_file_window.moc"
