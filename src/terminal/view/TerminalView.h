#pragma once

#include "terminal/ArrivalText.h"
#include "terminal/LineSearch.h"

#include <QListView>

namespace zorvane::terminal {

class ArrivalColumn;

// The terminal list's view: a list view for a very long list of equal-height lines that grows
// at its end. A row's place follows from its number, so showing new lines costs what the
// visible rows cost and the view keeps nothing per row. Qt's own list layout keeps two
// positions per row and recomputes all of them whenever rows are inserted, which stalls the
// window once the list holds millions of lines.
class TerminalView : public QListView
{
    Q_OBJECT
public:
    explicit TerminalView(QWidget *parent = nullptr);

    QRect visualRect(const QModelIndex &index) const override;
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint &point) const override;
    void doItemsLayout() override;

    // Height of every row, taken from the style for one line of text in the view's font.
    int rowHeight() const;
    // Width no character of the byte range is wider than: lines are measured by their
    // length times this, so no line's end is ever out of reach of the scroll bar.
    int characterWidth() const;
    int firstVisibleRow() const { return topRow(); }
    // Rows that fit in the viewport whole, at least one: more new lines than this between
    // two refreshes repaint the whole list.
    int pageRows() const;

    // The arrival times beside the lines, or none.
    void setTimeColumn(TimeColumn column);
    TimeColumn timeColumn() const { return m_timeColumn; }
    // A line's arrival time as the column shows it (the clock form while it is hidden).
    QString timeText(int row) const;
    void reset() override;
    // Matches of the search are marked where they are in view, the current one more strongly;
    // no search marks nothing.
    void setSearch(const LineSearch *search, const LineMatch &current);

protected:
    void rowsInserted(const QModelIndex &parent, int start, int end) override;
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                     const QList<int> &roles = QList<int>()) override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection &selection) const override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    bool event(QEvent *event) override;
    QSize viewportSizeHint() const override;

private:
    int rowCount() const;
    int topRow() const;
    int rowWidth() const;
    // The row under viewport height y (may lie outside the list).
    qint64 rowAtY(int y) const;
    void updateHorizontalRange();
    void updateScrollRanges();
    void paintFocusFrame();
    void placeTimeColumn();
    void paintMatches(QPainter &painter, int row, const QRect &rowRect);

    mutable int m_rowHeight = 0;
    mutable int m_characterWidth = 0;
    TimeColumn m_timeColumn = TimeColumn::Hidden;
    ArrivalColumn *m_column = nullptr;
    const LineSearch *m_search = nullptr;
    LineMatch m_currentMatch;
};

} // namespace zorvane::terminal
