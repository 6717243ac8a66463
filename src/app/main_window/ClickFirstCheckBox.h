#pragma once

#include <QCheckBox>

namespace zorvane::app {

// A check box whose click handler runs before the box changes state, so the handler still
// sees the mode it is leaving; setting the state from code runs no handler.
class ClickFirstCheckBox : public QCheckBox
{
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;

signals:
    void clickedBeforeToggle();

protected:
    void nextCheckState() override
    {
        emit clickedBeforeToggle();
        QCheckBox::nextCheckState();
    }
};

} // namespace zorvane::app
