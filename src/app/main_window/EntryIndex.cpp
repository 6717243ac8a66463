#include "app/main_window/EntryIndex.h"

#include <QAbstractItemModel>
#include <QComboBox>

namespace zorvane::app {

EntryIndex::EntryIndex(const QComboBox &box) : m_box(box)
{
    const QAbstractItemModel *model = box.model();
    connect(model, &QAbstractItemModel::rowsInserted, this, &EntryIndex::inserted);
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this, &EntryIndex::removing);
    connect(model, &QAbstractItemModel::dataChanged, this, &EntryIndex::changed);
    // Moves and sorts are rare enough to count afresh.
    connect(model, &QAbstractItemModel::rowsMoved, this, &EntryIndex::rebuild);
    connect(model, &QAbstractItemModel::layoutChanged, this, &EntryIndex::rebuild);
    connect(model, &QAbstractItemModel::modelReset, this, &EntryIndex::rebuild);
    rebuild();
}

void EntryIndex::inserted(const QModelIndex &parent, int first, int last)
{
    if (parent != m_box.rootModelIndex())
        return;
    for (int row = first; row <= last; ++row) {
        const QString text = m_box.itemText(row);
        m_texts.insert(row, text);
        count(text, 1);
    }
}

void EntryIndex::removing(const QModelIndex &parent, int first, int last)
{
    if (parent != m_box.rootModelIndex())
        return;
    if (first == 0 && last == m_texts.size() - 1) {
        m_texts.clear();
        m_counts.clear();
        return;
    }
    for (int row = first; row <= last; ++row)
        count(m_texts[row], -1);
    m_texts.remove(first, last - first + 1);
}

void EntryIndex::changed(const QModelIndex &topLeft, const QModelIndex &bottomRight)
{
    if (topLeft.parent() != m_box.rootModelIndex() || topLeft.column() > m_box.modelColumn() ||
        bottomRight.column() < m_box.modelColumn())
        return;
    for (int row = topLeft.row(); row <= bottomRight.row(); ++row) {
        const QString text = m_box.itemText(row);
        if (text == m_texts[row])
            continue;
        count(m_texts[row], -1);
        m_texts[row] = text;
        count(text, 1);
    }
}

void EntryIndex::count(const QString &text, int change)
{
    int &entries = m_counts[text];
    entries += change;
    if (entries <= 0)
        m_counts.remove(text);
}

void EntryIndex::rebuild()
{
    m_texts.clear();
    m_counts.clear();
    for (int row = 0; row < m_box.count(); ++row) {
        m_texts.append(m_box.itemText(row));
        count(m_texts.last(), 1);
    }
}

} // namespace zorvane::app
