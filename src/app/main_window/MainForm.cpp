#include "app/main_window/MainForm.h"

#include "app/About.h"
#include "app/MessageBoxes.h"
#include "app/bgapi_window/Unit_bgapi.h"
#include "app/main_window/ClickFirstCheckBox.h"
#include "app/main_window/ComboBoxNames.h"
#include "app/main_window/FindBar.h"
#include "app/main_window/KeyboardMenus.h"
#include "app/main_window/ListArea.h"
#include "serial/PortNames.h"
#include "settings/DocumentsFolder.h"
#include "terminal/view/TerminalModel.h"
#include "terminal/view/TerminalView.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <limits>

using zorvane::serial::kPortCount;

namespace {

constexpr int kDesignWidth = 834;
constexpr int kDesignHeight = 611;
constexpr int kSendHistoryEntries = 11;

QAction *addCheckItem(QMenu *menu, const QString &text, bool autoCheck)
{
    QAction *item = menu->addAction(text);
    item->setCheckable(true);
    if (!autoCheck) {
        // The program sets this mark itself; a click must not toggle it.
        QObject::connect(item, &QAction::triggered, item,
                         [item](bool checked) { item->setChecked(!checked); });
    }
    return item;
}

} // namespace

TMain::TMain(QWidget *parent) : QMainWindow(parent)
{
    setWindowTitle(app_title);
    resize(kDesignWidth, kDesignHeight);

    buildMenus();
    buildMainToolbar();
    buildSendBytes();
    buildCommandToolbars();
    buildTerminalArea();
    addHexDumpToPopup();
    buildStatusBar();
    setUpScrollback();
    buildModuleCommands();
    buildModemLines();
    buildLineSettings();
    buildFileSending();
    buildScripts();
    keepControlsReachable();

    connectSession();

    FormCreate();
    About_Form = new TAbout_Form(this, app_title + QStringLiteral(" V") + app_version);
    // Only Close takes the mark off; a close from the title bar leaves it set.
    connect(About_Form, &TAbout_Form::closeClicked, this, [this] { About->setChecked(false); });
    createBgapiWindow();
    createPlotWindow();
    session.start();
}

TMain::~TMain()
{
    FormDestroy();
    // The session is a member, so it would go before QWidget's destructor deletes the children;
    // those that keep references into it go first: the list (its view, then its model) and the
    // address box, which shows the session's address list.
    for (QPointer<QObject> child : {QPointer<QObject>(ListBox1), QPointer<QObject>(ListModel),
                                    QPointer<QObject>(MAC_Address)})
        delete child.data();
    ListBox1 = nullptr;
    ListModel = nullptr;
    MAC_Address = nullptr;
}

void TMain::FormCreate()
{
    app_folder = QDir::currentPath() + QDir::separator();
    DocumentsFolder = zorvane::settings::documentsFolder();
    zorvane::settings::ensureFolder(DocumentsFolder);
    serial.setDocumentsFolder(DocumentsFolder);
    // The device column can name the ports/ links only now the folder is known.
    refreshPortDevices();
}

void TMain::setVisible(bool visible)
{
    QMainWindow::setVisible(visible);
    if (visible && !m_shown) {
        m_shown = true;
        m_starting = true;
        FormShow();
        m_starting = false;
        if (m_closeAfterStart)
            QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
}

void TMain::FormShow()
{
    // The BGAPI state and the BGIO call flag start out cleared.
    bgapi.reset();
    session.setBgioCalled(false);

    takeSettingsLock();

    item_style = zorvane::terminal::LineStyle::Standard;
    app_version = QStringLiteral(ZORVANE_VERSION);
    app_title = QStringLiteral("Zorvane");
    setWindowTitle(app_title + captionSuffix());
    tick_count = 0;

    LoadSettings();
    ApplySettings();

    selectHistory(0);
    SPP1->setChecked(!ToolBar_SPP->isHidden());
    HID1->setChecked(!ToolBar_HID->isHidden());
    BGIO1->setChecked(!ToolBar_BGIO->isHidden());
    GainSpan1->setChecked(!ToolBar_GainSpan->isHidden());
    GreenonBlackClick();

    // Told to end while a start-up box was up: a session that is over needs no port, and
    // probing a hundred of them would hold the end up. The saved port stays as it was read.
    if (m_closeAfterStart || zorvane::app::messagesGoToStandardError())
        return;
    const int savedPort = session.connection().port();
    com_items[0]->setChecked(true);
    AutoDetectClick();
    set_comx(savedPort, true);
}

void TMain::FormDestroy()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    // A line the module left unfinished is part of the session's record.
    session.logOpenLine();
    session.stop();
    // Settings exist only once the window has been shown; the port is saved while still open.
    // Another instance holding the file keeps it as it will leave it.
    if (savesSettings())
        SaveSettings();
    m_settingsLock.reset();
    if (session.connection().port() != 0)
        session.connection().close();
}

void TMain::closeEvent(QCloseEvent *event)
{
    if (m_starting) {
        m_closeAfterStart = true;
        event->ignore();
        return;
    }
    FormDestroy();
    QMainWindow::closeEvent(event);
}

void TMain::MExitClick()
{
    close();
}

void TMain::buildMenus()
{
    File = menuBar()->addMenu(QStringLiteral("File"));
    Clear1 = File->addAction(QStringLiteral("Clear"));
    Copy1 = File->addAction(QStringLiteral("Copy"));
    Paste1 = File->addAction(QStringLiteral("Paste"));
    Log1 = addCheckItem(File, QStringLiteral("Log"), true);
    TimeStamp1 = addCheckItem(File, QStringLiteral("Time Stamp"), true);
    DateStamp1 = addCheckItem(File, QStringLiteral("Date Stamp"), true);
    File->addSeparator();
    PrintSetup1 = File->addAction(QStringLiteral("Print Setup"));
    Print1 = File->addAction(QStringLiteral("Print"));
    MExit = File->addAction(QStringLiteral("Exit"));
    connect(Clear1, &QAction::triggered, this, &TMain::Clear1Click);
    connect(Copy1, &QAction::triggered, this, &TMain::CopyClick);
    connect(Paste1, &QAction::triggered, this, &TMain::PasteClick);
    connect(Log1, &QAction::triggered, this, &TMain::Log1Click);
    connect(PrintSetup1, &QAction::triggered, this, &TMain::MPrintSetupClick);
    connect(Print1, &QAction::triggered, this, &TMain::MPrintClick);
    connect(MExit, &QAction::triggered, this, &TMain::MExitClick);

    COM = menuBar()->addMenu(QStringLiteral("COM"));
    com_items[0] = addCheckItem(COM, QStringLiteral("AutoDetect"), true);
    connect(com_items[0], &QAction::triggered, this, &TMain::AutoDetectClick);
    auto addPortItem = [this](QMenu *menu, int port) {
        QAction *item = addCheckItem(menu, zorvane::serial::portName(port), false);
        connect(item, &QAction::triggered, this, [this, item] { COMxClick(item); });
        com_items[static_cast<size_t>(port)] = item;
    };
    for (int port = 1; port <= 20; ++port)
        addPortItem(COM, port);
    for (int group = 0; group < 8; ++group) {
        const int first = 21 + group * 10;
        QMenu *sub = COM->addMenu(QStringLiteral("COM%1-%2").arg(first).arg(first + 9));
        com_groups[static_cast<size_t>(group)] = sub;
        for (int i = 0; i < 10; ++i) {
            int port = first + i;
            // The COM31-40 group has always listed COM34 before COM33.
            if (port == 33)
                port = 34;
            else if (port == 34)
                port = 33;
            addPortItem(sub, port);
        }
    }
    connect(COM, &QMenu::aboutToShow, this, &TMain::refreshPortDevices);

    Parameters = menuBar()->addMenu(QStringLiteral("Parameters"));
    static constexpr int kBaudRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    for (size_t i = 0; i < baud_items.size(); ++i) {
        const int rate = kBaudRates[i];
        baud_items[i] = addCheckItem(Parameters, QString::number(rate), false);
        connect(baud_items[i], &QAction::triggered, this, [this, rate] { BaudClick(rate); });
    }
    Parameters->addSeparator();
    NoParity1 = addCheckItem(Parameters, QStringLiteral("No Parity"), false);
    EvenParity1 = addCheckItem(Parameters, QStringLiteral("Even Parity"), false);
    oddparity1 = addCheckItem(Parameters, QStringLiteral("Odd Parity"), false);
    Parameters->addSeparator();
    N7DataBits1 = addCheckItem(Parameters, QStringLiteral("7 DataBits"), false);
    N8DataBits1 = addCheckItem(Parameters, QStringLiteral("8 Databits"), false);
    Parameters->addSeparator();
    N1stopbit1 = addCheckItem(Parameters, QStringLiteral("1 stop bit"), false);
    N2stopbits1 = addCheckItem(Parameters, QStringLiteral("2 stop bits"), false);
    connect(NoParity1, &QAction::triggered, this, [this] { ParityClick(0); });
    connect(EvenParity1, &QAction::triggered, this, [this] { ParityClick(2); });
    connect(oddparity1, &QAction::triggered, this, [this] { ParityClick(1); });
    connect(N7DataBits1, &QAction::triggered, this, [this] { DataBitsClick(7); });
    connect(N8DataBits1, &QAction::triggered, this, [this] { DataBitsClick(8); });
    connect(N1stopbit1, &QAction::triggered, this, [this] { StopBitsClick(1); });
    connect(N2stopbits1, &QAction::triggered, this, [this] { StopBitsClick(2); });

    Options = menuBar()->addMenu(QStringLiteral("Options"));
    SPP1 = addCheckItem(Options, QStringLiteral("Show SPP Toolbar"), false);
    BGIO1 = addCheckItem(Options, QStringLiteral("Show BGIO ToolBar"), false);
    HID1 = addCheckItem(Options, QStringLiteral("Show HID ToolBar"), false);
    GainSpan1 = addCheckItem(Options, QStringLiteral("Show GainSpan ToolBar"), false);
    Show_BGAPI = addCheckItem(Options, QStringLiteral("Show BGAPI"), true);
    Echo1 = addCheckItem(Options, QStringLiteral("Echo"), true);
    HexModeWrite1 = addCheckItem(Options, QStringLiteral("Hex Write "), true);
    UnReadable1 = addCheckItem(Options, QStringLiteral("UnReadable"), true);
    GreenonBlack = addCheckItem(Options, QStringLiteral("Green on Black"), true);
    AddLineFeedton1 = addCheckItem(Options, QStringLiteral("Add LineFeed to \\n"), true);
    HexMode = addCheckItem(Options, QStringLiteral("HexMode Read"), true);
    ResetonConnect = addCheckItem(Options, QStringLiteral("Send Reset on Connect"), true);
    // Added after the menu's own items, behind a separator, so they keep their places.
    Options->addSeparator();
    ModemLines1 = addCheckItem(Options, QStringLiteral("Show Modem Lines ToolBar"), false);
    Plot1 = addCheckItem(Options, QStringLiteral("Plot"), true);
    connect(Plot1, &QAction::triggered, this, &TMain::PlotClick);
    connect(GreenonBlack, &QAction::triggered, this, &TMain::GreenonBlackClick);
    connect(Echo1, &QAction::triggered, this, &TMain::Echo1Click);
    connect(Show_BGAPI, &QAction::triggered, this, &TMain::Show_BGAPIClick);

    Commands = menuBar()->addMenu(QStringLiteral("Commands"));

    Help = menuBar()->addMenu(QStringLiteral("Help"));
    CheckForUpdates = Help->addAction(QStringLiteral("Check For Updates"));
    About = addCheckItem(Help, QStringLiteral("About"), true);
    connect(CheckForUpdates, &QAction::triggered, this, &TMain::CheckForUpdatesClick);
    connect(About, &QAction::triggered, this, &TMain::AboutClick);
    iWrapCommands = addCheckItem(Help, QStringLiteral("iWrap Commands"), true);

    // Menus from the keyboard: F10, Alt, and a mnemonic letter in each caption. The COM and
    // Parameters items are port numbers and line settings, chosen with the arrow keys.
    new zorvane::app::KeyboardMenus(this, {File, Options, Commands, Help});
}

QMenu *TMain::createPopupMenu()
{
    // Toolbars are shown and hidden through the Options items alone, whose marks follow
    // them; the window's own menu of toolbars would hide one behind them.
    return nullptr;
}

void TMain::keepControlsReachable()
{
    // The main toolbar is never narrower than its row, so the send box and its buttons never
    // go into an overflow menu and the window's minimum width follows; the list keeps a few
    // rows in the smallest window. Command toolbars wider than the window keep their last
    // buttons behind the row's extension button, which needs a name as any control does.
    ToolBar1->setMinimumWidth(ToolBar1->sizeHint().width());
    for (QToolBar *bar : findChildren<QToolBar *>()) {
        if (auto *more = bar->findChild<QToolButton *>(QStringLiteral("qt_toolbar_ext_button"))) {
            more->setAccessibleName(QStringLiteral("More controls"));
            // Tab reaches it as it reaches the buttons beside it; Space opens its menu.
            more->setFocusPolicy(Qt::TabFocus);
        }
    }
    constexpr int kMinimumRows = 4;
    ListBox1->setMinimumHeight(kMinimumRows * ListBox1->fontMetrics().height() +
                               2 * ListBox1->frameWidth());
}

void TMain::buildMainToolbar()
{
    ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFixedHeight(40);
    // Everything of the row fits the design width of 834 only with tight spacing.
    ToolBar1->layout()->setSpacing(2);

    // A letter says little: the tooltip and the screen reader say which command it sends.
    auto speedButton = [this](const QString &caption, const QString &command) {
        auto *button = new QToolButton(ToolBar1);
        button->setText(caption);
        button->setToolTip(QStringLiteral("Sends ") + command);
        button->setAccessibleDescription(button->toolTip());
        button->setAutoRaise(true);
        button->setFixedWidth(button->fontMetrics().horizontalAdvance(caption) + 10);
        ToolBar1->addWidget(button);
        return button;
    };
    BtnS = speedButton(QStringLiteral("S"), QStringLiteral("SET"));
    BtnR = speedButton(QStringLiteral("R"), QStringLiteral("RESET"));
    BtnI = speedButton(QStringLiteral("I"), QStringLiteral("INQUIRY 5 NAME"));
    BtnL = speedButton(QStringLiteral("L"), QStringLiteral("LIST"));
    connect(BtnS, &QToolButton::clicked, this, &TMain::BtnSClick);
    connect(BtnR, &QToolButton::clicked, this, &TMain::BtnRClick);
    connect(BtnI, &QToolButton::clicked, this, &TMain::BtnIClick);
    connect(BtnL, &QToolButton::clicked, this, &TMain::BtnLClick);

    MAC = new QLabel(QStringLiteral("MAC"), ToolBar1);
    MAC->setVisible(false);
    MAC_Address = new QComboBox(ToolBar1);
    zorvane::app::labelForScreenReaders(MAC_Address, QStringLiteral("MAC address"));
    // The box shows the session's address list, which scans and inquiries fill.
    MAC_Address->setModel(&session.addresses());
    MAC_Address->addItem(QLatin1String(zorvane::bgapi::kUnknownAddressEntry));
    // Room for one address, whatever the list holds.
    MAC_Address->setFixedWidth(
        MAC_Address->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00:00:00:00")) + 32);
    ToolBar1->addWidget(MAC_Address);

    SendString = new QComboBox(ToolBar1);
    zorvane::app::labelForScreenReaders(SendString, QStringLiteral("Send box"));
    SendString->setEditable(true);
    SendString->setInsertPolicy(QComboBox::NoInsert);
    // The send box takes whatever the row leaves when the window is wider than designed.
    SendString->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    SendString->setMinimumContentsLength(11);
    SendString->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    for (int i = 0; i < kSendHistoryEntries; ++i)
        SendString->addItem(QString());
    ToolBar1->addWidget(SendString);
    SendString->lineEdit()->setAccessibleName(QStringLiteral("Send text"));
    // A pasted text goes out whole; a line edit keeps only 32767 characters unless told.
    SendString->lineEdit()->setMaxLength(std::numeric_limits<int>::max());
    connect(SendString->lineEdit(), &QLineEdit::textEdited, this,
            [this] { m_historyEdited = true; });
    connect(SendString, &QComboBox::activated, this, &TMain::selectHistory);
    // What goes out is what was typed: the completer an editable combo box brings along
    // would fill in the rest of a history entry, ignoring case. Entries are chosen from the
    // drop-down or with Up and Down.
    SendString->setCompleter(nullptr);
    // Enter in the send box sends it, as the Send button does. The key arrives at the combo
    // box, which holds the focus for its line edit and passes keys on past the line edit's
    // event filters; a key sent to the line edit itself is caught there.
    SendString->installEventFilter(this);
    SendString->lineEdit()->installEventFilter(this);

    auto pushButton = [this](const QString &caption) {
        auto *button = new QPushButton(caption, ToolBar1);
        // As wide as the caption needs: the style's wide default pushes the PIO buttons off
        // the row at the design width.
        button->setFixedWidth(button->fontMetrics().horizontalAdvance(caption) + 24);
        ToolBar1->addWidget(button);
        return button;
    };
    Send = pushButton(QStringLiteral("Send"));
    Select = pushButton(QStringLiteral("Select"));
    Close = pushButton(QStringLiteral("Close"));
    connect(Send, &QPushButton::clicked, this, &TMain::SendClick);
    connect(Select, &QPushButton::clicked, this, &TMain::SelectClick);
    connect(Close, &QPushButton::clicked, this, &TMain::CloseCHClick);

    Channel = new QComboBox(ToolBar1);
    zorvane::app::labelForScreenReaders(Channel, QStringLiteral("Link"));
    for (const char *link : {"0", "1", "2", "3", "4", "5", "6", "255"})
        Channel->addItem(QLatin1String(link));
    Channel->setCurrentIndex(Channel->count() - 1);
    ToolBar1->addWidget(Channel);

    MUX1 = new zorvane::app::ClickFirstCheckBox(QStringLiteral("MUX"), ToolBar1);
    connect(MUX1, &zorvane::app::ClickFirstCheckBox::clickedBeforeToggle, this, &TMain::MUX1Click);
    ToolBar1->addWidget(MUX1);

    buildPioButtons();
}

void TMain::buildCommandToolbars()
{
    auto commandBar = [this](const QString &name, int height) {
        addToolBarBreak();
        QToolBar *bar = addToolBar(name);
        bar->setObjectName(name);
        bar->setMovable(false);
        bar->setFixedHeight(height);
        bar->hide();
        return bar;
    };
    ToolBar_SPP = commandBar(QStringLiteral("ToolBar_SPP"), 30);
    ToolBar_BGIO = commandBar(QStringLiteral("ToolBar_BGIO"), 30);
    ToolBar_HID = commandBar(QStringLiteral("ToolBar_HID"), 30);
    ToolBar_GainSpan = commandBar(QStringLiteral("ToolBar_GainSpan"), 81);

    BCMD = new QPushButton(QStringLiteral("Cmd / Data"), ToolBar_SPP);
    ToolBar_SPP->addWidget(BCMD);
    connect(BCMD, &QPushButton::clicked, this, &TMain::BCMDClick);
}

void TMain::buildTerminalArea()
{
    // The command list sits at the right edge behind a splitter that shows and hides with it.
    auto *area = new QSplitter(Qt::Horizontal, this);
    Splitter2 = area;
    Splitter2->setObjectName(QStringLiteral("Splitter2"));
    Splitter2->setHandleWidth(5);
    Splitter2->setChildrenCollapsible(false);

    ListModel = new zorvane::terminal::TerminalModel(session.lines(), this);
    ListBox1 = new zorvane::terminal::TerminalView(area);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setAccessibleName(QStringLiteral("Terminal"));
    ListBox1->setModel(ListModel);
    ListBox1->setUniformItemSizes(true);
    // Lines are selected with the mouse, for copying; keys typed in the list go to the module.
    ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListBox1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListBox1->setMinimumWidth(20);
    // The list with the find bar under it, which shows only while a search is open.
    auto *listArea = new zorvane::app::ListArea(area);
    auto *listLayout = new QVBoxLayout(listArea);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->setSpacing(0);
    ListBox1->setParent(listArea);
    listLayout->addWidget(ListBox1, 1);
    Find_Bar = new zorvane::app::FindBar(listArea);
    Find_Bar->hide();
    listLayout->addWidget(Find_Bar);
    Splitter2->addWidget(listArea);
    Splitter2->setStretchFactor(0, 1);
    // Keys typed in the terminal go to the module; the list is where typing starts.
    ListBox1->installEventFilter(this);
    ListBox1->setFocus();

    buildPopupMenu();

    iWrap_ListBox = new QListWidget(area);
    iWrap_ListBox->setObjectName(QStringLiteral("iWrap_ListBox"));
    iWrap_ListBox->setAccessibleName(QStringLiteral("iWrap commands"));
    iWrap_ListBox->setMinimumWidth(20);
    iWrap_ListBox->hide();
    Splitter2->addWidget(iWrap_ListBox);
    Splitter2->setStretchFactor(1, 0);

    setCentralWidget(area);
}

void TMain::buildStatusBar()
{
    for (size_t i = 0; i < StatusBarPanels.size(); ++i) {
        auto *panel = new QLabel(QStringLiteral("-"), this);
        panel->setObjectName(QStringLiteral("StatusBarPanel%1").arg(i + 1));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setContentsMargins(2, 0, 2, 0);
        // The connection text needs room; the other panels hold short words.
        statusBar()->addWidget(panel, i == 0 ? 3 : 1);
        StatusBarPanels[i] = panel;
    }
    StatusBarPanel1 = StatusBarPanels[0];
    StatusBarPanel2 = StatusBarPanels[1];
    StatusBarPanel3 = StatusBarPanels[2];
    StatusBarPanel4 = StatusBarPanels[3];
    StatusBarPanel5 = StatusBarPanels[4];
    statusBar()->setFixedHeight(22);
}

bool TMain::bgapiWindowVisible() const
{
    return Form_BGAPI && Form_BGAPI->isVisible();
}
