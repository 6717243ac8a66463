#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

class QComboBox;
class QModelIndex;

namespace zorvane::app {

// The texts of a combo box's entries with a count per text, so whether a text is listed is
// known at the same cost however long the list grows. Kept in step by the box's model itself,
// so whatever adds, edits, removes or clears entries leaves it right. The box keeps the model
// it had when the index was made.
class EntryIndex : public QObject
{
    Q_OBJECT
public:
    explicit EntryIndex(const QComboBox &box);

    bool isEmpty() const { return m_texts.isEmpty(); }
    QString first() const { return m_texts.value(0); }
    bool contains(const QString &text) const { return m_counts.contains(text); }

private:
    void inserted(const QModelIndex &parent, int first, int last);
    void removing(const QModelIndex &parent, int first, int last);
    void changed(const QModelIndex &topLeft, const QModelIndex &bottomRight);
    void count(const QString &text, int change);
    void rebuild();

    const QComboBox &m_box;
    // The entries' texts row for row (sharing the model's strings): an edited entry's old
    // text is known, so its count can go down.
    QStringList m_texts;
    // Entries per text: the same text may stand twice when it was added from outside.
    QHash<QString, int> m_counts;
};

} // namespace zorvane::app
