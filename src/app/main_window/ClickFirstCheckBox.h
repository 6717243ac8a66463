#pragma once

#include <QCheckBox>

namespace zorvane::app {

// A check box whose click handler runs before the box changes state, so the handler still
// sees the mode it is leaving. Every way a person changes it goes through that click: the
// mouse, Space, and the accessibility actions, which for a plain check box would toggle the
// state past the handler. setChecked from code runs no handler; it is for restoring a saved
// state.
class ClickFirstCheckBox : public QCheckBox
{
    Q_OBJECT
public:
    explicit ClickFirstCheckBox(const QString &text, QWidget *parent = nullptr);

signals:
    void clickedBeforeToggle();

protected:
    void nextCheckState() override;
};

} // namespace zorvane::app
