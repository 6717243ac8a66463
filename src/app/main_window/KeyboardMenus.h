#pragma once

#include <QObject>
#include <QPointer>

class QMainWindow;
class QMenu;
class QProxyStyle;

namespace zorvane::app {

// The main window's menus from the keyboard, wherever the focus is: F10, or Alt pressed and
// released on its own, opens the first menu; Alt with a letter opens the menu of that
// letter; inside a menu a letter chooses the item of that letter. The letters are added to
// the captions as mnemonics, and underlined only while Alt is held or a menu was opened from
// the keyboard, so the captions look as they always did. Keys that open no menu go on to the
// focused control as before (typed into the terminal list, they still go to the module).
class KeyboardMenus : public QObject
{
    Q_OBJECT
public:
    // Gives mnemonics to the menu bar's titles and to the items of `menus` (items added to
    // one of them later get theirs when it opens).
    KeyboardMenus(QMainWindow *window, const QList<QMenu *> &menus);

    // Opens the first menu of the menu bar, its items ready for the arrow keys and letters.
    void openMenuBar();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showMnemonics(bool shown);
    bool inWindow(QObject *watched) const;

    QMainWindow *m_window;
    QList<QPointer<QMenu>> m_menus;
    QProxyStyle *m_style;
    // Alt went down with no other key since: its release opens the menu bar.
    bool m_altAlone = false;
};

// Puts a mnemonic into each caption that lacks one: the first letter of a word not yet taken
// in the same menu, else any such letter; a caption with no free letter stays as it is.
QStringList withMnemonics(const QStringList &captions);

} // namespace zorvane::app
