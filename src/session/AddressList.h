#pragma once

#include <QHash>
#include <QStringListModel>

namespace zorvane::session {

// The module's address list: the entries the toolbar's address box shows, with a count per
// text, so whether an address is listed is known at the same cost however long a scan runs.
// Every way of changing it (the box, a scan response, an inquiry result, a clear) goes
// through the model, so the counts always match the entries.
class AddressList : public QStringListModel
{
    Q_OBJECT
public:
    explicit AddressList(QObject *parent = nullptr);

    bool isEmpty() const { return rowCount() == 0; }
    QString first() const;
    bool contains(const QString &text) const { return m_counts.contains(text); }
    void append(const QString &text);
    void clear();

    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    bool insertRows(int row, int count, const QModelIndex &parent = {}) override;
    bool removeRows(int row, int count, const QModelIndex &parent = {}) override;

private:
    QString textAt(int row) const;
    void count(const QString &text, int change);

    // Entries per text: the same text may stand twice when it was added from outside.
    QHash<QString, int> m_counts;
};

} // namespace zorvane::session
