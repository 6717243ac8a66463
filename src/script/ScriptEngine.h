#pragma once

#include "bgapi/PacketAssembly.h"
#include "script/ModuleCommandSend.h"
#include "script/ScriptStep.h"
#include "serial/ModemSequenceRunner.h"
#include "session/Clock.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QObject>
#include <QString>

struct lua_State;
struct lua_Debug;

class QTimer;

namespace zorvane::session {
class ModuleSession;
}

namespace zorvane::script {

class ScriptHost;

// Runs one Lua script at a time against a module session. The script is a coroutine on the
// session's thread: a wait yields it, and arriving bytes or a timer resume it, so the event
// loop never blocks and the session's own receiving goes on as before; the script reads its
// own copy of the received bytes. A script that computes is cut into slices of a few
// milliseconds by an instruction-count hook, so the event loop (and a Stop) gets its turns,
// and it is stopped once it has run 2 s without waiting.
class ScriptEngine : public QObject
{
    Q_OBJECT
public:
    enum class State { Idle, Running, Waiting, Passed, Failed, Stopped };

    // The longest stretch a script computes before the event loop gets a turn.
    static constexpr qint64 kSliceNs = 10'000'000;
    // A script that runs this long without waiting is taken to be stuck.
    static constexpr qint64 kMaxBusyNs = 2'000'000'000;
    static constexpr int kHookInstructions = 1000;
    // Received bytes kept for expect: the newest this many since the last match.
    static constexpr qsizetype kMaxExpectBytes = 64 * 1024;
    // BGAPI messages kept for bgapi.expect since its last match.
    static constexpr qsizetype kMaxBgapiMessages = 256;
    static constexpr int kDefaultExpectMs = 5000;

    ScriptEngine(session::ModuleSession &session, ScriptHost &host, QObject *parent = nullptr);
    ~ScriptEngine() override;

    // Where the 2 s limit and the slices read the time; the machine's steady clock unless a
    // test hands in one it moves.
    void setClock(const session::Clock *clock);

    // Loads and starts the script at `path`; false (doing nothing) while one runs. A script
    // that cannot be read or compiled ends at once as failed.
    bool start(const QString &path);
    // Ends the running script as stopped, with `why` as its message.
    void stop(const QString &why = QStringLiteral("stopped"));

    bool isRunning() const { return m_state == State::Running || m_state == State::Waiting; }
    State state() const { return m_state; }
    QString scriptPath() const { return m_path; }
    // What the script waits for ("expect \"OK\"", "sleep", ...), while it waits.
    QString waitingFor() const { return m_waitText; }
    // How long the wait may still last, in ms; -1 while not waiting or with no limit.
    qint64 waitRemainingMs() const;
    // The status the run ended with: 0 ended well or exit(0), 1 failed, else the script's
    // exit(n); only meaningful once it ended.
    int exitCode() const { return m_exitCode; }
    // Why the run failed or stopped, beginning with the script's file and line when known.
    QString message() const { return m_message; }
    const QList<ScriptStep> &steps() const { return m_steps; }

    static QString stateText(State state);

signals:
    void stateChanged();
    // A line the script printed or logged.
    void output(const QString &line);
    void stepFinished(const zorvane::script::ScriptStep &step);
    void finished(int exitCode);

private:
    enum class Wait { None, Expect, Bgapi, Sleep, Modem };

    friend struct Zv;

    void onBytes(const QByteArray &bytes);
    void scheduleResume();
    void resume();
    void finish(State state, int exitCode, const QString &message);
    void setState(State state);
    bool anyStepFailed() const;
    qint64 nowNs() const { return m_clock->nowNs(); }
    static void hook(lua_State *L, lua_Debug *ar);

    // For the zv functions.
    void beginWait(Wait kind, int ms, const QString &text);
    void endWait();
    void beginStep(const QString &name);
    ScriptStep endStep(bool passed, const QString &message);

    session::ModuleSession &m_session;
    ScriptHost &m_host;
    session::SteadyClock m_steadyClock;
    const session::Clock *m_clock = &m_steadyClock;

    lua_State *m_L = nullptr;
    lua_State *m_co = nullptr;
    bool m_inLua = false;
    QString m_path;
    State m_state = State::Idle;
    int m_exitCode = 0;
    QString m_message;

    Wait m_wait = Wait::None;
    QString m_waitText;
    QDeadlineTimer m_deadline{QDeadlineTimer::Forever};
    bool m_timedOut = false;
    QTimer *m_waitTimer = nullptr;
    QTimer *m_resumeTimer = nullptr;
    // When the script last came back from a wait, and when its current slice began.
    qint64 m_busySinceNs = 0;
    qint64 m_sliceStartNs = 0;
    bool m_stopRequested = false;
    State m_stopAs = State::Stopped;
    QString m_stopMessage;
    bool m_exitRequested = false;
    int m_requestedExit = 0;
    QString m_exitMessage;

    QMetaObject::Connection m_bytesConnection;
    // Bytes received since the last match, for expect.
    QByteArray m_received;
    bgapi::PacketAssembly m_bgapiRx;
    QList<QByteArray> m_bgapiPackets;

    serial::ModemSequenceRunner m_modem;
    bool m_modemOk = false;
    BgioMemory m_bgio;

    // Where a timed-out expect was, until the script does anything else: one left so when the
    // script or a step ends fails it.
    QString m_unhandledTimeout;
    struct OpenStep
    {
        QString name;
        qint64 startNs;
    };
    QList<OpenStep> m_openSteps;
    QList<ScriptStep> m_steps;
    qint64 m_runStartNs = 0;
};

} // namespace zorvane::script
