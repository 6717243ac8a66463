#pragma once

#include <QString>
#include <QStringView>

namespace zorvane::settings {

// A profile is a named set of settings beside the default one, so that several instances can
// each keep their own port, toolbars and history. The empty name is the default set.

// Long enough for any name a person types, short enough that every file name built from it
// stays far below the file system's limit.
constexpr int kMaxProfileNameLength = 64;

// Letters and digits of ASCII, '-' and '_': the name goes into file names and must mean the
// same file on every system and in every locale.
bool isValidProfileName(QStringView name);

// "zv_settings.xml" for the default set, "zv_settings-NAME.xml" for a profile.
QString settingsFileName(const QString &profile);

// What goes in front of a session log's name: "NAME-" for a profile, nothing by default.
QString logFilePrefix(const QString &profile);

} // namespace zorvane::settings
