#pragma once

#include <QList>
#include <QRect>
#include <QString>

class QWidget;

namespace zorvane::app {

// One control of a window laid out by design coordinates (logical pixels within its parent).
struct DesignPlace
{
    QWidget *widget = nullptr;
    QRect rect;
    // The longest text the control must show whole: its caption, or for a field the longest
    // value it is given. Empty: only the font's height must fit.
    QString longestText;
    // How wide the control may grow at the design scale without reaching its neighbour; a
    // field with free room to its right widens there before the whole window grows.
    int roomWidth = 0;
};

// The factor by which the whole design grows so that every control shows its text whole in
// the font it has: 1 while the design's sizes suffice.
double designScale(const QList<DesignPlace> &places);
QRect scaledRect(const QRect &rect, double scale);
// Sets every control's geometry for the scale, widening into its room where its text needs it.
void placeAll(const QList<DesignPlace> &places, double scale);

} // namespace zorvane::app
