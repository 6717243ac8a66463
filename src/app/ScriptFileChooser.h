#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace zorvane::app {

// The file dialog of File > Run Script... goes through here, so a test can answer it as a
// person would pick a file.
using ScriptFileHandler = std::function<QString(QWidget *parent)>;

// Replaces the real dialog; an empty handler brings it back.
void setScriptFileHandler(ScriptFileHandler handler);

// The Lua script the user picks; empty when the dialog was cancelled.
QString chooseScriptFile(QWidget *parent);

} // namespace zorvane::app
