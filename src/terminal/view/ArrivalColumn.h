#pragma once

#include "terminal/ArrivalText.h"

#include <QWidget>

namespace zorvane::terminal {

class TerminalView;

// The column left of the terminal lines that shows when each visible line arrived. It sits in
// the view's margin, outside the lines, so it is never part of a line's text.
class ArrivalColumn : public QWidget
{
    Q_OBJECT
public:
    explicit ArrivalColumn(TerminalView *view);

    // Width the column needs in the view's font.
    int columnWidth() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    TerminalView *m_view;
};

} // namespace zorvane::terminal
