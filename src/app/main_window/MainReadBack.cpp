// Reading back a live session: the terminal list follows arriving lines only while its last
// line is in view, and holds still for a reader otherwise, with a marker counting what came
// meanwhile; arrival times beside the lines; and copying the lines the user selected.
#include "app/main_window/MainForm.h"

#include "terminal/ArrivalText.h"
#include "terminal/view/NewLinesMarker.h"
#include "terminal/view/TerminalModel.h"
#include "terminal/view/TerminalView.h"

#include <QAction>
#include <QActionGroup>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QScrollBar>

#include <algorithm>

using zorvane::terminal::TerminalView;
using zorvane::terminal::TimeColumn;

namespace {

TerminalView *terminalView(const TMain &window)
{
    return static_cast<TerminalView *>(window.ListBox1);
}

bool atBottom(const QScrollBar *bar)
{
    return bar->value() >= bar->maximum();
}

} // namespace

void TMain::buildReadBack()
{
    // Chords with Shift held, so the Ctrl+letter keys still reach the module.
    auto *menu = PopupMenu1;
    menu->addSeparator();
    ArrivalTimes1 = menu->addAction(QStringLiteral("Arrival Times"));
    ArrivalTimes1->setCheckable(true);
    ArrivalTimes1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T));
    SincePrevious1 = menu->addAction(QStringLiteral("Time Since Previous Line"));
    SincePrevious1->setCheckable(true);
    CopySelection1 = menu->addAction(QStringLiteral("Copy Selected Lines"));
    CopySelection1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    SelectAll1 = menu->addAction(QStringLiteral("Select All Lines"));
    SelectAll1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A));
    buildFind();
    for (QAction *item : {ArrivalTimes1, SincePrevious1, CopySelection1, SelectAll1, Find1,
                          FindNext1, FindPrevious1}) {
        item->setShortcutContext(Qt::WindowShortcut);
        item->setShortcutVisibleInContextMenu(true);
        addAction(item); // the chords work without the menu open
    }
    connect(ArrivalTimes1, &QAction::triggered, this, &TMain::ArrivalTimes1Click);
    connect(SincePrevious1, &QAction::triggered, this, [this](bool checked) {
        // Choosing the form shows the column too.
        if (checked)
            ArrivalTimes1->setChecked(true);
        ArrivalTimes1Click();
    });
    connect(CopySelection1, &QAction::triggered, this, &TMain::CopySelectionClick);
    connect(SelectAll1, &QAction::triggered, this, &TMain::SelectAllClick);

    NewLines = new zorvane::terminal::NewLinesMarker(ListBox1);
    connect(NewLines, &QToolButton::clicked, this, &TMain::followNewLines);

    QScrollBar *bar = ListBox1->verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this, [this, bar] {
        follow.viewMoved(atBottom(bar));
        showNewLinesCount();
    });
    // Lines arriving under a held view move the bottom away from it. A following list whose
    // height changed (a toolbar shown, the window resized, the find bar opened) keeps its
    // newest line in view: the scroll position alone would leave it below the edge.
    connect(bar, &QScrollBar::rangeChanged, this, [this, bar] {
        if (follow.following())
            bar->setValue(bar->maximum());
        else
            follow.viewMoved(atBottom(bar));
    });
}

void TMain::showNewLinesCount()
{
    follow.rowsShown(ListModel->rowCount());
    NewLines->setCount(follow.newLines());
}

void TMain::selectLastLine()
{
    const int last = ListModel->rowCount() - 1;
    if (last < 0)
        return;
    const QModelIndex index = ListModel->index(last);
    ListBox1->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    ListBox1->scrollTo(index);
}

void TMain::followNewLines()
{
    follow.followAgain();
    selectLastLine();
    showNewLinesCount();
}

void TMain::selectionMade()
{
    follow.selectionMade();
    showNewLinesCount();
}

void TMain::ArrivalTimes1Click()
{
    TimeColumn column = TimeColumn::Hidden;
    if (ArrivalTimes1->isChecked())
        column = SincePrevious1->isChecked() ? TimeColumn::SincePrevious : TimeColumn::Clock;
    terminalView(*this)->setTimeColumn(column);
}

QString TMain::selectedLinesText() const
{
    QModelIndexList rows = ListBox1->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    const TerminalView *view = terminalView(*this);
    const bool times = view->timeColumn() != TimeColumn::Hidden;
    QString text;
    for (const QModelIndex &row : rows) {
        if (times)
            text += view->timeText(row.row()) + QLatin1Char('\t');
        text += ListModel->lines().text(row.row());
        text += QLatin1StringView("\r\n");
    }
    return text;
}

void TMain::CopySelectionClick()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return;
    clipboard->setText(selectedLinesText());
}

void TMain::selectionToPrimary()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard || !clipboard->supportsSelection())
        return;
    const QString text = selectedLinesText();
    if (!text.isEmpty())
        clipboard->setText(text, QClipboard::Selection);
}

void TMain::SelectAllClick()
{
    const int rows = ListModel->rowCount();
    if (rows == 0)
        return;
    selectionMade();
    ListBox1->selectionModel()->select(
        QItemSelection(ListModel->index(0), ListModel->index(rows - 1)),
        QItemSelectionModel::ClearAndSelect);
    selectionToPrimary();
}
