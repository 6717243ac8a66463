// Scripts in the window: File > "Run Script..." and "Stop Script", the Script dock, and what
// a script asks of the window (the selected address, the port chosen as in the COM menu, the
// port's reset sequence). The script itself runs in the engine, on the session.
#include "app/main_window/MainForm.h"

#include "app/ScriptFileChooser.h"
#include "app/main_window/ModemToolbar.h"
#include "app/main_window/ScriptDock.h"
#include "script/ScriptEngine.h"
#include "script/ScriptHost.h"
#include "serial/OpenFailure.h"
#include "serial/PortNames.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTimer>

namespace {

// How often a script waiting for the port to open looks.
constexpr int kPendingScriptCheckMs = 250;

// A script's questions answered by the window's controls, as a click would be.
class WindowScriptHost final : public QObject, public zorvane::script::ScriptHost
{
public:
    explicit WindowScriptHost(TMain &window) : QObject(&window), m_window(window) {}

    zorvane::terminal::CommandContext commandContext() const override
    {
        return {m_window.MAC_Address->currentText(), m_window.MAC->text(),
                QString::number(m_window.Channel->currentText().toInt())};
    }

    QString openPort(int port) override
    {
        m_window.COMxClick(m_window.com_items[static_cast<size_t>(port)]);
        return failure(port);
    }

    void closePort() override { m_window.session.connection().close(); }

    QString changeRate(int baudRate, int parity) override
    {
        const int port = m_window.session.connection().port();
        if (port == 0)
            return QStringLiteral("no port is open");
        m_window.session.connection().setParity(parity);
        m_window.BaudClick(baudRate);
        return failure(port);
    }

    QString resetSequence() const override
    {
        return m_window.ToolBar_ModemLines->lineSettings()
            .port(m_window.session.connection().port())
            .reset;
    }

private:
    QString failure(int port) const
    {
        if (m_window.serial.holdsDevice())
            return {};
        return QStringLiteral("Unable to Open Port %1: %2")
            .arg(zorvane::serial::portName(port),
                 zorvane::serial::explainOpenFailure(m_window.serial.lastOpenFailure(),
                                                     m_window.portsWithDevice()));
    }

    TMain &m_window;
};

} // namespace

void TMain::buildScripts()
{
    File->addSeparator();
    RunScript1 = File->addAction(QStringLiteral("Run Script..."));
    StopScript1 = File->addAction(QStringLiteral("Stop Script"));
    StopScript1->setEnabled(false);
    connect(RunScript1, &QAction::triggered, this, &TMain::RunScriptClick);
    connect(StopScript1, &QAction::triggered, this, &TMain::StopScriptClick);

    auto *host = new WindowScriptHost(*this);
    scriptEngine = new zorvane::script::ScriptEngine(session, *host, this);
    Script_Dock = new zorvane::app::ScriptDock(*scriptEngine, this);
    addDockWidget(Qt::BottomDockWidgetArea, Script_Dock);
    Script_Dock->hide();
    connect(Script_Dock, &zorvane::app::ScriptDock::stopClicked, this, &TMain::StopScriptClick);
    connect(scriptEngine, &zorvane::script::ScriptEngine::stateChanged, this,
            &TMain::scriptStateChanged);

    pendingScriptCheck = new QTimer(this);
    pendingScriptCheck->setInterval(kPendingScriptCheckMs);
    connect(pendingScriptCheck, &QTimer::timeout, this, [this] {
        if (!serial.holdsDevice())
            return;
        pendingScriptCheck->stop();
        runScript(std::exchange(pendingScript, QString()));
    });
}

void TMain::RunScriptClick()
{
    const QString path = zorvane::app::chooseScriptFile(this);
    if (!path.isEmpty())
        runScript(path);
}

void TMain::StopScriptClick()
{
    scriptEngine->stop();
}

bool TMain::runScript(const QString &path)
{
    if (scriptEngine->isRunning())
        return false;
    Script_Dock->ScriptOutput->clear();
    Script_Dock->show();
    return scriptEngine->start(path);
}

void TMain::runScriptWhenOpen(const QString &path)
{
    pendingScript = path;
    pendingScriptCheck->start();
}

void TMain::scriptStateChanged()
{
    const bool running = scriptEngine->isRunning();
    RunScript1->setEnabled(!running);
    StopScript1->setEnabled(running);
}
