#include "app/main_window/KeyboardMenus.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProxyStyle>
#include <QSet>
#include <QTimer>

namespace zorvane::app {

namespace {

// Underlines mnemonics only while told to; everything else is the application's style.
class MnemonicStyle : public QProxyStyle
{
public:
    bool shown = false;

    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_UnderlineShortcut)
            return shown ? 1 : 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// The letter a caption already names with "&", or a null character.
QChar mnemonicOf(const QString &caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != u'&')
            continue;
        if (caption[i + 1] != u'&')
            return caption[i + 1].toLower();
        ++i; // "&&" is a literal ampersand
    }
    return {};
}

void giveMnemonics(const QList<QAction *> &actions)
{
    QList<QAction *> items;
    QStringList captions;
    for (QAction *action : actions) {
        if (!action->isSeparator() && !action->text().isEmpty()) {
            items << action;
            captions << action->text();
        }
    }
    const QStringList marked = withMnemonics(captions);
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (marked[i] != captions[i])
            items[i]->setText(marked[i]);
    }
}

} // namespace

QStringList withMnemonics(const QStringList &captions)
{
    QSet<QChar> taken;
    for (const QString &caption : captions) {
        if (const QChar letter = mnemonicOf(caption); !letter.isNull())
            taken.insert(letter);
    }
    QStringList out;
    for (const QString &caption : captions) {
        if (!mnemonicOf(caption).isNull()) {
            out << caption;
            continue;
        }
        // Only the caption proper: a tab starts the column of a shortcut or a device.
        const qsizetype end = caption.contains(u'\t') ? caption.indexOf(u'\t') : caption.size();
        auto free = [&](qsizetype i) {
            return caption[i].isLetterOrNumber() && !taken.contains(caption[i].toLower());
        };
        qsizetype at = -1;
        for (qsizetype i = 0; i < end && at < 0; ++i) {
            if ((i == 0 || caption[i - 1] == u' ') && free(i))
                at = i;
        }
        for (qsizetype i = 0; i < end && at < 0; ++i) {
            if (free(i))
                at = i;
        }
        if (at < 0) {
            out << caption;
            continue;
        }
        taken.insert(caption[at].toLower());
        QString marked = caption;
        marked.insert(at, u'&');
        out << marked;
    }
    return out;
}

KeyboardMenus::KeyboardMenus(QMainWindow *window, const QList<QMenu *> &menus)
    : QObject(window), m_window(window), m_style(new MnemonicStyle)
{
    m_style->setParent(this);
    QMenuBar *bar = window->menuBar();
    giveMnemonics(bar->actions());
    bar->setStyle(m_style);
    for (QMenu *menu : menus) {
        m_menus << menu;
        menu->setStyle(m_style);
        giveMnemonics(menu->actions());
        connect(menu, &QMenu::aboutToShow, this, [menu] { giveMnemonics(menu->actions()); });
    }
    for (QAction *title : bar->actions()) {
        if (QMenu *menu = title->menu()) {
            // Closing one menu may open the next (arrow keys); the letters stay while any is
            // open.
            connect(menu, &QMenu::aboutToHide, this, [this] {
                QTimer::singleShot(0, this, [this] {
                    if (!QApplication::activePopupWidget())
                        showMnemonics(false);
                });
            });
        }
    }
    // Keys are looked at before any control of the window takes them.
    qApp->installEventFilter(this);
}

void KeyboardMenus::openMenuBar()
{
    QMenuBar *bar = m_window->menuBar();
    for (QAction *title : bar->actions()) {
        if (title->isVisible() && title->isEnabled() && title->menu()) {
            showMnemonics(true);
            bar->setActiveAction(title);
            return;
        }
    }
}

void KeyboardMenus::showMnemonics(bool shown)
{
    auto *style = static_cast<MnemonicStyle *>(m_style);
    if (style->shown == shown)
        return;
    style->shown = shown;
    m_window->menuBar()->update();
    for (const QPointer<QMenu> &menu : std::as_const(m_menus)) {
        if (menu && menu->isVisible())
            menu->update();
    }
}

bool KeyboardMenus::inWindow(QObject *watched) const
{
    return watched->isWidgetType() && static_cast<QWidget *>(watched)->window() == m_window;
}

bool KeyboardMenus::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
    case QEvent::KeyRelease: {
        if (!inWindow(watched))
            break;
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool isAlt = key->key() == Qt::Key_Alt;
        if (event->type() == QEvent::KeyRelease) {
            if (isAlt && m_altAlone) {
                m_altAlone = false;
                openMenuBar();
                return true;
            }
            if (isAlt && !QApplication::activePopupWidget())
                showMnemonics(false);
            break;
        }
        if (isAlt && (key->modifiers() & ~Qt::AltModifier) == Qt::NoModifier) {
            if (event->type() == QEvent::KeyPress && !key->isAutoRepeat()) {
                m_altAlone = true;
                showMnemonics(true);
            }
            break;
        }
        m_altAlone = false;
        if (key->key() == Qt::Key_F10 && key->modifiers() == Qt::NoModifier) {
            if (event->type() == QEvent::ShortcutOverride) {
                // Claimed here, so no shortcut takes it; the key press that follows opens.
                event->accept();
            } else {
                openMenuBar();
            }
            return true;
        }
        break;
    }
    case QEvent::MouseButtonPress:
    case QEvent::WindowDeactivate:
        m_altAlone = false;
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace zorvane::app
