#include "app/bgapi_window/DesignLayout.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace zorvane::app {

namespace {

// Room a control's frame and margins take around its text.
int textPadding(const QWidget *widget)
{
    if (qobject_cast<const QAbstractButton *>(widget))
        return 12;
    if (qobject_cast<const QLineEdit *>(widget))
        return 10;
    return 2;
}

QSize neededSize(const DesignPlace &place)
{
    const QFontMetrics metrics(place.widget->font());
    const int width = place.longestText.isEmpty() ? 0
                                                  : metrics.horizontalAdvance(place.longestText) +
                                                        textPadding(place.widget);
    const int height = metrics.height() + (qobject_cast<const QLabel *>(place.widget) ? 0 : 6);
    return {width, height};
}

int room(const DesignPlace &place)
{
    return std::max(place.rect.width(), place.roomWidth);
}

} // namespace

double designScale(const QList<DesignPlace> &places)
{
    double scale = 1.0;
    for (const DesignPlace &place : places) {
        const QSize needed = neededSize(place);
        scale = std::max({scale, double(needed.width()) / room(place),
                          double(needed.height()) / place.rect.height()});
    }
    return scale;
}

QRect scaledRect(const QRect &rect, double scale)
{
    return QRect(int(std::lround(rect.x() * scale)), int(std::lround(rect.y() * scale)),
                 int(std::lround(rect.width() * scale)), int(std::lround(rect.height() * scale)));
}

void placeAll(const QList<DesignPlace> &places, double scale)
{
    for (const DesignPlace &place : places) {
        QRect rect = scaledRect(place.rect, scale);
        const int needed = neededSize(place).width();
        if (needed > rect.width())
            rect.setWidth(std::min(needed, int(std::lround(room(place) * scale))));
        place.widget->setGeometry(rect);
    }
}

} // namespace zorvane::app
