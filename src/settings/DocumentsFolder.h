#pragma once

#include <QString>

namespace zorvane::settings {

// The folder that holds the settings file, the log files and the ports/ override links,
// with a trailing separator.
QString documentsFolder();

// Creates the folder, and its parent when that is missing too; a failure is left to the
// file operations that need it to report.
void ensureFolder(const QString &folder);

} // namespace zorvane::settings
