#include "app/plot_window/SeriesModel.h"

#include "app/plot_window/PlotChart.h"
#include "plot/CsvExport.h"
#include "plot/PlotData.h"

#include <QDateTime>

using zorvane::plot::PlotData;
using zorvane::plot::Series;

namespace zorvane::app {

SeriesModel::SeriesModel(PlotData &data, QObject *parent)
    : QAbstractTableModel(parent), m_data(data)
{
    connect(&data, &PlotData::seriesChanged, this, [this] {
        beginResetModel();
        endResetModel();
    });
    connect(&data, &PlotData::visibilityChanged, this, [this](qsizetype row) {
        emit dataChanged(index(int(row), Name), index(int(row), Name), {Qt::CheckStateRole});
    });
}

void SeriesModel::refresh()
{
    if (rowCount() > 0)
        emit dataChanged(index(0, Points), index(rowCount() - 1, Responses));
}

int SeriesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_data.count());
}

int SeriesModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : Count;
}

QVariant SeriesModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const Series &s = m_data.at(index.row());
    if (role == Qt::CheckStateRole && index.column() == Name)
        return s.visible ? Qt::Checked : Qt::Unchecked;
    if (role == Qt::DecorationRole && index.column() == Name)
        return PlotChart::seriesColour(index.row());
    if (role == Qt::TextAlignmentRole && index.column() != Name && index.column() != Address)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
        return {};
    const auto number = [](double v) { return QString::fromLatin1(plot::numberText(v)); };
    const bool rssi = !s.address().isEmpty();
    switch (index.column()) {
    case Name:
        return s.name();
    case Points:
        return QString::number(s.size());
    case Last:
        return s.isEmpty() ? QString() : number(s.last().value);
    case Minimum:
        return s.isEmpty() ? QString() : number(s.minimum());
    case Maximum:
        return s.isEmpty() ? QString() : number(s.maximum());
    case LastTime:
        return s.isEmpty() ? QString()
                           : QDateTime::fromMSecsSinceEpoch(s.last().ms)
                                 .toString(QStringLiteral("HH:mm:ss.zzz"));
    case Address:
        return s.address();
    case Responses:
        return rssi ? QString::number(s.responses()) : QString();
    default:
        return {};
    }
}

bool SeriesModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.column() != Name || role != Qt::CheckStateRole)
        return false;
    m_data.setVisible(index.row(), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags SeriesModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.column() == Name)
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QVariant SeriesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const QStringList names{QStringLiteral("Name"),    QStringLiteral("Points"),
                                   QStringLiteral("Last"),    QStringLiteral("Minimum"),
                                   QStringLiteral("Maximum"), QStringLiteral("Last time"),
                                   QStringLiteral("Address"), QStringLiteral("Responses")};
    return section >= 0 && section < names.size() ? names[section] : QVariant();
}

} // namespace zorvane::app
