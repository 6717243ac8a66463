#pragma once

#include <QWidget>

namespace zorvane::app {

// The terminal list with the find bar under it. The list's pop-up menu belongs here: menus
// are windows of their own, which the accessibility tree leaves out unless a menu bar holds
// them, so this area names its menu as one of its children, open or closed, and screen
// readers and tests reach its items like those of any other menu.
class ListArea : public QWidget
{
    Q_OBJECT
public:
    explicit ListArea(QWidget *parent = nullptr);
};

} // namespace zorvane::app
