#pragma once

#include <QToolButton>

namespace zorvane::app {

// A switch for an output line (DTR, RTS): every way of pressing it, the mouse, Space and the
// accessibility actions Toggle and Press, is a click, so the line change is sent by the click
// handler; a toggle that only flipped the mark would claim a state the port does not have.
class LineSwitch : public QToolButton
{
    Q_OBJECT
public:
    explicit LineSwitch(QWidget *parent = nullptr);
};

// An indicator for an input line (CTS, DSR, DCD, RI): it looks like a switch and says checked
// when its line is active, but nothing the user does changes it: no click lands on it, and
// Space, Toggle or Press from a screen reader leave its mark alone. Tab still reaches it, so
// its state can be heard.
class LineIndicator : public QToolButton
{
    Q_OBJECT
public:
    explicit LineIndicator(QWidget *parent = nullptr);

protected:
    bool hitButton(const QPoint &) const override { return false; }
    void nextCheckState() override {}
};

} // namespace zorvane::app
