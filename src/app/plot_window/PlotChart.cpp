#include "app/plot_window/PlotChart.h"

#include "plot/PlotData.h"

#include <QDateTime>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace zorvane::plot;

namespace zorvane::app {

namespace {

constexpr int kMargin = 8;
// Steps of the time axis: round times of the clock.
constexpr std::array<qint64, 27> kTimeSteps{
    1,      2,      5,       10,      20,      50,       100,      200,      500,
    1000,   2000,   5000,    10000,   15000,   30000,    60000,    120000,   300000,
    600000, 900000, 1800000, 3600000, 7200000, 10800000, 21600000, 43200000, 86400000};
// Smallest span a zoom goes to.
constexpr qint64 kMinimumSpanMs = 10;

QString timeText(qint64 ms, qint64 step)
{
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(ms);
    if (step < 1000)
        return when.toString(QStringLiteral("HH:mm:ss.zzz"));
    return when.toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

PlotChart::PlotChart(const PlotData &data, QWidget *parent) : QWidget(parent), m_data(data)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(240, 160);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QColor PlotChart::seriesColour(qsizetype n)
{
    static const std::array<QColor, 8> colours{QColor(0x1F, 0x77, 0xB4), QColor(0xD6, 0x27, 0x28),
                                               QColor(0x2C, 0xA0, 0x2C), QColor(0xFF, 0x7F, 0x0E),
                                               QColor(0x94, 0x67, 0xBD), QColor(0x8C, 0x56, 0x4B),
                                               QColor(0xE3, 0x77, 0xC2), QColor(0x17, 0xBE, 0xCF)};
    return colours[size_t(n) % colours.size()];
}

void PlotChart::setFollowing(bool follow)
{
    if (follow == m_following)
        return;
    m_following = follow;
    if (follow) {
        m_followWidth = m_last - m_first;
    } else {
        // Held where it stands.
        m_first = m_painted.first;
        m_last = m_painted.second;
    }
    update();
    emit followingChanged(follow);
}

void PlotChart::showAll()
{
    m_followWidth = 0;
    m_following = false;
    setFollowing(true);
    m_followWidth = 0;
    update();
}

std::pair<qint64, qint64> PlotChart::dataSpan() const
{
    qint64 first = std::numeric_limits<qint64>::max();
    qint64 last = std::numeric_limits<qint64>::min();
    for (const Series *s : m_data.visible()) {
        if (s->isEmpty())
            continue;
        first = std::min(first, s->points().front().ms);
        last = std::max(last, s->points().back().ms);
    }
    if (first > last)
        return {0, 0};
    return {first, last};
}

std::pair<qint64, qint64> PlotChart::span() const
{
    if (!m_following)
        return {m_first, m_last};
    auto [first, last] = dataSpan();
    if (m_followWidth > 0)
        first = last - m_followWidth;
    if (last - first < kMinimumSpanMs) {
        // A single value, or values of one moment, sit in the middle of a second.
        first -= 500;
        last += 500;
    }
    return {first, last};
}

TimeSpan PlotChart::timeSpan() const
{
    return {m_painted.first, m_painted.second, m_area.width()};
}

qint64 PlotChart::timeAt(int x) const
{
    const TimeSpan s = timeSpan();
    if (s.width <= 0)
        return s.first;
    return s.first + qint64(std::llround(double(x - m_area.left()) * double(s.last - s.first) /
                                         double(s.width)));
}

void PlotChart::hold(qint64 first, qint64 last)
{
    if (last - first < kMinimumSpanMs) {
        const qint64 centre = (first + last) / 2;
        first = centre - kMinimumSpanMs / 2;
        last = first + kMinimumSpanMs;
    }
    m_first = first;
    m_last = last;
    const bool was = m_following;
    m_following = false;
    update();
    if (was)
        emit followingChanged(false);
}

void PlotChart::zoomAround(qint64 centre, double factor)
{
    const auto [first, last] = m_painted;
    hold(centre - qint64(double(centre - first) * factor),
         centre + qint64(double(last - centre) * factor));
}

void PlotChart::layout(QPainter &painter)
{
    m_painted = span();
    const QFontMetrics metrics(painter.font());
    const int lineHeight = metrics.height();
    const std::vector<const Series *> shown = m_data.visible();

    // Each axis scales to the values in view, or to all of a series' values when none is.
    std::vector<std::pair<double, double>> ranges;
    std::vector<const Series *> withValues;
    for (const Series *s : shown) {
        if (s->isEmpty())
            continue;
        const qsizetype from = s->lowerBound(m_painted.first);
        const qsizetype to = s->lowerBound(m_painted.second + 1);
        double low = std::numeric_limits<double>::infinity();
        double high = -low;
        if (from == 0 && to == s->size()) {
            // Everything in view, as while following all values: the series knows.
            low = s->minimum();
            high = s->maximum();
        } else if (to > from) {
            for (const Point *p = s->points().data() + from; p != s->points().data() + to; ++p) {
                low = std::min(low, p->value);
                high = std::max(high, p->value);
            }
        } else {
            low = s->minimum();
            high = s->maximum();
        }
        ranges.emplace_back(low, high);
        withValues.push_back(s);
    }
    const std::vector<int> axes = assignAxes(withValues, ranges);
    std::array<std::pair<double, double>, 2> axisRange{
        {{std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()},
         {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()}}};
    m_axisUsed = {false, false};
    m_axisOf.clear();
    for (size_t n = 0; n < withValues.size(); ++n) {
        m_axisOf.emplace_back(withValues[n], axes[n]);
        auto &r = axisRange[size_t(axes[n])];
        r.first = std::min(r.first, ranges[n].first);
        r.second = std::max(r.second, ranges[n].second);
        m_axisUsed[size_t(axes[n])] = true;
    }
    const int wantedTicks = std::max(2, (height() - 3 * lineHeight) / (2 * lineHeight));
    for (int axis = 0; axis < 2; ++axis) {
        m_scales[size_t(axis)] = m_axisUsed[size_t(axis)]
                                     ? niceScale(axisRange[size_t(axis)].first,
                                                 axisRange[size_t(axis)].second, wantedTicks)
                                     : niceScale(0, 1, wantedTicks);
    }
    const auto labelWidth = [&](int axis) {
        int w = 0;
        for (double tick : m_scales[size_t(axis)].ticks)
            w = std::max(w, metrics.horizontalAdvance(tickText(tick, m_scales[size_t(axis)].step)));
        return w + kMargin;
    };
    const int left = kMargin + labelWidth(0);
    const int right = kMargin + (m_axisUsed[1] ? labelWidth(1) : 0);
    m_area = QRect(left, kMargin, std::max(width() - left - right, 1),
                   std::max(height() - 2 * kMargin - lineHeight, 1));
}

void PlotChart::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    layout(painter);
    const QFontMetrics metrics(painter.font());
    const QColor grid(0xE0, 0xE0, 0xE0);
    const QColor text = palette().color(QPalette::Text);

    // Horizontal grid and the y axes' values.
    const Scale &leftScale = m_scales[0];
    for (double tick : leftScale.ticks) {
        const int y = int(std::lround(leftScale.y(tick, m_area.top(), m_area.height())));
        painter.setPen(grid);
        painter.drawLine(m_area.left(), y, m_area.right(), y);
        painter.setPen(text);
        const QString label = tickText(tick, leftScale.step);
        painter.drawText(m_area.left() - kMargin / 2 - metrics.horizontalAdvance(label),
                         y + metrics.ascent() / 2, label);
    }
    if (m_axisUsed[1]) {
        const Scale &rightScale = m_scales[1];
        painter.setPen(text);
        for (double tick : rightScale.ticks) {
            const int y = int(std::lround(rightScale.y(tick, m_area.top(), m_area.height())));
            painter.drawText(m_area.right() + kMargin / 2, y + metrics.ascent() / 2,
                             tickText(tick, rightScale.step));
        }
    }

    // Vertical grid and the times.
    const TimeSpan span = timeSpan();
    const qint64 width = std::max<qint64>(span.last - span.first, 1);
    const int wantedTimes =
        std::max(2, m_area.width() /
                        (metrics.horizontalAdvance(QStringLiteral("00:00:00.000")) + 2 * kMargin));
    qint64 step = kTimeSteps.back();
    for (qint64 candidate : kTimeSteps) {
        if (width / candidate <= wantedTimes) {
            step = candidate;
            break;
        }
    }
    // Round times of the local clock, not of the epoch.
    const qint64 offset = qint64(QDateTime::fromMSecsSinceEpoch(span.first).offsetFromUtc()) * 1000;
    for (qint64 t = ((span.first + offset) / step + 1) * step - offset; t <= span.last; t += step) {
        const int x = m_area.left() + span.column(t);
        painter.setPen(grid);
        painter.drawLine(x, m_area.top(), x, m_area.bottom());
        painter.setPen(text);
        const QString label = timeText(t, step);
        painter.drawText(x - metrics.horizontalAdvance(label) / 2,
                         m_area.bottom() + kMargin / 2 + metrics.ascent(), label);
    }
    painter.setPen(text);
    painter.drawRect(m_area.adjusted(0, 0, -1, -1));

    // The series: one stroke per pixel column, joined to the next.
    painter.save();
    painter.setClipRect(m_area);
    std::vector<QLineF> strokes;
    for (qsizetype n = 0; n < m_data.count(); ++n) {
        const Series &s = m_data.at(n);
        if (!s.visible || s.isEmpty())
            continue;
        // The axis its unit and the values in view gave it.
        int axis = 0;
        for (const auto &[series, side] : m_axisOf) {
            if (series == &s)
                axis = side;
        }
        const Scale &scale = m_scales[size_t(axis)];
        const double top = m_area.top();
        const double height = m_area.height() - 1;
        const auto y = [&](double v) { return scale.y(v, top, height); };
        const std::vector<Column> columns = decimate(s, span);
        strokes.clear();
        strokes.reserve(columns.size() * 2);
        for (size_t c = 0; c < columns.size(); ++c) {
            const double x = m_area.left() + columns[c].x;
            if (columns[c].min != columns[c].max)
                strokes.emplace_back(x, y(columns[c].min), x, y(columns[c].max));
            if (c > 0) {
                const double previousX = m_area.left() + columns[c - 1].x;
                strokes.emplace_back(previousX, y(columns[c - 1].last), x, y(columns[c].first));
            }
        }
        painter.setPen(QPen(seriesColour(n), 0));
        painter.drawLines(strokes.data(), int(strokes.size()));
        if (columns.size() == 1)
            painter.drawPoint(QPointF(m_area.left() + columns[0].x, y(columns[0].last)));
    }
    painter.restore();

    // The legend: every series, hidden ones greyed; a click on an entry hides or shows it.
    m_legend.clear();
    int x = m_area.left() + kMargin;
    const int y = m_area.top() + kMargin / 2;
    for (qsizetype n = 0; n < m_data.count(); ++n) {
        const Series &s = m_data.at(n);
        const int w = metrics.horizontalAdvance(s.name()) + metrics.height() + kMargin;
        const QRect entry(x, y, w, metrics.height());
        const QColor colour = s.visible ? seriesColour(n) : palette().color(QPalette::Mid);
        painter.fillRect(
            QRect(x, y + metrics.height() / 4, metrics.height() / 2, metrics.height() / 2), colour);
        painter.setPen(s.visible ? text : palette().color(QPalette::Mid));
        painter.drawText(x + metrics.height(), y + metrics.ascent(), s.name());
        m_legend.emplace_back(entry, n);
        x += w + kMargin;
    }

    // The crosshair with the time and the value under it.
    if (m_cursor && m_area.contains(*m_cursor) && !m_dragging) {
        painter.setPen(QPen(palette().color(QPalette::Dark), 0, Qt::DashLine));
        painter.drawLine(m_cursor->x(), m_area.top(), m_cursor->x(), m_area.bottom());
        painter.drawLine(m_area.left(), m_cursor->y(), m_area.right(), m_cursor->y());
        const double value = m_scales[0].value(m_cursor->y(), m_area.top(), m_area.height() - 1);
        QString label = QDateTime::fromMSecsSinceEpoch(timeAt(m_cursor->x()))
                            .toString(QStringLiteral("HH:mm:ss.zzz")) +
                        QStringLiteral("  ") + tickText(value, m_scales[0].step / 10);
        if (m_axisUsed[1])
            label += QStringLiteral(" | ") +
                     tickText(m_scales[1].value(m_cursor->y(), m_area.top(), m_area.height() - 1),
                              m_scales[1].step / 10);
        const QRect box = metrics.boundingRect(label).adjusted(-4, -2, 4, 2);
        QPoint at = *m_cursor + QPoint(12, -box.height() - 4);
        at.setX(std::min(at.x(), m_area.right() - box.width()));
        at.setY(std::max(at.y(), m_area.top()));
        const QRect placed(at, box.size());
        painter.fillRect(placed, palette().toolTipBase());
        painter.setPen(palette().color(QPalette::ToolTipText));
        painter.drawText(placed, Qt::AlignCenter, label);
    }

    // The span a drag is choosing.
    if (m_dragging && m_dragFrom && m_cursor) {
        const int a = std::clamp(m_dragFrom->x(), m_area.left(), m_area.right());
        const int b = std::clamp(m_cursor->x(), m_area.left(), m_area.right());
        QColor band = palette().color(QPalette::Highlight);
        band.setAlpha(60);
        painter.fillRect(
            QRect(QPoint(std::min(a, b), m_area.top()), QPoint(std::max(a, b), m_area.bottom())),
            band);
    }
}

void PlotChart::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    update();
}

void PlotChart::wheelEvent(QWheelEvent *event)
{
    const int steps = event->angleDelta().y() / 120;
    if (steps == 0 || m_area.width() <= 1)
        return;
    const qint64 centre = timeAt(int(event->position().x()));
    zoomAround(centre, std::pow(0.8, steps));
    event->accept();
}

void PlotChart::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        for (const auto &[entry, series] : m_legend) {
            if (entry.contains(event->position().toPoint())) {
                emit legendClicked(series);
                return;
            }
        }
        if (m_area.contains(event->position().toPoint()))
            m_dragFrom = event->position().toPoint();
    }
    QWidget::mousePressEvent(event);
}

void PlotChart::mouseMoveEvent(QMouseEvent *event)
{
    m_cursor = event->position().toPoint();
    if (m_dragFrom && (event->buttons() & Qt::LeftButton) &&
        std::abs(m_cursor->x() - m_dragFrom->x()) > 3)
        m_dragging = true;
    update();
}

void PlotChart::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_dragging && m_dragFrom) {
        const int a = std::clamp(m_dragFrom->x(), m_area.left(), m_area.right());
        const int b = std::clamp(int(event->position().x()), m_area.left(), m_area.right());
        if (a != b)
            hold(timeAt(std::min(a, b)), timeAt(std::max(a, b)));
    }
    m_dragging = false;
    m_dragFrom.reset();
    update();
}

void PlotChart::mouseDoubleClickEvent(QMouseEvent *)
{
    showAll();
}

void PlotChart::leaveEvent(QEvent *event)
{
    m_cursor.reset();
    update();
    QWidget::leaveEvent(event);
}

void PlotChart::keyPressEvent(QKeyEvent *event)
{
    const auto [first, last] = m_painted;
    const qint64 quarter = (last - first) / 4;
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoomAround((first + last) / 2, 0.8);
        break;
    case Qt::Key_Minus:
        zoomAround((first + last) / 2, 1.25);
        break;
    case Qt::Key_Left:
        hold(first - quarter, last - quarter);
        break;
    case Qt::Key_Right:
        hold(first + quarter, last + quarter);
        break;
    case Qt::Key_End:
        m_first = first;
        m_last = last;
        setFollowing(true);
        break;
    case Qt::Key_Home:
        showAll();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

} // namespace zorvane::app
