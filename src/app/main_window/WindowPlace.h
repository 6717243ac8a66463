#pragma once

#include <QList>
#include <QRect>

namespace zorvane::app {

// The Window leaves of the settings file as read, before they are made safe to apply.
struct SavedPlace
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// The window's place and size from the settings file, made safe to apply. The size is
// limited to the space the screens offer, so a damaged value cannot make a window that
// takes the machine's memory, and raised to the smallest window in which every control can
// be reached (which wins on a screen smaller still). The place is kept as given, a window
// partly off the screen included, within a range where place plus size cannot overflow.
// The values come apart, not as a rectangle: a damaged width would overflow its right edge.
QRect windowPlace(const SavedPlace &saved, const QSize &minimum, const QSize &available);

// A restored window's client area, kept where it is while a person can still take hold of
// it: some screen shows a piece of it as tall as a title bar. Otherwise (a place left on a
// monitor that is gone) it is moved onto the nearest screen, below room for its title bar,
// and made no larger than that screen unless its minimum says so. `screens` are the screens'
// available areas; with none the place is kept.
QRect reachablePlace(const QRect &place, const QList<QRect> &screens, int titleBar,
                     const QSize &minimum);

// Where a window whose frame is wanted at `wanted` goes: there, when one screen's available
// area holds all of it; otherwise moved the least way into the screen that shows most of it
// (the nearest when none does), its top left corner kept on that screen when it is larger.
QPoint keepOnScreen(const QRect &wanted, const QList<QRect> &screens);

// Where a window that has no place of its own (a new settings file, or one that another
// running instance uses) opens beside the windows of the other instances: one step down and
// right of `wanted` for each of them that opened there, so no window hides another.
QPoint besideOtherInstances(const QPoint &wanted, const QList<QPoint> &others);
constexpr int kInstanceStep = 30;

// The available areas of the screens present, in the window system's coordinates.
QList<QRect> availableScreenAreas();

} // namespace zorvane::app
