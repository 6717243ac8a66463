// The terminal list and the clipboard: Copy takes every line, Paste shows the clipboard's
// text and sends it; and the list's context menu, which a released mouse button opens.
#include "app/main_window/MainForm.h"

#include "terminal/WireText.h"
#include "terminal/view/TerminalModel.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>

#include <utility>

namespace {

// Opens the context menu when a mouse button is released over the list. The press, on which
// the platform would open it, does nothing; the keyboard's menu key still opens it, at the
// current line.
class PopupOnRelease final : public QObject
{
public:
    explicit PopupOnRelease(TMain &window) : QObject(&window), m_window(window) {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // Only the events handled here look at the window: the list's children are removed
        // while the window is already being torn down, and their events pass through here too.
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease:
        case QEvent::KeyPress:
        case QEvent::ContextMenu:
            break;
        default:
            return false;
        }
        const bool onLines = watched == m_window.ListBox1->viewport();
        if (onLines && event->type() == QEvent::MouseButtonPress) {
            m_pressedAt = static_cast<QMouseEvent *>(event)->position().toPoint();
            m_dragging = false;
        }
        if (onLines && event->type() == QEvent::MouseMove) {
            // A drag with the left button selects lines; the view then holds for the reader.
            const auto *move = static_cast<QMouseEvent *>(event);
            if ((move->buttons() & Qt::LeftButton) && !m_dragging &&
                (move->position().toPoint() - m_pressedAt).manhattanLength() >=
                    QApplication::startDragDistance()) {
                m_dragging = true;
                m_window.selectionMade();
            }
        }
        if (onLines && event->type() == QEvent::MouseButtonRelease) {
            // The release that ends a drag leaves the selection to be copied, not a menu; as
            // on any Linux desktop, a middle click elsewhere pastes it. The view settles the
            // selection with this release, so it is read once the release is handled.
            if (std::exchange(m_dragging, false)) {
                QMetaObject::invokeMethod(
                    &m_window, [window = &m_window] { window->selectionToPrimary(); },
                    Qt::QueuedConnection);
                return false;
            }
            m_window.ListBox1MouseUp(static_cast<QMouseEvent *>(event));
            return false;
        }
        if (watched == m_window.ListBox1 && event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent *>(event)->key() == Qt::Key_End &&
            static_cast<QKeyEvent *>(event)->modifiers() == Qt::NoModifier) {
            m_window.followNewLines();
            return true;
        }
        if (event->type() != QEvent::ContextMenu)
            return false;
        if (static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Keyboard) {
            QListView *list = m_window.ListBox1;
            const QRect current = list->visualRect(list->currentIndex());
            const QPoint at =
                current.isValid() ? current.center() : list->viewport()->rect().center();
            m_window.PopupMenu1->popup(list->viewport()->mapToGlobal(at));
        }
        return true;
    }

private:
    TMain &m_window;
    QPoint m_pressedAt;
    bool m_dragging = false;
};

} // namespace

void TMain::buildPopupMenu()
{
    // Held by the list's area, which lists it among its accessible children.
    PopupMenu1 = new QMenu(ListBox1->parentWidget());
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->setAccessibleName(QStringLiteral("Terminal menu"));
    PopupMenu1->addAction(QStringLiteral("Clear"), this, &TMain::Clear1Click);
    PopupMenu1->addAction(QStringLiteral("Copy"), this, &TMain::CopyClick);
    PopupMenu1->addAction(QStringLiteral("Paste"), this, &TMain::PasteClick);
    PopupMenu1->addAction(QStringLiteral("Print"), this, &TMain::MPrintClick);
    auto *filter = new PopupOnRelease(*this);
    ListBox1->installEventFilter(filter);
    ListBox1->viewport()->installEventFilter(filter);
    buildReadBack();
}

void TMain::ListBox1MouseUp(QMouseEvent *event)
{
    PopupMenu1->popup(event->globalPosition().toPoint());
}

void TMain::CopyClick()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return;
    const zorvane::terminal::LineStore &lines = ListModel->lines();
    qsizetype size = 0;
    for (qsizetype row = 0; row < lines.size(); ++row)
        size += lines.length(row) + 2;
    QString text;
    text.reserve(size);
    for (qsizetype row = 0; row < lines.size(); ++row) {
        if (const auto bytes = lines.latin1(row))
            text += QLatin1StringView(*bytes);
        else
            text += lines.text(row);
        text += QLatin1StringView("\r\n");
    }
    clipboard->setText(text);
}

void TMain::PasteClick()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return;
    // A picture or anything else without a text form pastes nothing.
    const QMimeData *content = clipboard->mimeData();
    if (!content || !content->hasText())
        return;
    // Shown and sent alike: a character the port cannot carry as one byte is a '?' in both.
    const QString text = zorvane::terminal::wireText(content->text());
    AddString(text);
    c_puts(text);
}
