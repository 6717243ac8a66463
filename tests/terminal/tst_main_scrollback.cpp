// Older lines in the real main window: a scroll-bar drag from the first line to the last over
// blocks that are packed, or moved to disk, draws every row it passes from its block; a spill
// file that cannot be made tells the user once and keeps every line.
#include "WindowFixture.h"
#include "app/main_window/MainForm.h"
#include "terminal/view/TerminalModel.h"

#include <QDir>
#include <QFile>
#include <QListView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

using zorvane::terminal::LineStore;

namespace {

constexpr int kPort = 6;

QString lineText(int i)
{
    return QStringLiteral("%1 +STATUS: link 0 \u00e9\u00ff seq %2").arg(i, 7).arg(i * 7);
}

// Adds the lines, as a burst from the port would, once they are packed (and moved); the
// list learns of them as at a receive tick.
bool addLines(TMain &w, int from, int to)
{
    for (int i = from; i < to; ++i)
        w.ListModel->lines().addLine(lineText(i));
    w.ListModel->lines().settle();
    w.ListModel->publish();
    return w.ListBox1->model()->rowCount() == to;
}

} // namespace

class TestMainScrollback : public QObject
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

    void scrollBarDragOverOlderLines_data()
    {
        QTest::addColumn<bool>("spill");
        QTest::newRow("packed in memory") << false;
        QTest::newRow("moved to disk") << true;
    }

    void scrollBarDragOverOlderLines()
    {
        QFETCH(bool, spill);
        TMain &w = *m_fx.window;
        LineStore &lines = w.ListModel->lines();
        lines.setSpill(spill ? 64 * 1024 : -1);
        constexpr int kLines = 200000;
        QVERIFY(addLines(w, 0, kLines));
        QVERIFY(lines.isSealed(0));
        QCOMPARE(lines.isSpilled(0), spill);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));

        QListView *list = w.ListBox1;
        QScrollBar *bar = list->verticalScrollBar();
        QVERIFY(bar->isVisible());
        QStyleOptionSlider option;
        option.initFrom(bar);
        option.orientation = bar->orientation();
        option.minimum = bar->minimum();
        option.maximum = bar->maximum();
        option.sliderPosition = bar->sliderPosition();
        option.sliderValue = bar->value();
        option.singleStep = bar->singleStep();
        option.pageStep = bar->pageStep();
        const QRect handle = bar->style()->subControlRect(QStyle::CC_ScrollBar, &option,
                                                          QStyle::SC_ScrollBarSlider, bar);
        QVERIFY(handle.isValid());
        // The list follows the newest line: the handle starts at the bottom and is dragged
        // to the top, then back down to the bottom.
        QPoint at = handle.center();
        QTest::mousePress(bar, Qt::LeftButton, {}, at);
        int lastTop = kLines;
        int olderSeen = 0;
        int step = -6;
        for (int y = at.y(); step < 0 || y <= bar->height(); y += step) {
            if (y < 0) {
                step = 6;
                lastTop = -1;
                y = 0;
            }
            at.setY(y);
            QMouseEvent move(QEvent::MouseMove, at, bar->mapToGlobal(at), Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(bar, &move);
            list->viewport()->repaint(); // every row in view drawn from its block
            const QModelIndex top = list->indexAt(QPoint(1, 1));
            QVERIFY(top.isValid());
            QVERIFY(step < 0 ? top.row() <= lastTop : top.row() >= lastTop);
            lastTop = top.row();
            olderSeen += spill ? lines.isSpilled(top.row()) : lines.isSealed(top.row());
            QCOMPARE(top.data().toString(), lineText(top.row()));
            const QModelIndex bottom = list->indexAt(QPoint(1, list->viewport()->height() - 2));
            if (bottom.isValid())
                QCOMPARE(bottom.data().toString(), lineText(bottom.row()));
        }
        QTest::mouseRelease(bar, Qt::LeftButton, {}, at);
        QCOMPARE(bar->value(), bar->maximum());
        QVERIFY(olderSeen > 20);
        QVERIFY(list->viewport()->rect().intersects(
            list->visualRect(w.ListModel->index(kLines - 1))));
        QCOMPARE(notices(), QStringList());
    }

    // The cache folder cannot be made (a file has its name), whoever runs the program.
    void spillThatFailsIsToldOnce()
    {
        TMain &w = *m_fx.window;
        const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
        QVERIFY(cache.startsWith(m_fx.homePath()));
        QDir(cache).removeRecursively();
        QVERIFY(QDir().mkpath(QFileInfo(cache).path()));
        QFile blocker(cache);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();

        LineStore &lines = w.ListModel->lines();
        lines.setSpill(64 * 1024);
        QVERIFY(addLines(w, 0, 100000));
        QTRY_COMPARE(notices().size(), 1);
        QVERIFY2(notices()[0].startsWith(
                     QStringLiteral("Older lines could not be moved to disk (") + cache),
                 qPrintable(notices()[0]));
        QVERIFY(addLines(w, 100000, 200000));
        QTest::qWait(50);
        QCOMPARE(notices().size(), 1);
        QVERIFY(!lines.isSpilled(0));
        for (const int row : {0, 4321, 99999, 150000, 199999})
            QCOMPARE(w.ListModel->index(row).data().toString(), lineText(row));
        QFile::remove(cache);
    }

private:
    // The messages about older lines (the start may say other things, about the port).
    QStringList notices() const { return m_fx.messages.filter(QStringLiteral("Older lines")); }

    WindowFixture m_fx;
};

QTEST_MAIN(TestMainScrollback)
#include "tst_main_scrollback.moc"
