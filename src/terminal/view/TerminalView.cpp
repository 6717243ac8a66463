#include "terminal/view/TerminalView.h"

#include "terminal/view/ArrivalColumn.h"
#include "terminal/view/TerminalDelegate.h"
#include "terminal/view/TerminalModel.h"

#include <QCursor>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionSlider>

#include <algorithm>
#include <limits>

namespace zorvane::terminal {

namespace {

int clampToInt(qint64 value)
{
    constexpr qint64 kLimit = std::numeric_limits<int>::max() / 2;
    return static_cast<int>(std::clamp(value, -kLimit, kLimit));
}

// Floor division, so a point above the first row maps to a row before it.
qint64 floorDiv(qint64 a, qint64 b)
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// Repaints only when what it shows changes: a list that grows by a few lines per refresh
// moves the handle of a long list by less than a pixel, and the style's scroll bar costs
// about as much to paint as a screen of lines.
class QuietScrollBar : public QScrollBar
{
public:
    QuietScrollBar(Qt::Orientation orientation, QWidget *parent) : QScrollBar(orientation, parent)
    {}

protected:
    void sliderChange(SliderChange change) override
    {
        const Look now = look();
        if (change == SliderOrientationChange || !m_painted.handle.isValid()) {
            QScrollBar::sliderChange(change);
            return;
        }
        if (now == m_painted)
            return;
        // Only what changed since the last paint is repainted: the strip the handle left and
        // the one it took, and an arrow that became usable or stopped being so. The groove
        // is one large gradient fill, which the raster engine spreads over worker threads
        // whenever the whole bar is painted.
        constexpr int kOutline = 2; // the style's frame and shadow around the handle
        QRegion changed =
            m_painted.handle.united(now.handle).adjusted(-kOutline, -kOutline, kOutline, kOutline);
        if (now.atMinimum != m_painted.atMinimum)
            changed += subControl(QStyle::SC_ScrollBarSubLine);
        if (now.atMaximum != m_painted.atMaximum)
            changed += subControl(QStyle::SC_ScrollBarAddLine);
        update(changed.intersected(rect()));
    }

    void paintEvent(QPaintEvent *event) override
    {
        m_painted = look();
        QScrollBar::paintEvent(event);
    }

private:
    struct Look
    {
        QRect handle;
        bool atMinimum = false;
        bool atMaximum = false;
        bool operator==(const Look &) const = default;
    };

    QRect subControl(QStyle::SubControl part) const
    {
        QStyleOptionSlider option;
        initStyleOption(&option);
        return style()->subControlRect(QStyle::CC_ScrollBar, &option, part, this);
    }

    Look look() const
    {
        return {subControl(QStyle::SC_ScrollBarSlider), value() == minimum(), value() == maximum()};
    }

    Look m_painted;
};

} // namespace

TerminalView::TerminalView(QWidget *parent) : QListView(parent)
{
    setUniformItemSizes(true);
    setWrapping(false);
    setFlow(TopToBottom);
    setItemDelegate(new TerminalDelegate(this));
    setVerticalScrollBar(new QuietScrollBar(Qt::Vertical, this));
    setHorizontalScrollBar(new QuietScrollBar(Qt::Horizontal, this));
    // Every row paints its own background and paintEvent() the space below the last row, so
    // the viewport is not filled first: that fill is the largest one of a repaint, and the
    // raster engine spreads large fills over worker threads.
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    m_column = new ArrivalColumn(this);
    m_column->hide();
}

void TerminalView::setTimeColumn(TimeColumn column)
{
    m_timeColumn = column;
    const bool shown = column != TimeColumn::Hidden;
    setViewportMargins(shown ? m_column->columnWidth() : 0, 0, 0, 0);
    m_column->setVisible(shown);
    placeTimeColumn();
    m_column->update();
}

void TerminalView::placeTimeColumn()
{
    if (m_column->isHidden())
        return;
    const QRect lines = viewport()->geometry();
    m_column->setGeometry(lines.left() - m_column->columnWidth(), lines.top(),
                          m_column->columnWidth(), lines.height());
}

QString TerminalView::timeText(int row) const
{
    const auto *lines = qobject_cast<const TerminalModel *>(model());
    if (!lines || row < 0 || row >= lines->rowCount())
        return {};
    const qint64 ms = lines->lines().arrivalMs(row);
    if (m_timeColumn != TimeColumn::SincePrevious)
        return clockText(ms);
    return sinceText(ms, row > 0 ? lines->lines().arrivalMs(row - 1) : ms);
}

void TerminalView::setSearch(const LineSearch *search, const LineMatch &current)
{
    m_search = search;
    m_currentMatch = current;
    viewport()->update();
}

void TerminalView::paintMatches(QPainter &painter, int row, const QRect &rowRect)
{
    const auto *lines = qobject_cast<const TerminalModel *>(model());
    if (!lines)
        return;
    const std::vector<LineMatch> matches = m_search->matchesIn(lines->lines(), row);
    if (matches.empty())
        return;
    // Where the text starts, as the delegate places it; translucent so the text shows through.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const QFontMetricsF metrics(font());
    const QString text = lines->lines().text(row);
    for (const LineMatch &match : matches) {
        const qreal x = rowRect.left() + margin + metrics.horizontalAdvance(text.left(match.start));
        const qreal w = metrics.horizontalAdvance(text.mid(match.start, match.length));
        const bool current = match == m_currentMatch;
        painter.fillRect(QRectF(x, rowRect.top(), w, rowRect.height()),
                         current ? QColor(255, 140, 0, 150) : QColor(255, 230, 0, 110));
    }
}

void TerminalView::reset()
{
    QListView::reset();
    m_column->update();
}

int TerminalView::rowCount() const
{
    return model() ? model()->rowCount(rootIndex()) : 0;
}

int TerminalView::topRow() const
{
    return verticalScrollBar()->value();
}

int TerminalView::rowHeight() const
{
    if (m_rowHeight == 0) {
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        option.features |= QStyleOptionViewItem::HasDisplay;
        option.text = QStringLiteral("Xg");
        const QSize size = style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, {}, this);
        m_rowHeight = std::max(1, size.height());
    }
    return m_rowHeight;
}

int TerminalView::characterWidth() const
{
    if (m_characterWidth == 0) {
        const QFontMetrics metrics(font());
        int widest = 1;
        for (int c = 1; c < 256; ++c)
            widest = std::max(widest, metrics.horizontalAdvance(QChar(c)));
        m_characterWidth = widest;
    }
    return m_characterWidth;
}

int TerminalView::pageRows() const
{
    return std::max(1, viewport()->height() / rowHeight());
}

int TerminalView::rowWidth() const
{
    const auto *lines = qobject_cast<const TerminalModel *>(model());
    const qint64 longest = lines ? lines->longestPublishedLength() : 0;
    // The style's text margins on both sides, generously.
    const int margins = 4 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
    return std::max(viewport()->width(), clampToInt(longest * characterWidth() + margins));
}

qint64 TerminalView::rowAtY(int y) const
{
    return topRow() + floorDiv(y, rowHeight());
}

QRect TerminalView::visualRect(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != model() || index.parent() != rootIndex() ||
        index.column() != modelColumn())
        return {};
    const int h = rowHeight();
    const int y = clampToInt((qint64(index.row()) - topRow()) * h);
    return {-horizontalOffset(), y, rowWidth(), h};
}

void TerminalView::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    if (!index.isValid() || index.model() != model() || index.parent() != rootIndex())
        return;
    const int row = index.row();
    const int page = pageRows();
    int top = topRow();
    switch (hint) {
    case EnsureVisible:
        if (row < top)
            top = row;
        else if (row >= top + page)
            top = row - page + 1;
        break;
    case PositionAtTop:
        top = row;
        break;
    case PositionAtBottom:
        top = row - page + 1;
        break;
    case PositionAtCenter:
        top = row - page / 2;
        break;
    }
    // The scroll bar range may lag behind rows the model has just announced.
    updateScrollRanges();
    verticalScrollBar()->setValue(top);
}

QModelIndex TerminalView::indexAt(const QPoint &point) const
{
    const qint64 row = rowAtY(point.y());
    if (row < 0 || row >= rowCount() || point.x() < 0 || point.x() >= viewport()->width())
        return {};
    return model()->index(static_cast<int>(row), modelColumn(), rootIndex());
}

void TerminalView::doItemsLayout()
{
    // Nothing per row to lay out: only the row height and the scroll ranges.
    m_rowHeight = 0;
    QAbstractItemView::doItemsLayout();
}

void TerminalView::rowsInserted(const QModelIndex &parent, int start, int end)
{
    QAbstractItemView::rowsInserted(parent, start, end);
    if (parent != rootIndex())
        return;
    // Only the ranges: the item view's own geometry update starts a zero timer to fetch more
    // rows, an extra turn of the event loop on every refresh for a model that has them all.
    updateScrollRanges();
    const int h = rowHeight();
    const qint64 y = (qint64(start) - topRow()) * h;
    if (y < viewport()->height())
        viewport()->update(0, clampToInt(std::max<qint64>(y, 0)), viewport()->width(),
                           viewport()->height());
    if (y < viewport()->height() && m_column->isVisible())
        m_column->update(0, clampToInt(std::max<qint64>(y, 0)), m_column->width(),
                         m_column->height());
}

void TerminalView::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                               const QList<int> &roles)
{
    // A grown last line may be the new longest one.
    updateHorizontalRange();
    QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
}

void TerminalView::updateHorizontalRange()
{
    QScrollBar *bar = horizontalScrollBar();
    bar->setSingleStep(characterWidth());
    bar->setPageStep(viewport()->width());
    bar->setRange(0, std::max(0, rowWidth() - viewport()->width()));
}

void TerminalView::updateScrollRanges()
{
    const int page = pageRows();
    QScrollBar *bar = verticalScrollBar();
    bar->setSingleStep(1);
    bar->setPageStep(page);
    bar->setRange(0, std::max(0, rowCount() - page));
    updateHorizontalRange();
}

void TerminalView::updateGeometries()
{
    updateScrollRanges();
    QAbstractItemView::updateGeometries();
}

void TerminalView::scrollContentsBy(int dx, int dy)
{
    // The vertical scroll bar counts rows. The pixels already drawn move, and only the rows
    // that come into view are painted: following a slow stream then draws a line or two per
    // refresh instead of the whole list (the scroll area's default repaints all of it).
    const int pixels = clampToInt(qint64(dy) * rowHeight());
    viewport()->scroll(dx, pixels);
    if (dy != 0 && m_column->isVisible())
        m_column->scroll(0, pixels);
}

int TerminalView::horizontalOffset() const
{
    return horizontalScrollBar()->value();
}

int TerminalView::verticalOffset() const
{
    return clampToInt(qint64(topRow()) * rowHeight());
}

QModelIndex TerminalView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers)
{
    const int rows = rowCount();
    if (rows == 0)
        return {};
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return model()->index(0, modelColumn(), rootIndex());
    qint64 row = current.row();
    switch (cursorAction) {
    case MoveUp:
    case MovePrevious:
        --row;
        break;
    case MoveDown:
    case MoveNext:
        ++row;
        break;
    // Page Up and Page Down turn the view a page as well, whichever line is current, so
    // Page Up from the newest line leaves the bottom.
    case MovePageUp:
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
        row -= pageRows();
        break;
    case MovePageDown:
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
        row += pageRows();
        break;
    case MoveHome:
        row = 0;
        break;
    case MoveEnd:
        row = rows - 1;
        break;
    case MoveLeft:
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
        return current;
    case MoveRight:
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        return current;
    }
    row = std::clamp<qint64>(row, 0, rows - 1);
    return model()->index(static_cast<int>(row), modelColumn(), rootIndex());
}

void TerminalView::setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command)
{
    if (!selectionModel())
        return;
    const QRect area = rect.normalized();
    const int rows = rowCount();
    qint64 first = rowAtY(area.top());
    qint64 last = rowAtY(area.bottom());
    QItemSelection selection;
    // A click (a one-pixel rectangle) below the last line selects nothing; a drag reaching
    // past either end takes the lines up to that end.
    if (area.width() == 1 && area.height() == 1 ? (first >= 0 && first < rows)
                                                : (last >= 0 && first < rows)) {
        first = std::clamp<qint64>(first, 0, rows - 1);
        last = std::clamp<qint64>(last, 0, rows - 1);
        const QModelIndex root = rootIndex();
        selection.select(model()->index(static_cast<int>(first), modelColumn(), root),
                         model()->index(static_cast<int>(last), modelColumn(), root));
    }
    selectionModel()->select(selection, command);
}

QRegion TerminalView::visualRegionForSelection(const QItemSelection &selection) const
{
    QRegion region;
    const int h = rowHeight();
    const qint64 top = topRow();
    const int height = viewport()->height();
    for (const QItemSelectionRange &range : selection) {
        if (!range.isValid() || range.parent() != rootIndex())
            continue;
        const qint64 y1 = std::max<qint64>((range.top() - top) * h, 0);
        const qint64 y2 = std::min<qint64>((range.bottom() + 1 - top) * h, height);
        if (y1 < y2)
            region += QRect(0, int(y1), viewport()->width(), int(y2 - y1));
    }
    return region;
}

void TerminalView::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const QRect area = event->rect();
    const int rows = rowCount();
    const qint64 belowRows = (qint64(rows) - topRow()) * rowHeight();
    if (belowRows <= area.bottom()) {
        const int top = std::max(area.top(), clampToInt(belowRows));
        painter.fillRect(QRect(area.left(), top, area.width(), area.bottom() + 1 - top),
                         viewport()->palette().brush(viewport()->backgroundRole()));
    }
    if (rows == 0)
        return;
    QStyleOptionViewItem option;
    initViewItemOption(&option);

    const qint64 first = std::max<qint64>(rowAtY(area.top()), 0);
    const qint64 last = std::min<qint64>(rowAtY(area.bottom()), rows - 1);

    const QModelIndex current = currentIndex();
    const bool focus = (hasFocus() || viewport()->hasFocus()) && current.isValid();
    const QModelIndex hover = viewport()->underMouse()
                                  ? indexAt(viewport()->mapFromGlobal(QCursor::pos()))
                                  : QModelIndex();
    const QItemSelectionModel *selections = selectionModel();
    const QStyle::State state = option.state;
    const bool enabled = state & QStyle::State_Enabled;
    const QModelIndex root = rootIndex();

    for (qint64 row = first; row <= last; ++row) {
        const QModelIndex index = model()->index(static_cast<int>(row), modelColumn(), root);
        option.rect = visualRect(index);
        option.state = state;
        if (selections && selections->isSelected(index))
            option.state |= QStyle::State_Selected;
        if (enabled) {
            const bool itemEnabled = model()->flags(index) & Qt::ItemIsEnabled;
            if (!itemEnabled)
                option.state &= ~QStyle::State_Enabled;
            option.palette.setCurrentColorGroup(itemEnabled ? QPalette::Normal
                                                            : QPalette::Disabled);
        }
        if (focus && index == current)
            option.state |= QStyle::State_HasFocus;
        if (index == hover)
            option.state |= QStyle::State_MouseOver;
        if (alternatingRowColors()) {
            if (row & 1)
                option.features |= QStyleOptionViewItem::Alternate;
            else
                option.features &= ~QStyleOptionViewItem::Alternate;
            QStyleOptionViewItem rowOption = option;
            rowOption.state &= ~QStyle::State_Selected;
            style()->drawPrimitive(QStyle::PE_PanelItemViewRow, &rowOption, &painter, this);
        }
        itemDelegateForIndex(index)->paint(&painter, option, index);
        if (m_search && !m_search->isEmpty())
            paintMatches(painter, static_cast<int>(row), option.rect);
    }
}

void TerminalView::paintFocusFrame()
{
    // Keys typed while the list has the focus go to the module, so the focus must show: the
    // list's frame takes the highlight colour, which shows on either colour scheme. It is
    // the frame's, not the viewport's, so scrolling the lines never moves it.
    if (!hasFocus() || frameWidth() <= 0)
        return;
    QPainter painter(this);
    const int width = frameWidth();
    painter.setPen(QPen(palette().color(QPalette::Active, QPalette::Highlight), width,
                        Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(rect()).adjusted(width / 2.0, width / 2.0, -width / 2.0, -width / 2.0));
}

void TerminalView::focusInEvent(QFocusEvent *event)
{
    QListView::focusInEvent(event);
    update();
}

void TerminalView::focusOutEvent(QFocusEvent *event)
{
    QListView::focusOutEvent(event);
    update();
}

void TerminalView::resizeEvent(QResizeEvent *event)
{
    // Only the scroll ranges depend on the size.
    QAbstractItemView::resizeEvent(event);
    placeTimeColumn();
}

bool TerminalView::event(QEvent *event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        m_rowHeight = 0;
        m_characterWidth = 0;
        if (m_timeColumn != TimeColumn::Hidden)
            setTimeColumn(m_timeColumn);
    }
    const bool handled = QListView::event(event);
    if (event->type() == QEvent::Paint)
        paintFocusFrame();
    return handled;
}

QSize TerminalView::viewportSizeHint() const
{
    return QAbstractItemView::viewportSizeHint();
}

} // namespace zorvane::terminal
