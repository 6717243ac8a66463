#include "terminal/view/TerminalDelegate.h"

#include "terminal/view/TerminalModel.h"
#include "terminal/view/TerminalView.h"

#include <QGlyphRun>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace zorvane::terminal {

namespace {

// Lines longer than this are handled only around the visible part.
constexpr qsizetype kLongLine = 1024;

struct Visible
{
    qsizetype first = 0; // first character handed to the painter
    qreal x = 0;         // where that character starts
};

// Of a long line, the characters before the visible part are skipped by estimate: each is
// taken as characterWidth() wide, which no character exceeds, so nothing visible is skipped.
Visible visiblePart(const QStyleOptionViewItem &option, qsizetype length, qreal left)
{
    const auto *view = qobject_cast<const TerminalView *>(option.widget);
    if (!view || length <= kLongLine)
        return {0, left};
    const int width = view->characterWidth();
    const qint64 offset = view->horizontalScrollBar()->value();
    const qsizetype first = std::clamp<qint64>(offset / width - 1, 0, length);
    return {first, left + qreal(first) * width};
}

} // namespace

const TerminalDelegate::Glyphs &TerminalDelegate::glyphsFor(const QFont &font) const
{
    if (m_glyphsValid && m_glyphs.font == font)
        return m_glyphs;
    m_glyphs.font = font;
    m_glyphs.raw = QRawFont::fromFont(font);
    QChar chars[256];
    for (int c = 0; c < 256; ++c)
        chars[c] = QChar(c);
    int count = 256;
    m_glyphs.index.fill(0);
    if (!m_glyphs.raw.isValid() ||
        !m_glyphs.raw.glyphIndexesForChars(chars, 256, m_glyphs.index.data(), &count) ||
        count != 256)
        m_glyphs.index.fill(0);
    QPointF advances[256];
    m_glyphs.raw.advancesForGlyphIndexes(m_glyphs.index.data(), advances, 256);
    for (int c = 0; c < 256; ++c)
        m_glyphs.advance[c] = advances[c].x();
    m_glyphs.ascent = m_glyphs.raw.ascent();
    m_glyphs.descent = m_glyphs.raw.descent();
    m_glyphsValid = true;
    return m_glyphs;
}

void TerminalDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                             const QModelIndex &index) const
{
    if (paintFast(painter, option, index))
        return;
    // The view does not fill its viewport first; a row without a colour of its own gets the
    // list's background.
    if (!index.data(Qt::BackgroundRole).isValid())
        painter->fillRect(option.rect, option.palette.base());
    QStyledItemDelegate::paint(painter, option, index);
}

bool TerminalDelegate::paintFast(QPainter *painter, const QStyleOptionViewItem &option,
                                 const QModelIndex &index) const
{
    const auto *model = qobject_cast<const TerminalModel *>(index.model());
    if (!model || option.widget == nullptr)
        return false;
    const std::optional<QByteArrayView> text = model->lines().latin1(index.row());
    if (!text)
        return false;
    const Glyphs &glyphs = glyphsFor(option.font);
    if (!glyphs.raw.isValid())
        return false;

    QStyle *style = option.widget->style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, option.widget) + 1;
    const qreal clipRight = option.widget->width();
    Visible part = visiblePart(option, text->size(), option.rect.left() + margin);
    std::vector<quint32> &indexes = m_runIndexes;
    std::vector<QPointF> &positions = m_runPositions;
    indexes.clear();
    positions.clear();
    qreal x = part.x;
    for (qsizetype i = part.first; i < text->size() && x < clipRight; ++i) {
        const auto c = static_cast<quint8>((*text)[i]);
        const quint32 glyph = glyphs.index[c];
        if (glyph == 0)
            return false; // a character this font lacks: the standard path finds a fallback
        const qreal advance = glyphs.advance[c];
        if (x + advance > 0) {
            indexes.push_back(glyph);
            positions.push_back(QPointF(x, 0));
        }
        x += advance;
    }

    // Background and selection as the style draws them for any item; the view does not fill
    // its viewport first, so a row without a colour of its own gets the list's background.
    QStyleOptionViewItem opt = option;
    opt.index = index;
    const QVariant background = index.data(Qt::BackgroundRole);
    opt.backgroundBrush =
        background.canConvert<QBrush>() ? qvariant_cast<QBrush>(background) : option.palette.base();
    const QVariant foreground = index.data(Qt::ForegroundRole);
    if (foreground.canConvert<QBrush>()) {
        const auto brush = qvariant_cast<QBrush>(foreground);
        if (opt.palette.brush(QPalette::Text) != brush)
            opt.palette.setBrush(QPalette::Text, brush);
    }
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, option.widget);

    const QPalette::ColorGroup group =
        opt.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    if (!indexes.empty()) {
        QGlyphRun run;
        run.setRawFont(glyphs.raw);
        run.setRawData(indexes.data(), positions.data(), static_cast<int>(indexes.size()));
        // Centred like the standard delegate centres one line of text.
        const int lineHeight = qRound(glyphs.ascent + glyphs.descent);
        const qreal baseline =
            opt.rect.top() + (opt.rect.height() - lineHeight) / 2 + glyphs.ascent;
        painter->setPen(opt.palette.color(group, opt.state & QStyle::State_Selected
                                                     ? QPalette::HighlightedText
                                                     : QPalette::Text));
        painter->drawGlyphRun(QPointF(0, baseline), run);
    }

    if (opt.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(opt);
        focus.state |= QStyle::State_KeyboardFocusChange | QStyle::State_Item;
        focus.backgroundColor = opt.palette.color(
            group, opt.state & QStyle::State_Selected ? QPalette::Highlight : QPalette::Window);
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, option.widget);
    }
    return true;
}

void TerminalDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    const auto *model = qobject_cast<const TerminalModel *>(index.model());
    if (!model || model->lines().length(index.row()) <= kLongLine) {
        QStyledItemDelegate::initStyleOption(option, index);
        return;
    }
    // What the standard delegate takes from the model, apart from the whole text.
    option->index = index;
    const QVariant foreground = index.data(Qt::ForegroundRole);
    if (foreground.canConvert<QBrush>())
        option->palette.setBrush(QPalette::Text, qvariant_cast<QBrush>(foreground));
    option->backgroundBrush = qvariant_cast<QBrush>(index.data(Qt::BackgroundRole));
    option->features |= QStyleOptionViewItem::HasDisplay;
    option->styleObject = nullptr;

    const qsizetype length = model->lines().length(index.row());
    const Visible part = visiblePart(*option, length, option->rect.left());
    const qsizetype count = option->widget ? option->widget->width() + 2 : kLongLine;
    option->text = model->lines().text(index.row(), part.first, count);
    option->rect.setLeft(static_cast<int>(std::floor(part.x)));
}

} // namespace zorvane::terminal
