#pragma once

#include "app/main_window/ClickFirstCheckBox.h"
#include "app/main_window/WindowPlace.h"
#include "session/ModuleSession.h"
#include "settings/SettingsLock.h"
#include "settings/zv_settings.h"
#include "terminal/FollowRule.h"
#include "terminal/LineSearch.h"
#include "terminal/LineStore.h"
#include "transfer/TransferRequest.h"

#include <QElapsedTimer>
#include <QMainWindow>

#include <array>
#include <memory>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QListView;
class QListWidget;
class QMenu;
class QMouseEvent;
class QPrinter;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTimer;
class QToolBar;
class QToolButton;
class TForm_BGAPI;

namespace zorvane::app {
class FindBar;
class ModemToolbar;
class PlotWindow;
class ScriptDock;
} // namespace zorvane::app

namespace zorvane::transfer {
class FileSend;
} // namespace zorvane::transfer

namespace zorvane::script {
class ScriptEngine;
}

namespace zorvane::terminal {
enum class LineEnd;
struct ByteTextError;
class NewLinesMarker;
class TerminalModel;
struct ModuleCommand;
struct PioButton;
} // namespace zorvane::terminal

// The main window: owns the menus, toolbars, terminal list and status bar, reads their
// states at the moment of use and hands the work to the module session, whose news it shows.
// Its methods are spread over one source file per subject, all in this folder.
class TMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit TMain(QWidget *parent = nullptr);
    ~TMain() override;

    // The conversation with the module: link, receive timer, lines, decoders, log, sending.
    // It outlives the window's children, which the destructor deletes first.
    zorvane::session::ModuleSession session;
    // Its parts, under the names the window has always used for them.
    zorvane::serial::SerialIo &serial = session.serial();
    zorvane::session::ReceivePacer &pacer = session.pacer();
    zorvane::bgapi::BgapiState &bgapi = session.bgapi();
    // The receive timer: reads the port, paced by the pacer.
    QTimer *Timer1 = session.receiveTimer();

    // --- start-up and shutdown
    void FormCreate();
    void FormShow();
    void FormDestroy();
    void MExitClick();

    // --- connection control
    void set_com(bool show);
    void set_comx(int com, bool show);
    void COMxClick(QAction *sender);
    void BaudClick(int baudRate);
    // The parity, data-bits and stop-bits items set their value and reopen the port as the
    // baud items do, so the marks, the status and the device always agree.
    void ParityClick(int parityCode);
    void DataBitsClick(int count);
    void StopBitsClick(int count);
    void ShowBaudRate();
    void ShowParity();
    void ShowDataBits(int count);
    void ShowStopBits(int count);
    void AutoDetectClick();
    int CheckLink() { return session.CheckLink(); }
    // Name of port n in status texts and messages: the text of its COM menu item.
    QString comItemName(int port) const;
    // Refreshes the device column of the port items from the table and ports/ links.
    void refreshPortDevices();
    // "COM12 (/dev/ttyACM0)" for each number whose device is there now.
    QStringList portsWithDevice() const;

    // --- line settings beyond the first ones: the fast rates, "Other Rate...", flow control,
    // pinning a port from the window, and devices plugged in after the probe
    void buildLineSettings();
    void OtherRateClick();
    void FlowControlClick(zorvane::serial::FlowControl flow);
    // The marks of the fast rates and "Other Rate...", which holds any rate no item names.
    void ShowOtherBaudRates();
    // The flow control marks, as the port in use (or the last one) has it.
    void ShowFlowControl();
    void PinPortClick();
    // With AutoDetect checked: lists numbers whose device appeared since the probe, found
    // without opening anything.
    void showLatePorts();
    // What each number led to when the probe ran, where something was there: a device that
    // failed the probe then is not a late one.
    void notePresentAtProbe();
    std::array<QString, 101> presentAtProbe;
    void applyFlowControlSettings();
    void saveFlowControlSettings();
    std::vector<QAction *> fast_baud_items;
    QAction *OtherRate1 = nullptr;
    QAction *NoFlowControl1 = nullptr;
    QAction *RtsCts1 = nullptr;
    QAction *XonXoff1 = nullptr;
    QAction *PinPort1 = nullptr;

    // --- serial primitives that need the window's state
    void c_puts(const QString &text) { session.c_puts(text); }
    void c_write(const QString &text) { session.c_write(text); }
    void tx_echo(const QString &text) { session.tx_echo(text); }

    // --- receive loop and line display
    void Timer1Timer() { session.Timer1Timer(); }
    void ShowRxChar(int &byte, QByteArray &pending) { session.ShowRxChar(byte, pending); }
    void HandleEscape(QByteArray &pending) { session.HandleEscape(pending); }
    void AddtoList(int newLine, const QString &text) { session.AddtoList(newLine, text); }
    // After a network port opened: the server's greeting into the list as text, and for a
    // socket:// port the note that its server fixes the line settings.
    void networkPortNotes(bool chosen);
    void CaptureInquiry(QByteArrayView line) { session.CaptureInquiry(line); }
    void AddString(const QString &text);
    int SplitString(const QString &delimiter, const QString &text);
    void GreenonBlackClick();
    void Clear1Click();
    // Results of SplitString: the text before and after the delimiter.
    QString split_head;
    QString split_tail;

    // --- transmit path
    void mc_puts(const QString &text) { session.mc_puts(text); }
    void mc_puts_cmd(const QString &text) { session.mc_puts_cmd(text); }
    void add_string(const QString &text);
    // One key press in the terminal; false when the key sends nothing and keeps its usual
    // meaning for the control that has the focus.
    bool ListBox1KeyDown(int key, const QString &text, Qt::KeyboardModifiers modifiers);
    void SendClick();
    void BtnSClick();
    void BtnRClick();
    void BtnIClick();
    void BtnLClick();
    void BCMDClick();
    void Echo1Click();
    // The iWRAP escape "+++" inside its guard times of silence.
    void sendEscapeSequence();
    // Pushes several texts onto the send history at once, as that many add_string calls.
    void pushHistory(const QStringList &texts);
    // Index of the history entry the send box shows; -1 once its text has been edited.
    int historyIndex() const;
    void selectHistory(int index);

    // --- exact sending: the line end, bytes mode; and the hex dump view
    // The send box in bytes mode or with a chosen line end; false when its text goes out the
    // module's way (line end "Module", or Hex Write).
    bool sendExact();
    // Enter typed in the terminal with a chosen line end; false for "Module".
    bool sendTypedLineEnd();
    zorvane::terminal::LineEnd lineEnd() const;
    // Marks the send box pale red with the reason, or clears the mark.
    void markByteText(const std::optional<zorvane::terminal::ByteTextError> &error);
    // A history entry was chosen: the Bytes box follows the mode it was sent in.
    void historyModeChosen(int index);
    // `pushed` texts went onto the history: the entries' modes move with them.
    void shiftHistoryModes(qsizetype pushed);
    void HexDump1Click();
    QToolBar *ToolBar_Sending = nullptr;
    QComboBox *LineEnd1 = nullptr;
    QCheckBox *Bytes1 = nullptr;
    QAction *HexDump1 = nullptr;

    // --- iWRAP multiplexing mode
    void MUX1Click();
    void SelectClick();
    void CloseCHClick();
    // Frames a text to a link, echoing each frame when Echo is checked.
    void writeFrames(int link, QStringView text) { session.writeFrames(link, text); }

    bool bgapiWindowVisible() const;

    // --- module commands: the Commands menu, the command toolbars, the PIO icon buttons and
    // the iWRAP command list
    // One command of the menu or a toolbar, sent as its table entry says.
    void CommandClick(const zorvane::terminal::ModuleCommand &command);
    void PioClick(const zorvane::terminal::PioButton &button);
    // The module is told its new rate first, then the port follows.
    void BaudChange(const QString &text, int rate, int parityCode);
    void BGIO_PIO(int value);
    void BGIO_SETDIRClick();
    // An Options item that shows or hides its toolbar; the mark follows the toolbar.
    void ToolbarSwitchClick(QAction *item, QToolBar *bar);
    void iWrapClick();
    // --- modem lines: the toolbar of DTR, RTS, the input lines, pulse, break and reset
    void buildModemLines();
    void applyModemLineSettings();
    void saveModemLineSettings();
    void modemLinesPortOpened(int port);
    zorvane::app::ModemToolbar *ToolBar_ModemLines = nullptr;
    QAction *ModemLines1 = nullptr;
    void iWrap_ListBoxClick();

    // --- BGAPI receive side
    // One received byte for the BGAPI decoder, while the BGAPI window is visible. A scan
    // response puts its address into MAC and MAC_Address.
    void bgapi_decode(quint8 byte) { session.bgapi_decode(byte); }
    // Options > Show BGAPI: shows the BGAPI window, or hides it when it is visible.
    void Show_BGAPIClick();

    // --- settings: load, apply and save
    // Reads the settings file into XMLDocument1, or writes a new one when it is missing or
    // unusable; an unusable regular file is first kept beside it as zv_settings.xml.bad.
    void LoadSettings();
    // `replacedMode`: the permissions of the damaged file the new one replaces.
    void WriteDefaultSettings(std::optional<QFileDevice::Permissions> replacedMode = {});
    bool CreateSettingsFile(std::optional<QFileDevice::Permissions> replacedMode = {});
    void ApplySettings();
    // The Window leaves as read, applied together and made safe for the screens present.
    zorvane::app::SavedPlace restoredPlace;
    void applyRestoredPlace();
    void SaveSettings();
    // Every leaf the program reads, by group: what a save that must drop unknown content keeps.
    static QMap<QString, QStringList> settingsLeafNames();
    // The settings document, held from start-up to shutdown, and the view of its root; no root
    // until the settings have been loaded.
    zorvane::settings::SettingsDocument XMLDocument1;
    std::optional<zorvane::settings::TXMLZVSettingsType> SettingsRoot;
    // Closing the window ends the program: the settings are saved while it is still whole.
    void closeEvent(QCloseEvent *event) override;

    // --- profiles: several instances side by side, each with its own settings file
    // Runs with the settings of a profile (empty: the default ones); called before the window
    // is first shown.
    void useProfile(const QString &profile);
    QString profile() const { return m_profile; }
    // The settings file's name in the documents folder.
    QString settingsFileName() const;
    // Takes the settings file's lock. Without it the file is read but not written at exit,
    // and the status bar and the caption say so.
    void takeSettingsLock();
    bool savesSettings() const;
    // What the caption shows after the connection text: the profile, and that the settings
    // will not be saved; empty when neither applies.
    QString captionSuffix() const;
    // The status bar's note that the settings will not be saved; only made when that is so.
    QLabel *SettingsNotice = nullptr;

    // --- scripts: File > Run Script... and Stop Script, and the Script dock that shows a run
    void buildScripts();
    void RunScriptClick();
    void StopScriptClick();
    // Runs the Lua script at `path` now, showing the dock; false while one runs.
    bool runScript(const QString &path);
    // zorvane --script FILE: the script runs as soon as a port is open.
    void runScriptWhenOpen(const QString &path);
    void scriptStateChanged();
    QAction *RunScript1 = nullptr;
    QAction *StopScript1 = nullptr;
    zorvane::app::ScriptDock *Script_Dock = nullptr;
    zorvane::script::ScriptEngine *scriptEngine = nullptr;
    QString pendingScript;
    QTimer *pendingScriptCheck = nullptr;

    // --- session log, clipboard and printing
    void Log1Click();
    // Stamps a finished line in place as the stamp items ask and logs it.
    void LogLine(QByteArray &line) { session.LogLine(line); }
    void AppendToLog(const QByteArray &line) { session.AppendToLog(line); }
    // Writes the lines logged since the last write to the log file in one go; a receive
    // event does so once, when its ticks are done.
    void flushLog() { session.flushLog(); }
    // The current log file: LogFileName in the documents folder.
    QString logFilePath() const;
    void CopyClick();
    void PasteClick();
    void MPrintClick();
    void MPrintSetupClick();
    void ListBox1MouseUp(QMouseEvent *event);
    // --- reading back: following or holding, arrival times, copying a selection
    // Back to the newest line, which the list then follows (End, the new-lines marker).
    void followNewLines();
    // The user selected lines with the mouse: arriving lines leave them and the view alone.
    void selectionMade();
    void ArrivalTimes1Click();
    void CopySelectionClick();
    void SelectAllClick();
    // The selected lines, oldest first, each ended by CR LF, with their arrival times when
    // the column shows them.
    QString selectedLinesText() const;
    // The selected lines become the X primary selection, which a middle click pastes.
    void selectionToPrimary();
    // Find: Ctrl+Shift+F opens the bar under the list; F3 and Shift+F3 go to the next and
    // previous match, which holds the view there.
    void FindClick();
    void findNext(bool forward);
    void closeFind();
    // The count as lines arrive; the search again when the text or a switch changes.
    void updateFindCount();
    void findPatternChanged();
    QAction *Find1 = nullptr;
    QAction *FindNext1 = nullptr;
    QAction *FindPrevious1 = nullptr;
    zorvane::app::FindBar *Find_Bar = nullptr;
    zorvane::terminal::LineSearch search;
    zorvane::terminal::LineMatch currentMatch;
    qsizetype currentMatchOrdinal = -1;
    QAction *ArrivalTimes1 = nullptr;
    QAction *SincePrevious1 = nullptr;
    QAction *CopySelection1 = nullptr;
    QAction *SelectAll1 = nullptr;
    zorvane::terminal::NewLinesMarker *NewLines = nullptr;
    zorvane::terminal::FollowRule follow;

    // The printer chosen in Print Setup or the print dialog, kept for later jobs.
    std::shared_ptr<QPrinter> Printer;

    // --- help menu
    void AboutClick();
    void CheckForUpdatesClick();
    // The About box: created hidden with the window, a dialog of its own.
    class TAbout_Form *About_Form = nullptr;

    // Session variables
    // Receive ticks since the last idle link check, counted by the pacer.
    int &tick_count = pacer.tick_count;
    zorvane::terminal::LineStyle item_style = zorvane::terminal::LineStyle::Standard;
    QString app_title = QStringLiteral("Zorvane");
    QString app_version = QStringLiteral(ZORVANE_VERSION);
    QString app_folder;
    QString DocumentsFolder;
    QString LogFileName;

    // Menus and their items
    QMenu *File = nullptr;
    QAction *Clear1 = nullptr;
    QAction *Copy1 = nullptr;
    QAction *Paste1 = nullptr;
    QAction *Log1 = nullptr;
    QAction *TimeStamp1 = nullptr;
    QAction *DateStamp1 = nullptr;
    QAction *PrintSetup1 = nullptr;
    QAction *Print1 = nullptr;
    QAction *MExit = nullptr;

    QMenu *COM = nullptr;
    std::array<QAction *, 101> com_items{};
    std::array<QMenu *, 8> com_groups{};

    QMenu *Parameters = nullptr;
    std::array<QAction *, 8> baud_items{};
    QAction *NoParity1 = nullptr;
    QAction *EvenParity1 = nullptr;
    QAction *oddparity1 = nullptr;
    QAction *N7DataBits1 = nullptr;
    QAction *N8DataBits1 = nullptr;
    QAction *N1stopbit1 = nullptr;
    QAction *N2stopbits1 = nullptr;

    QMenu *Options = nullptr;
    QAction *SPP1 = nullptr;
    QAction *BGIO1 = nullptr;
    QAction *HID1 = nullptr;
    QAction *GainSpan1 = nullptr;
    QAction *Show_BGAPI = nullptr;
    QAction *Echo1 = nullptr;
    QAction *HexModeWrite1 = nullptr;
    QAction *UnReadable1 = nullptr;
    QAction *GreenonBlack = nullptr;
    QAction *AddLineFeedton1 = nullptr;
    QAction *HexMode = nullptr;
    QAction *ResetonConnect = nullptr;

    QMenu *Commands = nullptr;
    QMenu *Help = nullptr;
    QAction *CheckForUpdates = nullptr;
    QAction *About = nullptr;
    QAction *iWrapCommands = nullptr;

    // Main toolbar
    QToolBar *ToolBar1 = nullptr;
    QToolButton *BtnS = nullptr;
    QToolButton *BtnR = nullptr;
    QToolButton *BtnI = nullptr;
    QToolButton *BtnL = nullptr;
    QLabel *MAC = nullptr;
    QComboBox *MAC_Address = nullptr;
    QComboBox *SendString = nullptr;
    QPushButton *Send = nullptr;
    QPushButton *Select = nullptr;
    QPushButton *Close = nullptr;
    QComboBox *Channel = nullptr;
    zorvane::app::ClickFirstCheckBox *MUX1 = nullptr;
    QToolButton *Set55 = nullptr;
    QToolButton *SetAA = nullptr;
    QToolButton *SetOutput = nullptr;
    QToolButton *Set_ON = nullptr;
    QToolButton *Set_Off = nullptr;

    // Command toolbars
    QToolBar *ToolBar_SPP = nullptr;
    QPushButton *BCMD = nullptr;
    QToolBar *ToolBar_BGIO = nullptr;
    QToolBar *ToolBar_HID = nullptr;
    QToolBar *ToolBar_GainSpan = nullptr;

    // Terminal area
    QListView *ListBox1 = nullptr;
    zorvane::terminal::TerminalModel *ListModel = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QListWidget *iWrap_ListBox = nullptr;
    // Between the terminal list and the command list; its handle shows with the list.
    QSplitter *Splitter2 = nullptr;

    // Status bar
    std::array<QLabel *, 5> StatusBarPanels{};
    QLabel *StatusBarPanel1 = nullptr;
    QLabel *StatusBarPanel2 = nullptr;
    QLabel *StatusBarPanel3 = nullptr;
    QLabel *StatusBarPanel4 = nullptr;
    QLabel *StatusBarPanel5 = nullptr;

    // The BGAPI window, created hidden with this one; while it is visible, received bytes are
    // decoded and command lines go out without their closing CR.
    TForm_BGAPI *Form_BGAPI = nullptr;

    // --- plots: the "Plot" window, shown from the Options menu
    QAction *Plot1 = nullptr;
    zorvane::app::PlotWindow *Form_Plot = nullptr;
    void createPlotWindow();
    // Options > Plot: shows the Plot window, or hides it when it is visible.
    void PlotClick();
    // Shows or hides it as the settings say, its mark with it.
    void showPlotWindow(bool visible);

    bool eventFilter(QObject *watched, QEvent *event) override;

    // --- sending files (MainTransfer)
    QAction *SendFile1 = nullptr;
    QAction *CancelTransfer1 = nullptr;
    QProgressBar *TransferBar = nullptr;
    zorvane::transfer::FileSend *fileSend = nullptr;
    // The send dialog's last choices, kept in the settings file.
    zorvane::transfer::TransferRequest sendFileChoices;
    void SendFile1Click();
    void CancelTransfer1Click();
    // Starts a send as the dialog's Send does; false (and a line in the list) when refused.
    bool startFileSend(const zorvane::transfer::TransferRequest &request);
    void showTransferProgress();
    // The group "SendFile" after the others, written once the dialog was used.
    void applyFileSendingSettings();
    void saveFileSendingSettings();

    // Runs the start-up sequence on the first show, after the window itself has been shown,
    // so a message box of the start-up sits over the window rather than over nothing.
    void setVisible(bool visible) override;

private:
    void buildMenus();
    QMenu *createPopupMenu() override;
    void keepControlsReachable();
    void buildMainToolbar();
    void buildCommandToolbars();
    void buildTerminalArea();
    // The terminal list's context menu, opened by a released mouse button.
    void buildPopupMenu();
    // The additions after the context menu's own four items, and the marker over the list.
    void buildReadBack();
    void buildFind();
    void showNewLinesCount();
    void selectLastLine();
    void buildStatusBar();
    void buildFileSending();
    // Shows the notice when older lines can no longer go to disk.
    void setUpScrollback();
    void createBgapiWindow();
    void buildPioButtons();
    void buildModuleCommands();
    void buildSendBytes();
    void addHexDumpToPopup();
    // The session's switches from the check marks, and its news into the controls.
    void connectSession();
    void keyPressEvent(QKeyEvent *event) override;
    // Shows the terminal list's new lines and keeps the last one selected and in view.
    void refreshTerminalView();
    // The connection's news: the marks of the port and line settings in force, the end of an
    // open in the status bar and the caption (and a message when the user chose the port).
    void connectConnection();
    void showPortChosen();
    void portOpened();
    void portOpenFailed(const QString &reason);
    void warnOfBaudRateZero();

    std::unique_ptr<zorvane::session::OptionsSource> m_sessionOptions;
    bool m_shown = false;
    QString m_profile;
    // The settings file was made new at this start: the window has no place of its own.
    bool m_newSettingsFile = false;
    std::unique_ptr<zorvane::settings::SettingsLock> m_settingsLock;
    // A close asked for while the start-up runs (from a message box's event loop) waits for
    // its end: closing half-way would save before the settings are loaded.
    bool m_starting = false;
    bool m_closeAfterStart = false;
    // A "???" box is open or about to open; a failing log under a flood must not stack more.
    bool m_logMessageOpen = false;
    bool m_destroyed = false;
    // The send box's text was edited after an entry was selected.
    bool m_historyEdited = false;
};
