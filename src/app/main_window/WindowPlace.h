#pragma once

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

} // namespace zorvane::app
