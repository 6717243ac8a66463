#include "terminal/view/TerminalModel.h"

#include "terminal/ArrivalText.h"

#include <limits>

namespace zorvane::terminal {

TerminalModel::TerminalModel(QObject *parent)
    : QAbstractListModel(parent), m_ownLines(std::make_unique<LineStore>()), m_lines(*m_ownLines)
{
}

TerminalModel::TerminalModel(LineStore &lines, QObject *parent)
    : QAbstractListModel(parent), m_lines(lines)
{
}

TerminalModel::~TerminalModel() = default;

int TerminalModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_published;
}

QVariant TerminalModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_published)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return m_lines.text(index.row());
    case Qt::BackgroundRole:
        return m_background.isValid() ? QVariant(m_background) : QVariant();
    case Qt::ForegroundRole:
        return m_text.isValid() ? QVariant(m_text) : QVariant();
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole:
        // The arrival time is always at hand, whether or not its column is shown.
        return clockText(m_lines.arrivalMs(index.row()));
    default:
        return {};
    }
}

void TerminalModel::setColours(const QColor &background, const QColor &text)
{
    m_background = background;
    m_text = text;
    if (m_published > 0)
        emit dataChanged(index(0), index(m_published - 1),
                         {Qt::BackgroundRole, Qt::ForegroundRole});
}

void TerminalModel::clear()
{
    aboutToClear();
    m_lines.clear();
    cleared();
}

void TerminalModel::aboutToClear()
{
    m_resetting = m_published > 0;
    if (m_resetting)
        beginResetModel();
}

void TerminalModel::cleared()
{
    m_published = 0;
    m_publishedLastLength = 0;
    m_longest = 0;
    if (m_resetting)
        endResetModel();
    m_resetting = false;
}

bool TerminalModel::hasUnpublished() const
{
    if (m_lines.size() != m_published)
        return true;
    return m_published > 0 && m_lines.length(m_published - 1) != m_publishedLastLength;
}

void TerminalModel::publish()
{
    const qsizetype stored = std::min<qsizetype>(m_lines.size(), std::numeric_limits<int>::max());
    // Only the last published line and the new ones can have changed length.
    m_longest = std::max(m_longest, m_lines.longestLength(std::max(m_published - 1, 0), stored));
    if (m_published > 0 && m_lines.length(m_published - 1) != m_publishedLastLength) {
        const QModelIndex last = index(m_published - 1);
        emit dataChanged(last, last, {Qt::DisplayRole});
    }
    if (stored > m_published) {
        beginInsertRows({}, m_published, static_cast<int>(stored) - 1);
        m_published = static_cast<int>(stored);
        endInsertRows();
    }
    m_publishedLastLength = m_published > 0 ? m_lines.length(m_published - 1) : 0;
    if (const std::optional<QString> notice = m_lines.takeSpillNotice())
        emit spillStopped(*notice);
}

} // namespace zorvane::terminal
