#pragma once

class QComboBox;
class QLabel;
class QString;

namespace zorvane::app {

// Tells a screen reader what a combo box is for the way Qt's accessibility on Linux expects
// it: the box's own accessible name is the entry it shows (so its value is heard), and what
// it is for comes from a label related to it as labelled-by. The label stays hidden: the
// toolbar's row has no room for it. Returns the label.
QLabel *labelForScreenReaders(QComboBox *box, const QString &text);

} // namespace zorvane::app
