#pragma once

#include <QToolButton>

class QAbstractScrollArea;

namespace zorvane::terminal {

// Laid over the bottom edge of a held list: how many lines arrived since it began to hold.
// It is a control of its own, not a row, so a reader can click it to follow again and a
// screen reader finds it by name.
class NewLinesMarker : public QToolButton
{
    Q_OBJECT
public:
    // Laid over `list`, which must have a parent to hold it.
    explicit NewLinesMarker(QAbstractScrollArea *list);

    // Hidden at 0.
    void setCount(qsizetype lines);
    qsizetype count() const { return m_count; }

    static QString caption(qsizetype lines);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void place();

    QAbstractScrollArea *m_list;
    qsizetype m_count = 0;
};

} // namespace zorvane::terminal
