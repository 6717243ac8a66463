// The terminal list's model and view: new lines reach the view in one batch per publish,
// a grown last line is reported as changed, clearing resets; and the view keeps the last line
// selected and in view on a long list, and answers clicks and keys on it; dragging the scroll
// bar over lines held in compressed blocks shows them as they came.
#include "terminal/view/TerminalModel.h"
#include "terminal/view/TerminalView.h"

#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QSignalSpy>
#include <QTest>

using namespace zorvane::terminal;

class TestTerminalModel : public QObject
{
    Q_OBJECT

private slots:
    void publishTellsTheViewOnce()
    {
        TerminalModel model;
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        for (int i = 0; i < 1000; ++i)
            model.lines().addLine(QString::number(i));
        // Stored but not yet announced.
        QCOMPARE(model.rowCount(), 0);
        QVERIFY(model.hasUnpublished());
        QCOMPARE(inserted.count(), 0);

        model.publish();
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(inserted[0][1].toInt(), 0);
        QCOMPARE(inserted[0][2].toInt(), 999);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(model.rowCount(), 1000);
        QCOMPARE(model.index(999).data().toString(), QStringLiteral("999"));
        QVERIFY(!model.hasUnpublished());

        // Nothing new: nothing said.
        model.publish();
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(changed.count(), 0);
    }

    void grownLastLineIsChanged()
    {
        TerminalModel model;
        model.lines().addLine(u"a");
        model.lines().addLine(u"b");
        model.publish();
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

        // Only the last line grew.
        model.lines().appendToLast(QByteArrayView("c"));
        QVERIFY(model.hasUnpublished());
        model.publish();
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed[0][0].toModelIndex().row(), 1);
        QCOMPARE(changed[0][1].toModelIndex().row(), 1);
        QCOMPARE(inserted.count(), 0);
        QCOMPARE(model.longestPublishedLength(), 2);

        // The last line grew and new lines followed it.
        model.lines().appendToLast(QByteArrayView("dddd"));
        model.lines().addLine(u"e");
        model.lines().addLine(u"f");
        model.publish();
        QCOMPARE(changed.count(), 2);
        QCOMPARE(changed[1][0].toModelIndex().row(), 1);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(inserted[0][1].toInt(), 2);
        QCOMPARE(inserted[0][2].toInt(), 3);
        QCOMPARE(model.index(1).data().toString(), QStringLiteral("bcdddd"));
        QCOMPARE(model.longestPublishedLength(), 6);
    }

    void clearResets()
    {
        TerminalModel model;
        for (int i = 0; i < 10; ++i)
            model.lines().addLine(u"line");
        model.publish();
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        model.clear();
        QCOMPARE(reset.count(), 1);
        QCOMPARE(model.rowCount(), 0);
        QVERIFY(model.lines().isEmpty());
        QVERIFY(!model.hasUnpublished());
        QCOMPARE(model.longestPublishedLength(), 0);

        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        model.lines().addLine(u"again");
        model.publish();
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(inserted[0][1].toInt(), 0);
        QCOMPARE(inserted[0][2].toInt(), 0);
    }

    void coloursAreTheScheme()
    {
        TerminalModel model;
        model.lines().addLine(u"x");
        model.publish();
        // No scheme yet: the view's palette decides.
        QVERIFY(!model.index(0).data(Qt::BackgroundRole).isValid());
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.setColours(Qt::black, QColor(0x7C, 0xFC, 0x00));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(model.index(0).data(Qt::BackgroundRole).value<QColor>(), QColor(Qt::black));
        QCOMPARE(model.index(0).data(Qt::ForegroundRole).value<QColor>(), QColor(0x7C, 0xFC, 0x00));
    }

    void viewKeepsTheLastLineInView()
    {
        TerminalModel model;
        for (int i = 0; i < 200000; ++i)
            model.lines().addLine(QString::number(i));
        model.publish();
        TerminalView view;
        view.resize(400, 300);
        view.setModel(&model);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        for (int round = 0; round < 3; ++round) {
            model.lines().addLine(QStringLiteral("new %1").arg(round));
            model.publish();
            const QModelIndex last = model.index(model.rowCount() - 1);
            view.setCurrentIndex(last);
            view.scrollTo(last);
            const QRect rect = view.visualRect(last);
            QVERIFY(view.viewport()->rect().contains(rect));
            QCOMPARE(view.indexAt(rect.center()), last);
            QCOMPARE(view.selectionModel()->selectedIndexes(), QModelIndexList{last});
        }
        QCOMPARE(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());

        // A click selects the line under it; Home goes to the first line and shows it.
        const QModelIndex above = model.index(model.rowCount() - 3);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.visualRect(above).center());
        QCOMPARE(view.currentIndex(), above);
        QTest::keyClick(&view, Qt::Key_Home);
        QCOMPARE(view.currentIndex().row(), 0);
        QCOMPARE(view.verticalScrollBar()->value(), 0);
        QCOMPARE(view.indexAt(view.visualRect(model.index(0)).center()), model.index(0));
        QTest::keyClick(&view, Qt::Key_PageDown);
        QVERIFY(view.currentIndex().row() > 1);
        QVERIFY(view.viewport()->rect().contains(view.visualRect(view.currentIndex())));
    }

    // The scroll bar repaints only the parts that changed; what is on the screen must still be
    // what a whole repaint would draw, while the list grows, the handle shrinks and moves, and
    // the ends are reached.
    void scrollBarOnScreenIsWhatAWholePaintDraws()
    {
        TerminalModel model;
        TerminalView view;
        view.resize(400, 300);
        view.setModel(&model);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QScrollBar *bar = view.verticalScrollBar();
        const auto onScreenMatches = [&] {
            QCoreApplication::processEvents();
            const QPoint at = bar->mapTo(&view, QPoint(0, 0));
            const QImage shown =
                view.screen()
                    ->grabWindow(view.winId(), at.x(), at.y(), bar->width(), bar->height())
                    .toImage()
                    .convertToFormat(QImage::Format_RGB32);
            const QImage whole = bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
            return !shown.isNull() && shown == whole;
        };
        const auto grow = [&](int lines) {
            for (int i = 0; i < lines; ++i)
                model.lines().addLine(QString::number(model.lines().size()));
            model.publish();
            view.scrollTo(model.index(model.rowCount() - 1));
        };
        for (const int lines : {30, 1, 5, 40, 200, 3, 2000, 1}) {
            grow(lines);
            QVERIFY2(onScreenMatches(),
                     qPrintable(QStringLiteral("after %1 rows").arg(model.rowCount())));
        }
        QTest::keyClick(&view, Qt::Key_Home);
        QVERIFY2(onScreenMatches(), "at the first line");
        QTest::keyClick(&view, Qt::Key_PageDown);
        QVERIFY2(onScreenMatches(), "a page down");
        QTest::keyClick(&view, Qt::Key_End);
        QVERIFY2(onScreenMatches(), "at the last line");
    }

    void scrollBarDragOverSealedBlocks()
    {
        TerminalModel model;
        const auto lineText = [](int i) {
            return QStringLiteral("%1 +STATUS: link 0 \u00e9\u00ff seq %2").arg(i, 7).arg(i * 7);
        };
        constexpr int kLines = 200000;
        for (int i = 0; i < kLines; ++i)
            model.lines().addLine(lineText(i));
        model.lines().settle();
        model.publish();
        QVERIFY(model.lines().isSealed(0));
        TerminalView view;
        view.resize(400, 300);
        view.setModel(&model);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTest::keyClick(&view, Qt::Key_Home);

        QScrollBar *bar = view.verticalScrollBar();
        QStyleOptionSlider option;
        option.initFrom(bar);
        option.orientation = bar->orientation();
        option.minimum = bar->minimum();
        option.maximum = bar->maximum();
        option.sliderPosition = bar->sliderPosition();
        option.sliderValue = bar->value();
        option.singleStep = bar->singleStep();
        option.pageStep = bar->pageStep();
        const QRect handle =
            bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, bar);
        QVERIFY(handle.isValid());
        QPoint at = handle.center();
        QTest::mousePress(bar, Qt::LeftButton, {}, at);
        int lastTop = -1;
        int sealedSeen = 0;
        for (int y = at.y(); y <= bar->height(); y += 6) {
            at.setY(y);
            QMouseEvent move(QEvent::MouseMove, at, bar->mapToGlobal(at), Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(bar, &move);
            view.viewport()->repaint(); // every row in view drawn from its block
            const QModelIndex top = view.indexAt(QPoint(1, 1));
            QVERIFY(top.isValid());
            QVERIFY(top.row() >= lastTop);
            lastTop = top.row();
            sealedSeen += model.lines().isSealed(top.row());
            QCOMPARE(top.data().toString(), lineText(top.row()));
            const QModelIndex bottom = view.indexAt(QPoint(1, view.viewport()->height() - 2));
            if (bottom.isValid())
                QCOMPARE(bottom.data().toString(), lineText(bottom.row()));
        }
        QTest::mouseRelease(bar, Qt::LeftButton, {}, at);
        QCOMPARE(bar->value(), bar->maximum());
        QVERIFY(sealedSeen > 10);
        QVERIFY(view.viewport()->rect().intersects(view.visualRect(model.index(kLines - 1))));
    }
};

QTEST_MAIN(TestTerminalModel)
#include "tst_terminal_model.moc"
