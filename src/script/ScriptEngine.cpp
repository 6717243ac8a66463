// The driver of a script: the Lua state and its coroutine, the resumes that bytes and timers
// cause, the slices and the limit on running without waiting, and how a run ends. The zv
// functions the script calls are in ZvLibrary.cpp.
#include "script/ScriptEngine.h"

#include "script/LuaSandbox.h"
#include "script/ZvLibrary.h"
#include "session/ModuleSession.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>

#include <lua.hpp>

#include <algorithm>

namespace zorvane::script {

namespace {

ScriptEngine *&engineSlot(lua_State *L)
{
    return *static_cast<ScriptEngine **>(lua_getextraspace(L));
}

} // namespace

ScriptEngine::ScriptEngine(session::ModuleSession &session, ScriptHost &host, QObject *parent)
    : QObject(parent), m_session(session), m_host(host)
{
    m_waitTimer = new QTimer(this);
    m_waitTimer->setSingleShot(true);
    m_waitTimer->setTimerType(Qt::PreciseTimer);
    connect(m_waitTimer, &QTimer::timeout, this, [this] {
        m_timedOut = true;
        scheduleResume();
    });
    m_resumeTimer = new QTimer(this);
    m_resumeTimer->setSingleShot(true);
    m_resumeTimer->setInterval(0);
    connect(m_resumeTimer, &QTimer::timeout, this, &ScriptEngine::resume);
    connect(&m_modem, &serial::ModemSequenceRunner::finished, this, [this](bool ok) {
        m_modemOk = ok;
        if (m_wait == Wait::Modem)
            scheduleResume();
    });
}

ScriptEngine::~ScriptEngine()
{
    if (m_L) {
        lua_State *L = std::exchange(m_L, nullptr);
        m_co = nullptr;
        m_stopRequested = true;
        lua_close(L);
    }
}

void ScriptEngine::setClock(const session::Clock *clock)
{
    m_clock = clock ? clock : &m_steadyClock;
}

QString ScriptEngine::stateText(State state)
{
    switch (state) {
    case State::Idle:
        return QStringLiteral("idle");
    case State::Running:
        return QStringLiteral("running");
    case State::Waiting:
        return QStringLiteral("waiting");
    case State::Passed:
        return QStringLiteral("passed");
    case State::Failed:
        return QStringLiteral("failed");
    case State::Stopped:
        return QStringLiteral("stopped");
    }
    return {};
}

qint64 ScriptEngine::waitRemainingMs() const
{
    if (m_wait == Wait::None || m_deadline.isForever())
        return -1;
    return m_deadline.remainingTime();
}

bool ScriptEngine::start(const QString &path)
{
    if (isRunning())
        return false;
    m_path = path;
    m_exitCode = 0;
    m_message.clear();
    m_steps.clear();
    m_openSteps.clear();
    m_received.clear();
    m_bgapiRx.clear();
    m_bgapiPackets.clear();
    m_bgio = {};
    m_unhandledTimeout.clear();
    m_stopRequested = false;
    m_stopAs = State::Stopped;
    m_exitRequested = false;
    m_exitMessage.clear();
    m_wait = Wait::None;
    m_waitText.clear();
    m_runStartNs = nowNs();
    m_busySinceNs = m_runStartNs;

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        finish(State::Failed, 1,
               QStringLiteral("%1: cannot read the script: %2").arg(path, file.errorString()));
        return true;
    }
    const QByteArray source = file.readAll();

    m_L = newSandbox(QFileInfo(path).absolutePath());
    if (!m_L) {
        finish(State::Failed, 1, QStringLiteral("%1: no memory for the script").arg(path));
        return true;
    }
    engineSlot(m_L) = this;
    // The hook on the main thread too: it is what any thread the script makes inherits, and a
    // finaliser that loops is stopped by it when the state closes.
    lua_sethook(m_L, &ScriptEngine::hook, LUA_MASKCOUNT, kHookInstructions);
    openZvLibrary(m_L);
    m_co = lua_newthread(m_L);
    // Kept from the collector in the registry for the whole run.
    luaL_ref(m_L, LUA_REGISTRYINDEX);

    // Messages name the script as it was given, so "inquiry.lua:12:" reads as the user wrote.
    const QByteArray chunkName = '@' + path.toUtf8();
    if (luaL_loadbufferx(m_co, source.constData(), size_t(source.size()), chunkName.constData(),
                         "t") != LUA_OK) {
        const QString error = QString::fromUtf8(lua_tostring(m_co, -1));
        finish(State::Failed, 1, error);
        return true;
    }
    // Heard only while a script runs: the session copies nothing for no one.
    m_bytesConnection =
        connect(&m_session, &session::ModuleSession::bytesReceived, this, &ScriptEngine::onBytes);
    setState(State::Running);
    scheduleResume();
    return true;
}

void ScriptEngine::stop(const QString &why)
{
    if (!isRunning())
        return;
    if (m_inLua) {
        // From inside the script itself: the hook or the next yield ends it.
        m_stopRequested = true;
        m_stopMessage = why;
        return;
    }
    finish(State::Stopped, 1, why);
}

void ScriptEngine::onBytes(const QByteArray &bytes)
{
    if (!isRunning())
        return;
    m_received.append(bytes);
    if (m_received.size() > kMaxExpectBytes)
        m_received.remove(0, m_received.size() - kMaxExpectBytes);
    for (const char c : bytes) {
        if (!m_bgapiRx.add(static_cast<quint8>(c)))
            continue;
        m_bgapiPackets.append(m_bgapiRx.packet().toByteArray());
        if (m_bgapiPackets.size() > kMaxBgapiMessages)
            m_bgapiPackets.removeFirst();
    }
    if (m_wait == Wait::Expect || m_wait == Wait::Bgapi)
        scheduleResume();
}

void ScriptEngine::scheduleResume()
{
    if (isRunning() && !m_resumeTimer->isActive())
        m_resumeTimer->start();
}

void ScriptEngine::resume()
{
    if (!isRunning() || !m_co || m_inLua)
        return;
    const qint64 now = nowNs();
    if (m_wait != Wait::None)
        m_busySinceNs = now;
    m_sliceStartNs = now;
    if (m_state != State::Running)
        setState(State::Running);
    int results = 0;
    m_inLua = true;
    const int status = lua_resume(m_co, m_L, 0, &results);
    m_inLua = false;

    if (status == LUA_YIELD)
        lua_pop(m_co, results);
    if (m_exitRequested) {
        // The script's own word on its status stands, even over a failed step.
        finish(m_requestedExit == 0 ? State::Passed : State::Failed, m_requestedExit,
               m_exitMessage);
        return;
    }
    if (m_stopRequested) {
        finish(m_stopAs, 1, m_stopMessage);
        return;
    }
    if (status == LUA_YIELD) {
        if (m_wait == Wait::None) {
            // A slice ended: the event loop has its turn, then the script goes on.
            scheduleResume();
            return;
        }
        setState(State::Waiting);
        return;
    }
    if (status == LUA_OK) {
        if (!m_unhandledTimeout.isEmpty())
            finish(State::Failed, 1, m_unhandledTimeout);
        else if (anyStepFailed())
            finish(State::Failed, 1, QStringLiteral("%1: a step failed").arg(m_path));
        else
            finish(State::Passed, 0, {});
        return;
    }
    finish(State::Failed, 1, QString::fromUtf8(luaL_tolstring(m_co, -1, nullptr)));
}

bool ScriptEngine::anyStepFailed() const
{
    return std::any_of(m_steps.begin(), m_steps.end(),
                       [](const ScriptStep &s) { return !s.passed; });
}

void ScriptEngine::finish(State state, int exitCode, const QString &message)
{
    disconnect(m_bytesConnection);
    m_waitTimer->stop();
    m_resumeTimer->stop();
    m_modem.abort();
    m_wait = Wait::None;
    m_waitText.clear();
    m_exitCode = exitCode;
    m_message = message;
    // Steps still open when the run ended end with it.
    while (!m_openSteps.isEmpty())
        emit stepFinished(endStep(false, message.isEmpty() ? stateText(state) : message));
    if (m_L) {
        lua_State *L = m_L;
        m_L = nullptr;
        m_co = nullptr;
        // Finalisers run as the state closes; the hook ends any that would not.
        m_stopRequested = true;
        m_inLua = true;
        lua_close(L);
        m_inLua = false;
    }
    m_stopRequested = false;
    setState(state);
    emit finished(exitCode);
}

void ScriptEngine::setState(State state)
{
    m_state = state;
    emit stateChanged();
}

void ScriptEngine::hook(lua_State *L, lua_Debug *ar)
{
    ScriptEngine *engine = engineSlot(L);
    if (!engine)
        return;
    const qint64 now = engine->nowNs();
    if (!engine->m_stopRequested && now - engine->m_busySinceNs > kMaxBusyNs) {
        lua_getinfo(L, "Sl", ar);
        QString where;
        if (ar->currentline > 0)
            where = QStringLiteral("%1:%2: ")
                        .arg(QString::fromUtf8(ar->short_src))
                        .arg(ar->currentline);
        engine->m_stopRequested = true;
        engine->m_stopAs = State::Failed;
        engine->m_stopMessage =
            where + QStringLiteral("the script ran for 2 s without waiting and was stopped");
    }
    const bool ending = engine->m_stopRequested || engine->m_exitRequested;
    if (!ending && now - engine->m_sliceStartNs < kSliceNs)
        return;
    if (L == engine->m_co && lua_isyieldable(L)) {
        engine->m_wait = Wait::None;
        lua_yield(L, 0);
        return;
    }
    // Deep in a call the script's own coroutine made, or inside a library function that
    // called back into the script: an error unwinds it, and the next hook in the script
    // itself yields.
    if (ending)
        luaL_error(L, "%s", engine->m_stopMessage.toUtf8().constData());
}

void ScriptEngine::beginWait(Wait kind, int ms, const QString &text)
{
    m_wait = kind;
    m_waitText = text;
    m_timedOut = false;
    if (ms >= 0) {
        m_deadline = QDeadlineTimer(ms, Qt::PreciseTimer);
        m_waitTimer->start(ms);
    } else {
        m_deadline = QDeadlineTimer(QDeadlineTimer::Forever);
        m_waitTimer->stop();
    }
}

void ScriptEngine::endWait()
{
    m_wait = Wait::None;
    m_waitText.clear();
    m_waitTimer->stop();
    m_timedOut = false;
}

void ScriptEngine::beginStep(const QString &name)
{
    m_openSteps.append({name, nowNs()});
}

ScriptStep ScriptEngine::endStep(bool passed, const QString &message)
{
    const OpenStep open = m_openSteps.takeLast();
    ScriptStep step{open.name, passed, message, double(nowNs() - open.startNs) / 1e9};
    m_steps.append(step);
    return step;
}

} // namespace zorvane::script
