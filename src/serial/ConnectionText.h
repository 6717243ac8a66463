#pragma once

#include "LineSettings.h"

#include <QString>

namespace zorvane::serial {

// The connection texts of the first status panel and the caption.
QString onlineText(const QString &portName, const LineSettings &settings);
QString offlineText(const QString &portName);
QString countdownText(const QString &portName, double secondsLeft);
QString captionText(const QString &appTitle, const QString &status);

} // namespace zorvane::serial
