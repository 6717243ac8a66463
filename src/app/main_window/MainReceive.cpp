// Receive side of the main window: the terminal list's own operations and showing what the
// module session added to it.
#include "app/main_window/MainForm.h"

#include "terminal/view/TerminalModel.h"
#include "terminal/view/TerminalView.h"

#include <QAction>
#include <QListView>
#include <QPalette>

using zorvane::terminal::LineStyle;

namespace {

const QColor kAliceBlue(0xF0, 0xF8, 0xFF);
// The bars of a selected line: each scheme's text colour reads clearly on its own.
const QColor kLightSteelBlue(0xB0, 0xC4, 0xDE);
const QColor kDarkSlateGray(0x2F, 0x4F, 0x4F);
const QColor kNavy(0x00, 0x00, 0x80);
const QColor kLawnGreen(0x7C, 0xFC, 0x00);

} // namespace

int TMain::SplitString(const QString &delimiter, const QString &text)
{
    // An empty delimiter is never found, so a split loop always ends.
    const qsizetype at = delimiter.isEmpty() ? -1 : text.indexOf(delimiter);
    if (at < 0)
        return 0;
    split_head = text.left(at);
    split_tail = text.mid(at + delimiter.size());
    return static_cast<int>(at + 1);
}

void TMain::AddString(const QString &text)
{
    // Splits at each CR LF as SplitString does, but walks the text instead of copying what
    // is left after every piece, so a pasted megabyte of short lines costs its length once.
    const QStringView whole(text);
    const QString delimiter = QStringLiteral("\r\n");
    qsizetype from = 0;
    qsizetype lastHead = -1;
    for (qsizetype at = whole.indexOf(delimiter); at >= 0; at = whole.indexOf(delimiter, from)) {
        session.addToList(1, whole.sliced(from, at - from));
        lastHead = from;
        from = at + delimiter.size();
    }
    session.addToList(0, whole.sliced(from));
    if (lastHead >= 0) {
        // What the last SplitString of the loop leaves behind.
        split_head = whole.sliced(lastHead, from - delimiter.size() - lastHead).toString();
        split_tail = whole.sliced(from).toString();
    }
    // The view learns of a long paste once, not once per line.
    session.showNewLines();
}

void TMain::GreenonBlackClick()
{
    const bool green = GreenonBlack->isChecked();
    item_style = green ? LineStyle::Green : LineStyle::Standard;
    const QColor background = green ? QColor(Qt::black) : kAliceBlue;
    const QColor text = green ? kLawnGreen : kNavy;
    ListModel->setColours(background, text);
    // The list itself in the scheme's colours. A selected line keeps the scheme's text colour
    // on a bar of its own that the colour reads well on (the style's own highlight bar would
    // not: navy on dark blue).
    QPalette palette = ListBox1->palette();
    palette.setColor(QPalette::Base, background);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Highlight, green ? kDarkSlateGray : kLightSteelBlue);
    palette.setColor(QPalette::HighlightedText, text);
    ListBox1->setPalette(palette);
}

void TMain::Clear1Click()
{
    // The list learns of it through the session, whoever asked (this item or the module).
    session.clearList();
}

void TMain::refreshTerminalView()
{
    if (!ListModel->hasUnpublished())
        return;
    ListModel->publish();
    // More new lines than the list shows at once repaint it whole: those come less often.
    pacer.setScreenRows(static_cast<zorvane::terminal::TerminalView *>(ListBox1)->pageRows());
    // A held view keeps its first line and the user's selection; the marker counts.
    if (follow.following())
        selectLastLine();
    showNewLinesCount();
    updateFindCount();
}
