#include "app/main_window/WindowPlace.h"

#include <algorithm>

namespace zorvane::app {

namespace {
// Farther than any screen reaches, and small enough that adding a size to it cannot overflow.
constexpr int kFarthest = 1 << 24;

int limited(int value, int minimum, int available)
{
    return std::max(std::min(value, available), minimum);
}
} // namespace

QRect windowPlace(const SavedPlace &saved, const QSize &minimum, const QSize &available)
{
    return {std::clamp(saved.left, -kFarthest, kFarthest),
            std::clamp(saved.top, -kFarthest, kFarthest),
            limited(saved.width, minimum.width(), available.width()),
            limited(saved.height, minimum.height(), available.height())};
}

} // namespace zorvane::app
