#pragma once

#include <QAbstractTableModel>

namespace zorvane::plot {
class PlotData;
}

namespace zorvane::app {

// The "Series" table: one row a series with its name (checked while it is drawn), how many
// points it holds, its last, smallest and largest value and when the last came; for a
// scanned device also its address and how many responses it sent.
class SeriesModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum ColumnId { Name, Points, Last, Minimum, Maximum, LastTime, Address, Responses, Count };

    explicit SeriesModel(plot::PlotData &data, QObject *parent = nullptr);
    // The figures changed: every row's are read again.
    void refresh();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    plot::PlotData &m_data;
};

} // namespace zorvane::app
