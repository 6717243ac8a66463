#include "session/AddressList.h"

namespace zorvane::session {

AddressList::AddressList(QObject *parent) : QStringListModel(parent) {}

QString AddressList::textAt(int row) const
{
    return data(index(row), Qt::DisplayRole).toString();
}

QString AddressList::first() const
{
    return isEmpty() ? QString() : textAt(0);
}

void AddressList::append(const QString &text)
{
    const int row = rowCount();
    insertRows(row, 1);
    setData(index(row), text);
}

void AddressList::clear()
{
    removeRows(0, rowCount());
}

bool AddressList::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole && role != Qt::DisplayRole)
        return QStringListModel::setData(index, value, role);
    const QString before = textAt(index.row());
    if (!QStringListModel::setData(index, value, role))
        return false;
    count(before, -1);
    count(textAt(index.row()), +1);
    return true;
}

bool AddressList::insertRows(int row, int count, const QModelIndex &parent)
{
    if (!QStringListModel::insertRows(row, count, parent))
        return false;
    this->count(QString(), count);
    return true;
}

bool AddressList::removeRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || row < 0 || count < 0 || row + count > rowCount())
        return false;
    for (int r = row; r < row + count; ++r)
        this->count(textAt(r), -1);
    return QStringListModel::removeRows(row, count, parent);
}

void AddressList::count(const QString &text, int change)
{
    const int now = m_counts.value(text) + change;
    if (now > 0)
        m_counts.insert(text, now);
    else
        m_counts.remove(text);
}

} // namespace zorvane::session
