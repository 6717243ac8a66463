// Reading back a live session in the real main window, with a pseudo-terminal as its port
// and the receive timer running: the list holds while lines arrive once the user scrolls up
// or selects lines with the mouse, the marker counts what came and follows again, End
// follows, a drag selects lines that Ctrl+Shift+C copies, arrival times beside the lines,
// finding a text with the find bar, and Ctrl+letter still reaching the module while
// Ctrl+Shift chords send nothing.
#include "PtyModule.h"
#include "app/main_window/FindBar.h"
#include "WindowFixture.h"
#include "app/main_window/MainForm.h"
#include "terminal/view/NewLinesMarker.h"
#include "terminal/view/TerminalModel.h"
#include "terminal/view/TerminalView.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace {

// A first start opens COM1 and resets the module there.
const QByteArray kResetLine("\rRESET\r\n\r");

QByteArray numberedLines(int from, int count)
{
    QByteArray bytes;
    for (int i = from; i < from + count; ++i)
        bytes += "line " + QByteArray::number(i) + "\r";
    return bytes;
}

// The newest line is whole within the list's visible part.
bool lastLineInView(const TMain &w)
{
    const QRect line = w.ListBox1->visualRect(w.ListModel->index(w.ListModel->rowCount() - 1));
    return w.ListBox1->viewport()->rect().contains(line);
}

} // namespace

class TestReadBack : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_fx.setUp()); }

    void init()
    {
        m_fx.reset();
        QFile::remove(m_fx.docs + QStringLiteral("zv_settings.xml"));
        m_fx.module = m_fx.plugIn(1);
        m_fx.window = m_fx.makeMain();
        TMain &w = *m_fx.window;
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(m_fx.module->readAtLeast(kResetLine.size()), kResetLine);
        w.ListBox1->setFocus();
        QTRY_VERIFY(w.ListBox1->hasFocus());
        w.Timer1->start();
    }

    void cleanup() { m_fx.tearDown(); }

    void holdsWhileLinesArrive()
    {
        TMain &w = *m_fx.window;
        QVERIFY(m_fx.module->write(numberedLines(0, 200)));
        QTRY_COMPARE(w.ListModel->rowCount(), 201);
        QTRY_COMPARE(w.ListBox1->currentIndex().row(), 200);

        // Page Up holds the view: the first visible line stays while lines keep coming.
        QTest::keyClick(w.ListBox1, Qt::Key_PageUp);
        QVERIFY(!w.follow.following());
        const QModelIndex top = w.ListBox1->indexAt(QPoint(2, 2));
        QVERIFY(top.isValid());
        const int selected = w.ListBox1->currentIndex().row();
        QVERIFY(m_fx.module->write(numberedLines(200, 1234)));
        QTRY_COMPARE(w.ListModel->rowCount(), 1435);
        QCOMPARE(w.ListBox1->indexAt(QPoint(2, 2)), top);
        QCOMPARE(w.ListBox1->currentIndex().row(), selected);
        QVERIFY(w.NewLines->isVisible());
        QCOMPARE(w.NewLines->text(), QStringLiteral("\u25BC 1,234 new lines"));
        QCOMPARE(w.NewLines->accessibleName(), QStringLiteral("New lines"));
        QCOMPARE(w.NewLines->accessibleDescription(), QStringLiteral("1234"));

        // End follows again; the last line is selected and in view.
        QTest::keyClick(w.ListBox1, Qt::Key_End);
        QVERIFY(w.follow.following());
        QVERIFY(!w.NewLines->isVisible());
        QVERIFY(m_fx.module->write("tail\r"));
        QTRY_COMPARE(w.ListBox1->currentIndex().row(), 1435);
        const QScrollBar *bar = w.ListBox1->verticalScrollBar();
        QCOMPARE(bar->value(), bar->maximum());

        // Home holds too, and a click on the marker follows again.
        QTest::keyClick(w.ListBox1, Qt::Key_Home);
        QVERIFY(m_fx.module->write(numberedLines(0, 1)));
        QTRY_VERIFY(w.NewLines->isVisible());
        QCOMPARE(w.NewLines->text(), QStringLiteral("\u25BC 1 new line"));
        QCOMPARE(w.ListBox1->indexAt(QPoint(2, 2)).row(), 0);
        QTest::mouseClick(w.NewLines, Qt::LeftButton);
        QVERIFY(!w.NewLines->isVisible());
        QCOMPARE(bar->value(), bar->maximum());
        QCOMPARE(w.ListBox1->currentIndex().row(), w.ListModel->rowCount() - 1);
        QVERIFY(w.ListBox1->hasFocus());
    }

    // A following list keeps its newest line in view when its height changes.
    void keepsFollowingWhenHeightChanges_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("command toolbar shown") << "toolbar";
        QTest::newRow("window made shorter") << "resize";
        QTest::newRow("find bar opened") << "find";
    }

    void keepsFollowingWhenHeightChanges()
    {
        QFETCH(QString, change);
        TMain &w = *m_fx.window;
        QVERIFY(m_fx.module->write(numberedLines(0, 200)));
        QTRY_COMPARE(w.ListModel->rowCount(), 201);
        QTRY_VERIFY(lastLineInView(w));
        const int heightBefore = w.ListBox1->viewport()->height();

        if (change == "toolbar") {
            QVERIFY(!w.ToolBar_SPP->isVisible());
            w.SPP1->trigger();
            QVERIFY(w.ToolBar_SPP->isVisible());
        } else if (change == "resize") {
            w.resize(w.width(), w.height() - 100);
        } else {
            w.Find1->trigger();
            QVERIFY(w.Find_Bar->isVisible());
        }
        QTRY_VERIFY(w.ListBox1->viewport()->height() < heightBefore);
        QCoreApplication::processEvents();
        QVERIFY(w.follow.following());
        QVERIFY(lastLineInView(w));
        QVERIFY(!w.NewLines->isVisible());

        // And it goes on following what arrives next.
        QVERIFY(m_fx.module->write("tail\r"));
        QTRY_COMPARE(w.ListModel->rowCount(), 202);
        QTRY_VERIFY(lastLineInView(w));
    }

    void dragSelectsAndCopies()
    {
        TMain &w = *m_fx.window;
        QVERIFY(m_fx.module->write(numberedLines(0, 10)));
        QTRY_COMPARE(w.ListModel->rowCount(), 11);
        QWidget *lines = w.ListBox1->viewport();
        const auto rowCentre = [&](int row) {
            return w.ListBox1->visualRect(w.ListModel->index(row)).center();
        };
        QTest::mousePress(lines, Qt::LeftButton, {}, rowCentre(3));
        QTest::mouseMove(lines, rowCentre(4));
        QTest::mouseMove(lines, rowCentre(6));
        QTest::mouseRelease(lines, Qt::LeftButton, {}, rowCentre(6));
        QVERIFY(!w.PopupMenu1->isVisible()); // a drag's release opens no menu
        QVERIFY(!w.follow.following());

        // The selection survives arriving lines and Ctrl+Shift+C copies exactly it.
        QVERIFY(m_fx.module->write(numberedLines(10, 5)));
        QTRY_COMPARE(w.ListModel->rowCount(), 16);
        QTest::keyClick(w.ListBox1, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(QApplication::clipboard()->text(),
                 QStringLiteral("line 3\r\nline 4\r\nline 5\r\nline 6\r\n"));
        // The pop-up's item does the same; with the time column shown the times lead.
        QTest::keyClick(w.ListBox1, Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(w.ArrivalTimes1->isChecked());
        w.CopySelection1->trigger();
        const QStringList copied = QApplication::clipboard()->text().split(QStringLiteral("\r\n"));
        QCOMPARE(copied.size(), 5);
        const QRegularExpression timed(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d\tline 5$"));
        QVERIFY2(timed.match(copied[2]).hasMatch(), qPrintable(copied[2]));

        // Ctrl+Shift+A selects every line; File > Copy still takes all lines, without times.
        QTest::keyClick(w.ListBox1, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(w.ListBox1->selectionModel()->selectedRows().size(), 16);
        w.CopyClick();
        QVERIFY(QApplication::clipboard()->text().startsWith(QStringLiteral("line 0\r\nline 1\r\n")));
        QCOMPARE(m_fx.module->readAvailable(), QByteArray()); // no chord sent a byte
    }

    void arrivalTimes()
    {
        TMain &w = *m_fx.window;
        QVERIFY(m_fx.module->write("first\r"));
        QTRY_COMPARE(w.ListModel->rowCount(), 2);
        const QRegularExpression clock(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d$"));
        // Tooltip and accessible description carry the time while the column is hidden.
        const QModelIndex first = w.ListModel->index(0);
        QVERIFY(clock.match(first.data(Qt::ToolTipRole).toString()).hasMatch());
        QCOMPARE(first.data(Qt::AccessibleDescriptionRole), first.data(Qt::ToolTipRole));
        QCOMPARE(first.data().toString(), QStringLiteral("first"));

        auto *view = static_cast<zorvane::terminal::TerminalView *>(w.ListBox1);
        const int linesLeft = w.ListBox1->viewport()->geometry().left();
        QTest::keyClick(w.ListBox1, Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(view->timeColumn(), zorvane::terminal::TimeColumn::Clock);
        QVERIFY(w.ListBox1->viewport()->geometry().left() > linesLeft);
        QCOMPARE(view->timeText(0), first.data(Qt::ToolTipRole).toString());
        w.SincePrevious1->trigger();
        QCOMPARE(view->timeColumn(), zorvane::terminal::TimeColumn::SincePrevious);
        QVERIFY(QRegularExpression(QStringLiteral("^\\+\\d+\\.\\d\\d\\d$"))
                    .match(view->timeText(1))
                    .hasMatch());
        QTest::keyClick(w.ListBox1, Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(view->timeColumn(), zorvane::terminal::TimeColumn::Hidden);
        QCOMPARE(w.ListBox1->viewport()->geometry().left(), linesLeft);
    }

    void findBar()
    {
        TMain &w = *m_fx.window;
        QVERIFY(m_fx.module->write("boot\rERR 1\rok\rerr 2\rok\rError 3\r"));
        QTRY_COMPARE(w.ListModel->rowCount(), 7);
        QTest::keyClick(w.ListBox1, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(w.Find_Bar->isVisible());
        QLineEdit *field = w.Find_Bar->Field;
        QTRY_VERIFY(field->hasFocus());
        QCOMPARE(field->accessibleName(), QStringLiteral("Find"));
        QTest::keyClicks(field, QStringLiteral("err"));
        QCOMPARE(w.Find_Bar->countText(), QStringLiteral("0 of 3"));

        const auto current = [&] { return w.ListBox1->currentIndex().row(); };
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(current(), 1);
        QCOMPARE(w.Find_Bar->countText(), QStringLiteral("1 of 3"));
        QVERIFY(!w.follow.following()); // going to a match holds the view
        QTest::keyClick(field, Qt::Key_F3);
        QCOMPARE(current(), 3);
        QCOMPARE(w.Find_Bar->countText(), QStringLiteral("2 of 3"));
        QTest::keyClick(field, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(current(), 1);
        QTest::keyClick(field, Qt::Key_F3, Qt::ShiftModifier); // round the start
        QCOMPARE(current(), 5);
        QCOMPARE(w.Find_Bar->countText(), QStringLiteral("3 of 3"));

        // The count stays right while lines arrive, the held view does not move.
        const QModelIndex top = w.ListBox1->indexAt(QPoint(2, 2));
        QVERIFY(m_fx.module->write("err 4\rno\rERR 5\r"));
        QTRY_COMPARE(w.Find_Bar->countText(), QStringLiteral("3 of 5"));
        QCOMPARE(w.ListBox1->indexAt(QPoint(2, 2)), top);

        // Case and regular expression, switched with the mouse.
        QTest::mouseClick(w.Find_Bar->CaseButton, Qt::LeftButton);
        QCOMPARE(w.Find_Bar->countText(), QStringLiteral("0 of 2"));
        QTest::mouseClick(w.Find_Bar->RegexButton, Qt::LeftButton);
        field->selectAll();
        QTest::keyClicks(field, QStringLiteral("^(ERR|Error) \\d$"));
        QCOMPARE(w.Find_Bar->countText(), QStringLiteral("0 of 3"));
        QTest::keyClick(field, Qt::Key_Return);
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(current(), 5);
        // A regular expression that does not compile marks the field, no box.
        QTest::keyClicks(field, QStringLiteral("("));
        QVERIFY(!field->accessibleDescription().isEmpty());
        QCOMPARE(m_fx.messages, QStringList());
        QTest::keyClick(field, Qt::Key_Backspace);
        QVERIFY(field->accessibleDescription().isEmpty());

        // Esc closes the bar and gives the focus back to the list; nothing went to the module.
        QTest::keyClick(field, Qt::Key_Escape);
        QVERIFY(!w.Find_Bar->isVisible());
        QTRY_VERIFY(w.ListBox1->hasFocus());
        QCOMPARE(m_fx.module->readAvailable(), QByteArray());
    }

    void ctrlLettersStillReachTheModule()
    {
        TMain &w = *m_fx.window;
        // Ctrl+Shift+F sends nothing; Ctrl+F, Ctrl+C, Ctrl+A still go out as before.
        QTest::keyClick(w.ListBox1, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
        QTest::keyClick(w.ListBox1, Qt::Key_F, Qt::ControlModifier);
        QTest::keyClick(w.ListBox1, Qt::Key_C, Qt::ControlModifier);
        QTest::keyClick(w.ListBox1, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(m_fx.module->readAtLeast(3), QByteArray("\x06\x03\x01"));
    }

    void clearEmptiesAHeldList()
    {
        TMain &w = *m_fx.window;
        QVERIFY(m_fx.module->write(numberedLines(0, 100)));
        QTRY_COMPARE(w.ListModel->rowCount(), 101);
        QTest::keyClick(w.ListBox1, Qt::Key_Home);
        QVERIFY(m_fx.module->write(numberedLines(0, 3)));
        QTRY_VERIFY(w.NewLines->isVisible());
        w.Clear1->trigger();
        QCOMPARE(w.ListModel->rowCount(), 0);
        QVERIFY(!w.NewLines->isVisible());
        QVERIFY(m_fx.module->write("again\r"));
        QTRY_COMPARE(w.ListBox1->currentIndex().row(), 1);
    }

private:
    WindowFixture m_fx;
};

QTEST_MAIN(TestReadBack)
#include "tst_read_back.moc"
