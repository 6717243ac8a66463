#include "app/main_window/ComboBoxNames.h"

#include <QComboBox>
#include <QLabel>

namespace zorvane::app {

QLabel *labelForScreenReaders(QComboBox *box, const QString &text)
{
    // Qt relates a label to a widget when the label is the widget's sibling and names it as
    // its buddy, whether or not the label is shown.
    auto *label = new QLabel(text, box->parentWidget());
    label->setBuddy(box);
    label->hide();
    // Elsewhere than Linux, Qt names a combo box by its accessible name and says the entry as
    // its value.
    box->setAccessibleName(text);
    return label;
}

} // namespace zorvane::app
