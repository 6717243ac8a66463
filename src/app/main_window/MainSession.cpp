// The main window and its module session: the session asks the check marks for its switches
// at the moment of use, and its news lands in the list, the address box, the status bar, the
// send history and the BGAPI window.
#include "app/main_window/MainForm.h"

#include "app/MessageBoxes.h"
#include "app/bgapi_window/Unit_bgapi.h"
#include "app/main_window/ClickFirstCheckBox.h"
#include "serial/ConnectionText.h"
#include "terminal/LineEnd.h"
#include "terminal/view/TerminalModel.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>

using zorvane::session::ModuleSession;
using zorvane::session::SessionOptions;

namespace {

// A character of the terminal list is taken as this many pixels wide for the wrap.
constexpr int kWrapPixelsPerChar = 8;

class WindowOptions final : public zorvane::session::OptionsSource
{
public:
    explicit WindowOptions(const TMain &window) : m_window(window) {}

    SessionOptions options() const override
    {
        SessionOptions options;
        options.receive.hexMode = m_window.HexMode->isChecked();
        options.receive.unreadable = m_window.UnReadable1->isChecked();
        options.receive.lineFeedEndsLine = m_window.AddLineFeedton1->isChecked();
        options.receive.echo = m_window.Echo1->isChecked();
        options.receive.log = m_window.Log1->isChecked();
        options.receive.bgapi = m_window.bgapiWindowVisible();
        options.receive.wrapChars = m_window.width() / kWrapPixelsPerChar;
        options.muxMode = m_window.MUX1->isChecked();
        options.hexWrite = m_window.HexModeWrite1->isChecked();
        options.timeStamp = m_window.TimeStamp1->isChecked();
        options.dateStamp = m_window.DateStamp1->isChecked();
        options.receive.hexDump = m_window.HexDump1->isChecked();
        options.lineEnd = m_window.lineEnd();
        return options;
    }
    QString logFilePath() const override { return m_window.logFilePath(); }

private:
    const TMain &m_window;
};

} // namespace

void TMain::connectSession()
{
    m_sessionOptions = std::make_unique<WindowOptions>(*this);
    session.setOptionsSource(m_sessionOptions.get());

    connect(&session, &ModuleSession::linesReady, this, &TMain::refreshTerminalView);
    connect(&session, &ModuleSession::listClearing, ListModel,
            &zorvane::terminal::TerminalModel::aboutToClear);
    connect(&session, &ModuleSession::listCleared, this, [this] {
        ListModel->cleared();
        // Nothing is left to hold on to.
        followNewLines();
    });
    connect(&session, &ModuleSession::addressFound, MAC, &QLabel::setText);
    connect(&session, &ModuleSession::addressSelected, MAC_Address, &QComboBox::setCurrentIndex);
    connect(&session, &ModuleSession::bgapiMessage, this,
            [this](const zorvane::bgapi::Message &message) {
                if (Form_BGAPI)
                    Form_BGAPI->showMessage(message);
            });
    connect(&session, &ModuleSession::historyPushed, this, &TMain::pushHistory);
    connect(&session, &ModuleSession::logWriteFailed, this, [this] {
        // One box at a time: lines that fail while it is open are lost without a box of
        // their own.
        if (m_logMessageOpen)
            return;
        m_logMessageOpen = true;
        // Opened once the receive event is over: a timer does not fire again while its own
        // event waits, so a box opened inside it would halt the receive loop until it closed.
        QMetaObject::invokeMethod(
            this,
            [this] {
                zorvane::app::showMessage(this, QStringLiteral("???"));
                m_logMessageOpen = false;
            },
            Qt::QueuedConnection);
    });
    connectConnection();
}
