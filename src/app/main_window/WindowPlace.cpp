#include "app/main_window/WindowPlace.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace zorvane::app {

namespace {
// Farther than any screen reaches, and small enough that adding a size to it cannot overflow.
constexpr int kFarthest = 1 << 24;
// A visible piece narrower than this is no handle to drag a window back by.
constexpr int kGripWidth = 100;

int limited(int value, int minimum, int available)
{
    return std::max(std::min(value, available), minimum);
}

qint64 overlapArea(const QRect &a, const QRect &b)
{
    const QRect piece = a.intersected(b);
    return piece.isEmpty() ? 0 : qint64(piece.width()) * piece.height();
}

// Squared length of the gap between two rectangles; 0 when they touch or overlap.
qint64 gap(const QRect &a, const QRect &b)
{
    const qint64 dx =
        std::max<qint64>({0, qint64(b.left()) - a.right(), qint64(a.left()) - b.right()});
    const qint64 dy =
        std::max<qint64>({0, qint64(b.top()) - a.bottom(), qint64(a.top()) - b.bottom()});
    return dx * dx + dy * dy;
}

// The screen that shows most of `place`, or the nearest one when none shows any of it.
QRect nearestScreen(const QRect &place, const QList<QRect> &screens)
{
    return *std::min_element(screens.begin(), screens.end(), [&](const QRect &a, const QRect &b) {
        const qint64 areaA = overlapArea(place, a);
        const qint64 areaB = overlapArea(place, b);
        if (areaA != areaB)
            return areaA > areaB;
        return gap(place, a) < gap(place, b);
    });
}

// The least move that brings `place` inside `area`; its top left corner stays inside when
// it is the larger.
QPoint movedInside(const QRect &place, const QRect &area)
{
    const int x = std::max(std::min(place.x(), area.x() + area.width() - place.width()), area.x());
    const int y =
        std::max(std::min(place.y(), area.y() + area.height() - place.height()), area.y());
    return {x, y};
}
} // namespace

QRect windowPlace(const SavedPlace &saved, const QSize &minimum, const QSize &available)
{
    return {std::clamp(saved.left, -kFarthest, kFarthest),
            std::clamp(saved.top, -kFarthest, kFarthest),
            limited(saved.width, minimum.width(), available.width()),
            limited(saved.height, minimum.height(), available.height())};
}

QRect reachablePlace(const QRect &place, const QList<QRect> &screens, int titleBar,
                     const QSize &minimum)
{
    const int gripWidth = std::min(place.width(), kGripWidth);
    const bool reachable = std::any_of(screens.begin(), screens.end(), [&](const QRect &screen) {
        const QRect piece = place.intersected(screen);
        return piece.height() >= titleBar && piece.width() >= gripWidth;
    });
    if (reachable || screens.isEmpty())
        return place;
    // The client area goes below the title bar the window manager puts above it.
    const QRect area = nearestScreen(place, screens).adjusted(0, titleBar, 0, 0);
    const QSize size(limited(place.width(), minimum.width(), area.width()),
                     limited(place.height(), minimum.height(), area.height()));
    return {movedInside(QRect(place.topLeft(), size), area), size};
}

QPoint keepOnScreen(const QRect &wanted, const QList<QRect> &screens)
{
    const bool fits = std::any_of(screens.begin(), screens.end(),
                                  [&](const QRect &screen) { return screen.contains(wanted); });
    if (fits || screens.isEmpty())
        return wanted.topLeft();
    return movedInside(wanted, nearestScreen(wanted, screens));
}

QPoint besideOtherInstances(const QPoint &wanted, const QList<QPoint> &others)
{
    const auto there = others.count(wanted);
    return wanted + QPoint(kInstanceStep, kInstanceStep) * int(there);
}

QList<QRect> availableScreenAreas()
{
    QList<QRect> areas;
    for (const QScreen *screen : QGuiApplication::screens())
        areas << screen->availableGeometry();
    return areas;
}

} // namespace zorvane::app
