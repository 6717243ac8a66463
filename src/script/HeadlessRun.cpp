#include "script/HeadlessRun.h"

#include "os/SignalPipe.h"
#include "script/JUnitReport.h"
#include "script/ScriptEngine.h"
#include "script/ScriptHost.h"
#include "script/ScriptPortOpen.h"
#include "serial/PortNames.h"
#include "session/ModuleSession.h"
#include "settings/DocumentsFolder.h"
#include "settings/ModemLineSettings.h"
#include "settings/Profile.h"
#include "settings/zv_settings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <cstdio>

namespace zorvane::script {

namespace {

void printLine(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

serial::LineSettings newFileLine()
{
    serial::LineSettings line;
    line.baudRate = settings::NewFileValues::baud;
    line.dataBits = settings::NewFileValues::dataBits;
    line.parity = settings::NewFileValues::parity;
    line.stopBits = settings::NewFileValues::stopbits;
    return line;
}

// The settings a run without a window takes from the profile's file: the port, its line
// settings and its modem-line choices. A missing file gives the new-file values.
struct ProfileSettings
{
    int port = 0;
    serial::LineSettings line = newFileLine();
    settings::ModemLineSettings modemLines;
};

ProfileSettings readProfile(const QString &documents, const QString &profile)
{
    ProfileSettings read;
    settings::SettingsDocument document;
    document.FileName = documents + settings::settingsFileName(profile);
    if (!QFile::exists(document.FileName))
        return read;
    auto root = settings::OpenSettingsRoot(document);
    if (!root)
        return read;
    auto port = root->COMPORT();
    read.port = port.com();
    read.line.baudRate = port.baud();
    read.line.dataBits = port.dataBits();
    read.line.parity = port.parity();
    read.line.stopBits = port.stopbits();
    read.modemLines.load(*root);
    return read;
}

// The run's answers to the script: the profile's settings and the session's addresses.
class HeadlessHost final : public ScriptHost
{
public:
    HeadlessHost(session::ModuleSession &session, ProfileSettings settings)
        : m_session(session), m_settings(std::move(settings))
    {
        QObject::connect(&session, &session::ModuleSession::addressFound,
                         [this](const QString &address) { m_address = address; });
    }

    terminal::CommandContext commandContext() const override
    {
        return {m_address, m_address, QString::number(qMax(0, m_session.muxLink()))};
    }

    QString openPort(int port) override
    {
        return openScriptPort(m_session, port, m_settings.line,
                              m_settings.modemLines.port(port).atOpen());
    }

    void closePort() override { m_session.connection().close(); }

    QString changeRate(int baudRate, int parity) override
    {
        const int port = m_session.connection().port();
        if (port == 0)
            return QStringLiteral("no port is open");
        m_settings.line.baudRate = baudRate;
        m_settings.line.parity = parity;
        return openPort(port);
    }

    QString resetSequence() const override
    {
        return m_settings.modemLines.port(m_session.connection().port()).reset;
    }

private:
    session::ModuleSession &m_session;
    ProfileSettings m_settings;
    QString m_address;
};

// Copies the lines the session completes to standard output.
class LineEcho
{
public:
    explicit LineEcho(session::ModuleSession &session) : m_session(session)
    {
        QObject::connect(&session, &session::ModuleSession::linesReady, [this] { print(); });
        QObject::connect(&session, &session::ModuleSession::listCleared, [this] { m_next = 0; });
    }

private:
    void print()
    {
        // The last line is still being received.
        const qsizetype complete = m_session.lines().size() - 1;
        for (; m_next < complete; ++m_next)
            printLine(stdout, m_session.lines().text(m_next));
    }

    session::ModuleSession &m_session;
    qsizetype m_next = 0;
};

} // namespace

int runHeadless(const HeadlessOptions &options)
{
    const QFileInfo script(options.script);
    if (!script.isFile() || !script.isReadable()) {
        printLine(stderr,
                  QStringLiteral("zorvane: cannot read the script '%1'.").arg(options.script));
        return kExitUsage;
    }
    const QString documents = settings::documentsFolder();
    ProfileSettings profile = readProfile(documents, options.profile);
    const int port = options.port > 0 ? options.port : profile.port;
    if (port < 1 || port > serial::kPortCount) {
        printLine(stderr, QStringLiteral("zorvane: no port to open: give --port N, or choose a "
                                         "port in the window for this profile first."));
        return kExitNoPort;
    }

    session::ModuleSession session;
    session.serial().setDocumentsFolder(documents);
    session.serial().setProfile(options.profile);
    HeadlessHost host(session, std::move(profile));
    if (const QString error = host.openPort(port); !error.isEmpty()) {
        printLine(stderr, QStringLiteral("zorvane: ") + error);
        return kExitNoPort;
    }
    session.start();

    std::optional<LineEcho> echo;
    if (options.echo)
        echo.emplace(session);

    ScriptEngine engine(session, host);
    QObject::connect(&engine, &ScriptEngine::output,
                     [](const QString &line) { printLine(stdout, line); });
    int caughtSignal = 0;
    os::SignalPipe signalPipe({SIGINT, SIGTERM}, os::SignalPipe::Repeat::DefaultAction);
    QObject::connect(&signalPipe, &os::SignalPipe::caughtSignal, [&](int signalNumber) {
        caughtSignal = signalNumber;
        engine.stop(QStringLiteral("stopped by signal %1").arg(signalNumber));
    });
    QObject::connect(&engine, &ScriptEngine::finished, QCoreApplication::instance(),
                     &QCoreApplication::quit, Qt::QueuedConnection);

    QElapsedTimer runTime;
    runTime.start();
    engine.start(options.script);
    if (engine.isRunning())
        QCoreApplication::exec();

    session.stop();
    session.connection().close();

    int status = engine.exitCode();
    if (caughtSignal != 0)
        status = 128 + caughtSignal;
    if (status != kExitPassed && !engine.message().isEmpty())
        printLine(stderr, QStringLiteral("zorvane: ") + engine.message());
    if (!options.junit.isEmpty()) {
        const RunSummary summary{options.script, double(runTime.elapsed()) / 1000.0,
                                 engine.state() == ScriptEngine::State::Passed ? QString()
                                                                               : engine.message()};
        // A failed step is in its own test case; the run's error only adds what no step says.
        RunSummary report = summary;
        const bool stepSaysIt =
            std::any_of(engine.steps().begin(), engine.steps().end(), [&](const ScriptStep &s) {
                return !s.passed && s.message == engine.message();
            });
        if (stepSaysIt || engine.message().endsWith(QStringLiteral(": a step failed")))
            report.failure.clear();
        if (const QString error = writeJUnitReport(options.junit, report, engine.steps());
            !error.isEmpty()) {
            printLine(stderr, QStringLiteral("zorvane: cannot write the report '%1': %2")
                                  .arg(options.junit, error));
            if (status == kExitPassed)
                status = kExitFailed;
        }
    }
    return status;
}

} // namespace zorvane::script
