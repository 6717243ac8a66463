// The terminal list's model and view: new lines reach the view in one batch per publish,
// a grown last line is reported as changed, clearing resets; and the view keeps the last line
// selected and in view on a long list, and answers clicks and keys on it; dragging the scroll
// bar over lines held in compressed blocks shows them as they came.
#include "terminal/view/TerminalModel.h"
#include "terminal/view/TerminalView.h"

#include <QPaintEvent>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QSignalSpy>
#include <QTest>

using namespace zorvane::terminal;

namespace {

// Gathers what a widget paints.
class PaintWatch : public QObject
{
public:
    PaintWatch(QWidget *widget, QRegion *painted) : m_painted(painted)
    {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            *m_painted += static_cast<QPaintEvent *>(event)->region();
        return false;
    }

private:
    QRegion *m_painted;
};

} // namespace

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

    // New lines scroll the picture on the screen and only what is new is drawn; what is on the
    // screen must still be what a whole repaint of the same rows draws: following the end with
    // the last line selected, a grown last line, a held view, the time column, a resize and a
    // new font.
    void linesOnScreenAreWhatAWholePaintDraws()
    {
        TerminalModel model;
        TerminalView view;
        view.resize(420, 300);
        view.setModel(&model);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QWidget *lines = view.viewport();
        QRegion painted;
        PaintWatch watch(lines, &painted);
        const auto onScreenMatches = [&] {
            QCoreApplication::processEvents();
            // The whole list, the time column and the scroll bars with it.
            const QImage shown = view.screen()
                                     ->grabWindow(view.winId(), 0, 0, view.width(), view.height())
                                     .toImage()
                                     .convertToFormat(QImage::Format_RGB32);
            const QImage whole = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
            return !shown.isNull() && shown == whole;
        };
        bool following = true;
        // As the window shows new lines: the last one selected and in view while following.
        const auto arrive = [&](int count, bool partialLast = false) {
            for (int i = 0; i < count; ++i)
                model.lines().addLine(QStringLiteral("line %1 of the list").arg(model.lines().size()));
            if (partialLast)
                model.lines().appendToLast(QByteArrayView(" and more"));
            model.publish();
            if (following) {
                const QModelIndex last = model.index(model.rowCount() - 1);
                view.selectionModel()->setCurrentIndex(last, QItemSelectionModel::ClearAndSelect);
                view.scrollTo(last);
            }
        };
        const auto check = [&](const char *what) {
            QVERIFY2(onScreenMatches(),
                     qPrintable(QStringLiteral("%1 at %2 rows").arg(what).arg(model.rowCount())));
        };
        const int page = lines->height() / view.rowHeight();
        for (const int count : {3, 1, 1, page - 1, 2, page + 5, 1, 4})
            arrive(count), check("following");
        arrive(0, true), check("grown last line");

        // Once the list fills the view, a line or two draws little more than the new rows.
        painted = {};
        arrive(1);
        QCoreApplication::processEvents();
        QVERIFY2(painted.boundingRect().height() <= 3 * view.rowHeight(),
                 qPrintable(QStringLiteral("painted %1 px high")
                                .arg(painted.boundingRect().height())));
        check("one line");

        view.setTimeColumn(TimeColumn::Clock);
        for (const int count : {1, 2, page * 3})
            arrive(count), check("with the time column");

        // Held a few lines up: new lines leave the picture as it is.
        following = false;
        view.verticalScrollBar()->setValue(view.verticalScrollBar()->value() - 4);
        for (const int count : {1, 6, page * 2})
            arrive(count), check("held");
        following = true;
        arrive(2), check("following again");

        view.resize(380, 420);
        arrive(1), check("after a resize");
        QFont font = view.font();
        font.setPointSize(font.pointSize() + 3);
        view.setFont(font);
        arrive(1), check("after a font change");
        view.verticalScrollBar()->setValue(view.verticalScrollBar()->value() - 3);
        check("scrolled up by hand");
        model.clear();
        arrive(2), check("after clearing");
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
