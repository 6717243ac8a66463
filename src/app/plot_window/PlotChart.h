#pragma once

#include "plot/Decimation.h"
#include "plot/Scale.h"

#include <QPoint>
#include <QWidget>

#include <array>
#include <optional>
#include <vector>

namespace zorvane::plot {
class PlotData;
class Series;
} // namespace zorvane::plot

namespace zorvane::app {

// The chart of the Plot window, painted here: time across from the values' arrival times,
// one or two autoscaled y axes, a legend whose entries hide and show their series, and a
// crosshair that reads time and value under the mouse. It follows the newest values until
// the user zooms (wheel, a drag across a span) or pans (arrow keys), and holds that span
// until told to follow again (End, a double click, the "Follow" button).
class PlotChart : public QWidget
{
    Q_OBJECT
public:
    explicit PlotChart(const plot::PlotData &data, QWidget *parent = nullptr);

    bool following() const { return m_following; }
    void setFollowing(bool follow);
    // Shows every value there is and follows the newest again.
    void showAll();

    // What the last paint used, for whoever needs to find a value's pixel.
    QRect plotArea() const { return m_area; }
    plot::TimeSpan timeSpan() const;
    const plot::Scale &scale(int axis) const { return m_scales[size_t(axis)]; }
    bool axisUsed(int axis) const { return m_axisUsed[size_t(axis)]; }
    // The legend's entries as last painted, each with its series' index.
    const std::vector<std::pair<QRect, qsizetype>> &legend() const { return m_legend; }
    // The colour of the n-th series of the data.
    static QColor seriesColour(qsizetype n);

signals:
    void followingChanged(bool following);
    // A legend entry was clicked: the series of that index.
    void legendClicked(qsizetype series);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // The time span in view: the whole data or the chosen width while following, else the
    // span held.
    std::pair<qint64, qint64> span() const;
    std::pair<qint64, qint64> dataSpan() const;
    void layout(QPainter &painter);
    void hold(qint64 first, qint64 last);
    void zoomAround(qint64 centre, double factor);
    qint64 timeAt(int x) const;

    const plot::PlotData &m_data;
    bool m_following = true;
    // Held span; while following, only its width counts (0: everything).
    qint64 m_first = 0;
    qint64 m_last = 0;
    qint64 m_followWidth = 0;

    QRect m_area;
    std::pair<qint64, qint64> m_painted;
    std::array<plot::Scale, 2> m_scales;
    std::array<bool, 2> m_axisUsed{};
    std::vector<std::pair<const plot::Series *, int>> m_axisOf;
    std::vector<std::pair<QRect, qsizetype>> m_legend;
    std::optional<QPoint> m_cursor;
    std::optional<QPoint> m_dragFrom;
    bool m_dragging = false;
};

} // namespace zorvane::app
