// Module commands of the main window: the Commands menu, the SPP, BGIO, HID and GainSpan
// toolbars with their Options switches, the PIO icon buttons and the iWRAP command list.
// What each control sends is in the command tables; this file only wires them up.
#include "app/main_window/MainForm.h"

#include "app/main_window/ClickFirstCheckBox.h"
#include "terminal/BgioPacket.h"
#include "terminal/CommandTables.h"

#include <QAction>
#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

using namespace zorvane::terminal;

// The pictures are compiled into a static library, whose resources are registered only when
// asked for by name; the macro cannot stand inside a namespace.
static void registerPictures()
{
    Q_INIT_RESOURCE(resources);
}

namespace {

constexpr int kCommandListWidth = 174;
constexpr int kPioIconSize = 32;

QLabel *captionLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setContentsMargins(4, 0, 6, 0);
    return label;
}

} // namespace

void TMain::buildPioButtons()
{
    registerPictures();
    for (const PioButton &pio : pioButtons()) {
        auto *button = new QToolButton(ToolBar1);
        button->setObjectName(pio.name);
        button->setIcon(QIcon(pio.icon));
        button->setIconSize(QSize(kPioIconSize, kPioIconSize));
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        button->setAutoRaise(true);
        // No caption: the tooltip and the accessible name say what the button does.
        button->setText(pio.description);
        button->setToolTip(pio.description);
        button->setAccessibleName(pio.description);
        ToolBar1->addWidget(button);
        connect(button, &QToolButton::clicked, this, [this, &pio] { PioClick(pio); });
    }
    auto find = [this](const char *name) {
        return ToolBar1->findChild<QToolButton *>(QLatin1String(name));
    };
    SetOutput = find("SetOutput");
    Set_ON = find("Set_ON");
    Set_Off = find("Set_Off");
    Set55 = find("Set55");
    SetAA = find("SetAA");
}

void TMain::buildModuleCommands()
{
    for (const ModuleCommand &command : commandsMenu()) {
        QAction *item = Commands->addAction(command.caption);
        item->setObjectName(command.name);
        connect(item, &QAction::triggered, this, [this, &command] { CommandClick(command); });
    }

    // A toolbar button per command; buttons that do not fit the width go to the toolbar's
    // extension menu, so every one stays reachable.
    auto addCommand = [this](QToolBar *bar, const ModuleCommand &command, QAction *before) {
        auto *action = new QAction(command.caption, bar);
        action->setObjectName(command.name);
        bar->insertAction(before, action);
        if (QWidget *button = bar->widgetForAction(action)) {
            button->setObjectName(command.name);
            // A toolbar makes its buttons unreachable by Tab; these are commands a keyboard
            // user needs as much as anyone.
            button->setFocusPolicy(Qt::TabFocus);
        }
        connect(action, &QAction::triggered, this, [this, &command] { CommandClick(command); });
    };
    auto fillBar = [&](QToolBar *bar, const QString &caption,
                       const QList<ModuleCommand> &commands) {
        // The Cmd / Data button of the SPP toolbar is made with the bar and stays last.
        QAction *last = bar->actions().value(0);
        bar->insertWidget(last, captionLabel(caption, bar));
        for (const ModuleCommand &command : commands) {
            if (command.send != CommandSend::Escape)
                addCommand(bar, command, last);
        }
        // Tab goes along the row as it is shown, the button made first included.
        const QList<QAction *> actions = bar->actions();
        if (last && actions.size() >= 2)
            QWidget::setTabOrder(bar->widgetForAction(actions.at(actions.size() - 2)),
                                 bar->widgetForAction(last));
    };
    BCMD->setObjectName(QStringLiteral("BCMD"));
    fillBar(ToolBar_SPP, QStringLiteral("SPP"), sppToolbar());
    fillBar(ToolBar_BGIO, QStringLiteral("BGIO"), bgioToolbar());
    fillBar(ToolBar_HID, QStringLiteral("HID"), hidToolbar());

    // The GainSpan commands lie in three rows, each a toolbar of its own inside the one
    // GainSpan toolbar, so each row keeps its own extension menu.
    auto *rows = new QWidget(ToolBar_GainSpan);
    auto *rowsLayout = new QVBoxLayout(rows);
    rowsLayout->setContentsMargins(0, 0, 0, 0);
    rowsLayout->setSpacing(0);
    int rowNumber = 0;
    for (const QList<ModuleCommand> &commands : gainSpanRows()) {
        auto *row = new QToolBar(rows);
        row->setObjectName(QStringLiteral("GainSpanRow%1").arg(++rowNumber));
        row->setMovable(false);
        row->setFloatable(false);
        row->setContentsMargins(0, 0, 0, 0);
        for (const ModuleCommand &command : commands)
            addCommand(row, command, nullptr);
        rowsLayout->addWidget(row);
    }
    rows->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    ToolBar_GainSpan->addWidget(captionLabel(QStringLiteral("GainSpan"), ToolBar_GainSpan));
    ToolBar_GainSpan->addWidget(rows);
    ToolBar_GainSpan->setFixedHeight(rows->sizeHint().height() + 6);

    const std::pair<QAction *, QToolBar *> switches[] = {{SPP1, ToolBar_SPP},
                                                         {BGIO1, ToolBar_BGIO},
                                                         {HID1, ToolBar_HID},
                                                         {GainSpan1, ToolBar_GainSpan}};
    for (const auto &[item, bar] : switches) {
        connect(item, &QAction::triggered, this,
                [this, item = item, bar = bar] { ToolbarSwitchClick(item, bar); });
        // However a toolbar is shown or hidden, its Options mark follows.
        connect(bar->toggleViewAction(), &QAction::toggled, item, &QAction::setChecked);
    }

    iWrap_ListBox->addItems(iwrapCommandList());
    iWrap_ListBox->setAccessibleName(QStringLiteral("iWrap Commands"));
    iWrap_ListBox->setToolTip(QStringLiteral("Click a command to send it"));
    connect(iWrapCommands, &QAction::triggered, this, &TMain::iWrapClick);
    connect(iWrap_ListBox, &QListWidget::itemClicked, this, &TMain::iWrap_ListBoxClick);
    // From the keyboard, Enter sends the selected line as a click does.
    for (const int key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto *enter =
            new QShortcut(QKeySequence(key), iWrap_ListBox, nullptr, nullptr, Qt::WidgetShortcut);
        connect(enter, &QShortcut::activated, this, &TMain::iWrap_ListBoxClick);
    }
}

void TMain::ToolbarSwitchClick(QAction *item, QToolBar *bar)
{
    bar->setHidden(!bar->isHidden());
    item->setChecked(!bar->isHidden());
}

void TMain::CommandClick(const ModuleCommand &command)
{
    // The escape is refused in the multiplexing mode, with a word to the user.
    if (command.send == CommandSend::Escape) {
        BCMDClick();
        return;
    }
    session.sendCommand(command, {MAC_Address->currentText(), MAC->text(),
                                  QString::number(Channel->currentText().toInt())});
}

void TMain::PioClick(const PioButton &button)
{
    session.sendPio(button);
}

void TMain::BaudChange(const QString &text, int rate, int parityCode)
{
    session.changeBaudRate(text, rate, parityCode);
}

void TMain::BGIO_PIO(int value)
{
    session.setBgioPins(value);
}

void TMain::BGIO_SETDIRClick()
{
    session.setBgioDirections();
}

void TMain::iWrapClick()
{
    const bool shown = iWrapCommands->isChecked();
    iWrap_ListBox->setVisible(shown);
    // The handle follows the list now, not at the next layout pass.
    Splitter2->refresh();
    if (shown) {
        const int rest = Splitter2->width() - kCommandListWidth - Splitter2->handleWidth();
        Splitter2->setSizes({qMax(rest, ListBox1->minimumWidth()), kCommandListWidth});
    }
}

void TMain::iWrap_ListBoxClick()
{
    const QList<QListWidgetItem *> selected = iWrap_ListBox->selectedItems();
    if (selected.isEmpty())
        return;
    QString command = listLineCommand(selected.first()->text());
    // The list's own escape: unlike the Cmd / Data button it is not refused in the
    // multiplexing mode.
    if (command == QLatin1String("+++")) {
        sendEscapeSequence();
        return;
    }
    command.replace(QLatin1String("[MAC]"), MAC_Address->currentText());
    mc_puts(command);
}
