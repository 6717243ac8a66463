#include "terminal/view/ArrivalColumn.h"

#include "terminal/view/TerminalView.h"

#include <QPaintEvent>
#include <QPainter>

namespace zorvane::terminal {

namespace {
constexpr int kPadding = 4;
} // namespace

ArrivalColumn::ArrivalColumn(TerminalView *view) : QWidget(view), m_view(view)
{
    setObjectName(QStringLiteral("ArrivalColumn"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

int ArrivalColumn::columnWidth() const
{
    return fontMetrics().horizontalAdvance(QStringLiteral("00:00:00.000")) + 3 * kPadding;
}

void ArrivalColumn::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QPalette colours = m_view->palette();
    painter.fillRect(event->rect(), colours.brush(QPalette::Base));
    painter.setPen(colours.color(QPalette::Text));
    painter.setFont(m_view->font());
    const int h = m_view->rowHeight();
    const int first = m_view->firstVisibleRow();
    const int rows = m_view->model() ? m_view->model()->rowCount() : 0;
    for (int y = 0, row = first; y < height() && row < rows; y += h, ++row) {
        const QRect cell(kPadding, y, width() - 2 * kPadding, h);
        if (cell.intersects(event->rect()))
            painter.drawText(cell, Qt::AlignRight | Qt::AlignVCenter, m_view->timeText(row));
    }
    // A thin rule between the times and the lines.
    painter.setPen(colours.color(QPalette::Mid));
    painter.drawLine(width() - 1, 0, width() - 1, height());
}

} // namespace zorvane::terminal
