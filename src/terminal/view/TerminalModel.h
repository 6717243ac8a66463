#pragma once

#include "terminal/LineStore.h"

#include <QAbstractListModel>
#include <QColor>

#include <memory>

namespace zorvane::terminal {

// The terminal list's model: shows a store of lines and tells the view about new ones in
// batches, so a flood of short lines costs one view update per timer event, not one per line.
class TerminalModel : public QAbstractListModel
{
    Q_OBJECT
public:
    // A model of its own lines.
    explicit TerminalModel(QObject *parent = nullptr);
    // A model of lines someone else keeps (the module session's); they outlive the model.
    explicit TerminalModel(LineStore &lines, QObject *parent = nullptr);
    ~TerminalModel() override;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

    // Lines as stored, including those the view has not been told about yet.
    LineStore &lines() { return m_lines; }
    const LineStore &lines() const { return m_lines; }

    void setColours(const QColor &background, const QColor &text);
    // Empties the list at once; the view learns of it immediately.
    void clear();
    // The same in two halves, around whoever empties the store itself.
    void aboutToClear();
    void cleared();
    // Tells the view of the lines added and changed since the last call.
    void publish();
    bool hasUnpublished() const;
    // Length of the longest line the view has been told about, for its horizontal extent.
    qsizetype longestPublishedLength() const { return m_longest; }

signals:
    // Older lines could no longer be moved to disk; they all stay in memory. Said once.
    void spillStopped(const QString &text);

private:
    std::unique_ptr<LineStore> m_ownLines;
    LineStore &m_lines;
    bool m_resetting = false;
    int m_published = 0;
    // Length of the last published line when it was published, to see whether it grew.
    qsizetype m_publishedLastLength = 0;
    qsizetype m_longest = 0;
    QColor m_background;
    QColor m_text;
};

} // namespace zorvane::terminal
