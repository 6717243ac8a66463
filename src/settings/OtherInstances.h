#pragma once

#include <QList>
#include <QPoint>
#include <QString>

namespace zorvane::settings {

// Where the windows of the other running instances opened: the place their settings files
// hold, for each settings file whose lock a live process on this machine holds. A window
// that opens without a place of its own steps aside from them.
QList<QPoint> otherInstancePlaces(const QString &documentsFolder);

} // namespace zorvane::settings
