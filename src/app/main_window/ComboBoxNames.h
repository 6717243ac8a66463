#pragma once

namespace zorvane::app {

// Names combo boxes on the accessibility bus by their accessible name. Qt's own interface
// names a combo box on Unix by its current text, so a screen reader says "Unknown MAC" or
// "255" rather than what the box is for; a box without a name keeps that. The value, the
// drop-down list and the edit field stay as Qt has them.
void installComboBoxNames();

} // namespace zorvane::app
