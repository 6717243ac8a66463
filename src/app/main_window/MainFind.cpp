// Finding a text in the terminal lines: the bar under the list reads what to find, the line
// search finds it, and the list goes to a match and holds there for the reader.
#include "app/main_window/MainForm.h"

#include "app/main_window/FindBar.h"
#include "terminal/view/TerminalModel.h"
#include "terminal/view/TerminalView.h"

#include <QAction>
#include <QLineEdit>
#include <QListView>
#include <QMenu>

#include <limits>

using zorvane::terminal::LineMatch;
using zorvane::terminal::TerminalView;

namespace {

TerminalView *terminalView(const TMain &window)
{
    return static_cast<TerminalView *>(window.ListBox1);
}

} // namespace

void TMain::buildFind()
{
    Find1 = PopupMenu1->addAction(QStringLiteral("Find..."));
    Find1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    FindNext1 = new QAction(QStringLiteral("Find Next"), this);
    FindNext1->setShortcut(QKeySequence(Qt::Key_F3));
    FindPrevious1 = new QAction(QStringLiteral("Find Previous"), this);
    FindPrevious1->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));
    connect(Find1, &QAction::triggered, this, &TMain::FindClick);
    connect(FindNext1, &QAction::triggered, this, [this] { findNext(true); });
    connect(FindPrevious1, &QAction::triggered, this, [this] { findNext(false); });
    connect(Find_Bar, &zorvane::app::FindBar::patternChanged, this, &TMain::findPatternChanged);
    connect(Find_Bar, &zorvane::app::FindBar::nextRequested, this, &TMain::findNext);
    connect(Find_Bar, &zorvane::app::FindBar::closeRequested, this, &TMain::closeFind);
}

void TMain::FindClick()
{
    Find_Bar->show();
    Find_Bar->Field->setFocus(Qt::ShortcutFocusReason);
    Find_Bar->Field->selectAll();
    findPatternChanged();
}

void TMain::closeFind()
{
    Find_Bar->hide();
    search.setPattern({}, false, false);
    currentMatch = {};
    currentMatchOrdinal = -1;
    terminalView(*this)->setSearch(nullptr, {});
    ListBox1->setFocus(Qt::OtherFocusReason);
}

void TMain::findPatternChanged()
{
    const bool valid =
        search.setPattern(Find_Bar->text(), Find_Bar->caseSensitive(), Find_Bar->regularExpression());
    Find_Bar->setValid(valid);
    currentMatch = {};
    currentMatchOrdinal = -1;
    terminalView(*this)->setSearch(&search, currentMatch);
    updateFindCount();
}

void TMain::updateFindCount()
{
    if (Find_Bar->isHidden() || !search.isValid())
        return;
    const auto &lines = ListModel->lines();
    // A match that went with a cleared list is forgotten.
    if (currentMatch.row >= lines.size()) {
        currentMatch = {};
        currentMatchOrdinal = -1;
    }
    Find_Bar->setCount(currentMatchOrdinal + 1, search.count(lines));
}

void TMain::findNext(bool forward)
{
    if (Find_Bar->isHidden()) {
        FindClick();
        return;
    }
    const auto &lines = ListModel->lines();
    const LineMatch from = currentMatch.row >= 0
                               ? currentMatch
                               : LineMatch{forward ? ListBox1->indexAt({1, 1}).row() - 1 : -1, 0, 0};
    LineMatch start = from;
    // From above the first visible line, the search starts with that line.
    if (currentMatch.row < 0 && forward && start.row >= 0)
        start = {start.row, std::numeric_limits<qsizetype>::max(), 0};
    const auto found = search.next(lines, start, forward);
    if (!found)
        return;
    // The place in the count follows from the previous one, unless the search went round
    // the end; only a first match is counted from the start.
    const auto before = [](const LineMatch &a, const LineMatch &b) {
        return a.row < b.row || (a.row == b.row && a.start < b.start);
    };
    if (currentMatch.row >= 0 && currentMatchOrdinal >= 0 && forward && before(currentMatch, *found))
        ++currentMatchOrdinal;
    else if (currentMatch.row >= 0 && currentMatchOrdinal > 0 && !forward &&
             before(*found, currentMatch))
        --currentMatchOrdinal;
    else if (currentMatch.row >= 0 && forward)
        currentMatchOrdinal = 0;
    else
        currentMatchOrdinal = search.ordinal(lines, *found);
    currentMatch = *found;
    // Going to a match holds the view there.
    selectionMade();
    if (currentMatch.row < ListModel->rowCount()) {
        const QModelIndex index = ListModel->index(static_cast<int>(currentMatch.row));
        ListBox1->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        ListBox1->scrollTo(index, QAbstractItemView::PositionAtCenter);
    }
    terminalView(*this)->setSearch(&search, currentMatch);
    updateFindCount();
}
