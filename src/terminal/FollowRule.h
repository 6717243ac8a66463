#pragma once

#include <QtGlobal>

namespace zorvane::terminal {

// Whether the terminal list follows arriving lines or holds still for a reader. It follows
// while its last line is in view and the user has not selected lines with the mouse; it
// counts the lines that arrive while it holds.
class FollowRule
{
public:
    bool following() const { return m_atBottom && !m_selected; }
    // Lines shown since the list began to hold; 0 while it follows.
    qsizetype newLines() const { return following() ? 0 : m_rows - m_rowsAtHold; }

    // The view's scroll position changed; `atBottom` when its last line is in view.
    void viewMoved(bool atBottom) { change([&] { m_atBottom = atBottom; }); }
    // The user selected lines.
    void selectionMade() { change([&] { m_selected = true; }); }
    // End, the new-lines marker: back to the end, the user's selection given up.
    void followAgain() { change([&] { m_atBottom = true, m_selected = false; }); }
    // The list now shows this many lines (after arrivals or after being emptied).
    void rowsShown(qsizetype rows)
    {
        m_rows = rows;
        if (following() || rows < m_rowsAtHold)
            m_rowsAtHold = rows;
    }

private:
    template <typename F> void change(F apply)
    {
        const bool before = following();
        apply();
        if (before && !following())
            m_rowsAtHold = m_rows;
    }

    bool m_atBottom = true;
    bool m_selected = false;
    qsizetype m_rows = 0;
    qsizetype m_rowsAtHold = 0;
};

} // namespace zorvane::terminal
