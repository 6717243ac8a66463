#include "terminal/view/NewLinesMarker.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QLocale>

namespace zorvane::terminal {

// A sibling of the list rather than its child: a list shows its rows to screen readers, not
// the widgets inside it, so the marker would be out of their reach there.
NewLinesMarker::NewLinesMarker(QAbstractScrollArea *list)
    : QToolButton(list->parentWidget()), m_list(list)
{
    setObjectName(QStringLiteral("NewLinesMarker"));
    setAccessibleName(QStringLiteral("New lines"));
    setAutoRaise(false);
    setCursor(Qt::PointingHandCursor);
    // Clicking must not take the focus from the list, where typed keys go to the module.
    setFocusPolicy(Qt::NoFocus);
    hide();
    list->installEventFilter(this);
}

QString NewLinesMarker::caption(qsizetype lines)
{
    // Grouped the same way whatever the user's language, like the rest of the program's texts.
    const QString count = QLocale(QLocale::English, QLocale::UnitedStates).toString(lines);
    return lines == 1 ? QStringLiteral("\u25BC 1 new line")
                      : QStringLiteral("\u25BC %1 new lines").arg(count);
}

void NewLinesMarker::setCount(qsizetype lines)
{
    if (lines == m_count && isVisible() == (lines > 0))
        return;
    m_count = lines;
    if (lines <= 0) {
        hide();
        return;
    }
    setText(caption(lines));
    setAccessibleDescription(QString::number(lines));
    adjustSize();
    place();
    show();
    raise();
}

bool NewLinesMarker::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list && (event->type() == QEvent::Resize || event->type() == QEvent::Move ||
                              event->type() == QEvent::Show))
        place();
    return QToolButton::eventFilter(watched, event);
}

void NewLinesMarker::place()
{
    // Centred over the bottom edge of the lines, clear of the scroll bars.
    const QRect lines(m_list->viewport()->mapTo(parentWidget(), QPoint(0, 0)),
                      m_list->viewport()->size());
    const QSize size = sizeHint();
    move(lines.left() + (lines.width() - size.width()) / 2,
         lines.bottom() - size.height() - 4);
}

} // namespace zorvane::terminal
