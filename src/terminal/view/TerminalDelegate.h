#pragma once

#include <QRawFont>
#include <QStyledItemDelegate>

#include <array>
#include <vector>

namespace zorvane::terminal {

// Paints the terminal list's rows. A line of one-byte characters goes from the line store
// straight to glyphs through a table of the font's 256 glyphs, without the text shaping the
// standard delegate repeats on every paint (a terminal line needs no kerning or ligatures):
// a screen of lines then paints in a fraction of the time, which is most of the CPU a busy
// but slow link costs. Other rows take the standard path; of a very long line either path
// handles only the characters that can be on screen.
class TerminalDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    struct Glyphs
    {
        QFont font;
        QRawFont raw;
        std::array<quint32, 256> index{};
        std::array<qreal, 256> advance{};
        qreal ascent = 0;
        qreal descent = 0;
    };

    const Glyphs &glyphsFor(const QFont &font) const;
    bool paintFast(QPainter *painter, const QStyleOptionViewItem &option,
                   const QModelIndex &index) const;

    mutable Glyphs m_glyphs;
    // Reused from row to row, so painting a row allocates nothing.
    mutable std::vector<quint32> m_runIndexes;
    mutable std::vector<QPointF> m_runPositions;
    mutable bool m_glyphsValid = false;
};

} // namespace zorvane::terminal
