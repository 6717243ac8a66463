// The functions a script calls, in the table zv. Those that wait yield the script's coroutine
// with a continuation, which runs again each time the engine resumes it (bytes came, a timer
// fired) and either returns the wait's result or yields once more.
#include "script/ZvLibrary.h"

#include "script/BgapiNames.h"
#include "script/ModuleCommandSend.h"
#include "script/ScriptEngine.h"
#include "script/ScriptHost.h"
#include "serial/ModemSequence.h"
#include "session/ModuleSession.h"

#include <QSet>

#include <lua.hpp>

#include <limits>

namespace zorvane::script {

namespace {

constexpr char kFindKey[] = "zorvane.string.find";
// Module commands that wait between their parts.
constexpr int kEscapeGuardMs = 1000;
constexpr int kModuleBaudSwitchMs = 100;
constexpr int kPortSettleMs = 5;
constexpr qsizetype kShownPatternLength = 60;

QByteArray bytesArg(lua_State *L, int index)
{
    size_t size = 0;
    const char *data = luaL_checklstring(L, index, &size);
    return QByteArray(data, qsizetype(size));
}

// A pattern as a message shows it: quoted, with bytes that are not printable as escapes.
QString shown(QByteArrayView bytes)
{
    QString text = QStringLiteral("\"");
    for (const char c : bytes.first(std::min(bytes.size(), kShownPatternLength))) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b >= 0x7F)
            text += QStringLiteral("<%1>").arg(b, 2, 16, QLatin1Char('0')).toUpper();
        else
            text += QLatin1Char(c);
    }
    if (bytes.size() > kShownPatternLength)
        text += QStringLiteral("...");
    return text + QLatin1Char('"');
}

} // namespace

// The library's functions, friends of the engine.
struct Zv
{
    static ScriptEngine &engine(lua_State *L)
    {
        ScriptEngine &e = **static_cast<ScriptEngine **>(lua_getextraspace(L));
        // A finaliser running while the state closes finds the run over.
        if (!e.m_L)
            luaL_error(L, "the script has ended");
        return e;
    }

    // Any call means the script went on after a timed-out expect, so it saw to it.
    static ScriptEngine &use(lua_State *L)
    {
        ScriptEngine &e = engine(L);
        e.m_unhandledTimeout.clear();
        return e;
    }

    static void needPort(lua_State *L, ScriptEngine &e)
    {
        if (!e.m_session.serial().holdsDevice())
            luaL_error(L, "no port is open");
    }

    static void needWaitable(lua_State *L, ScriptEngine &e, const char *what)
    {
        if (L != e.m_co || !lua_isyieldable(L))
            luaL_error(L,
                       "%s waits, which a script can do only in its own flow, not inside a "
                       "coroutine it made or a function a library calls back",
                       what);
    }

    static QString where(lua_State *L)
    {
        luaL_where(L, 1);
        QString text = QString::fromUtf8(lua_tostring(L, -1));
        lua_pop(L, 1);
        return text;
    }

    // The window may ask the user something while it opens a port (a message box): that time
    // is not the script computing.
    static void afterHost(ScriptEngine &e) { e.m_busySinceNs = e.m_sliceStartNs = e.nowNs(); }

    static int waitMs(lua_State *L, int index, int fallback)
    {
        const lua_Integer ms = luaL_optinteger(L, index, fallback);
        luaL_argcheck(L, ms >= 0 && ms <= std::numeric_limits<int>::max(), index,
                      "milliseconds from 0 up");
        return int(ms);
    }

    // --- sending
    static int send(lua_State *L)
    {
        ScriptEngine &e = use(L);
        const QByteArray bytes = bytesArg(L, 1);
        needPort(L, e);
        e.m_session.tx_echo(QString::fromLatin1(bytes));
        e.m_session.serial().writeBytes(bytes);
        return 0;
    }

    static int sendline(lua_State *L)
    {
        ScriptEngine &e = use(L);
        const QByteArray bytes = bytesArg(L, 1);
        needPort(L, e);
        e.m_session.tx_echo(QString::fromLatin1(bytes));
        e.m_session.serial().writeBytes(bytes + e.m_session.lineEndBytes());
        return 0;
    }

    static int command(lua_State *L)
    {
        ScriptEngine &e = use(L);
        const QString name = QString::fromUtf8(luaL_checkstring(L, 1));
        const std::optional<NamedCommand> found = findModuleCommand(name);
        if (!found)
            return luaL_error(L, "no module command is called '%s'", lua_tostring(L, 1));
        needPort(L, e);
        terminal::CommandContext context = e.m_host.commandContext();
        if (!lua_isnoneornil(L, 2))
            context.address = context.label = QString::fromUtf8(luaL_checkstring(L, 2));
        const terminal::ModuleCommand &c = found->command;
        switch (c.send) {
        case terminal::CommandSend::Escape:
            if (e.m_session.options().muxMode)
                return luaL_error(L, "No CMD/Data modes in Multiplex mode");
            needWaitable(L, e, "the escape");
            e.beginWait(ScriptEngine::Wait::Sleep, kEscapeGuardMs,
                        QStringLiteral("silence before \"+++\""));
            return lua_yieldk(L, 0, 1, escapeStep);
        case terminal::CommandSend::BaudChange:
            needWaitable(L, e, "the baud change");
            e.m_session.mc_puts(terminal::expandCommand(c.texts.at(0), context));
            lua_settop(L, 0);
            lua_pushinteger(L, c.value);
            lua_pushinteger(L, c.parity);
            e.beginWait(ScriptEngine::Wait::Sleep, kModuleBaudSwitchMs,
                        QStringLiteral("the module's rate change"));
            return lua_yieldk(L, 0, 1, baudStep);
        default:
            sendModuleCommand(e.m_session, *found, context, e.m_bgio);
            return 0;
        }
    }

    // A sleep's resume before its time is not its end.
    static bool slept(ScriptEngine &e)
    {
        if (!e.m_timedOut)
            return false;
        e.endWait();
        return true;
    }

    static int escapeStep(lua_State *L, int, lua_KContext step)
    {
        ScriptEngine &e = engine(L);
        if (!slept(e))
            return lua_yieldk(L, 0, step, escapeStep);
        if (step == 2)
            return 0;
        needPort(L, e);
        e.m_session.c_write(QStringLiteral("+++"));
        e.beginWait(ScriptEngine::Wait::Sleep, kEscapeGuardMs,
                    QStringLiteral("silence after \"+++\""));
        return lua_yieldk(L, 0, 2, escapeStep);
    }

    static int baudStep(lua_State *L, int, lua_KContext step)
    {
        ScriptEngine &e = engine(L);
        if (!slept(e))
            return lua_yieldk(L, 0, step, baudStep);
        if (step == 1) {
            const QString error =
                e.m_host.changeRate(int(lua_tointeger(L, 1)), int(lua_tointeger(L, 2)));
            afterHost(e);
            if (!error.isEmpty())
                return luaL_error(L, "%s", error.toUtf8().constData());
            e.beginWait(ScriptEngine::Wait::Sleep, kPortSettleMs,
                        QStringLiteral("the port's rate change"));
            return lua_yieldk(L, 0, 2, baudStep);
        }
        needPort(L, e);
        // The module's answer to SET shows whether both sides now agree.
        e.m_session.serial().c_putc(13);
        e.m_session.mc_puts(QStringLiteral("SET"));
        return 0;
    }

    static int muxSend(lua_State *L)
    {
        ScriptEngine &e = use(L);
        const lua_Integer link = luaL_checkinteger(L, 1);
        luaL_argcheck(L, link >= 0 && link <= 255, 1, "a link 0 to 255");
        const QByteArray bytes = bytesArg(L, 2);
        needPort(L, e);
        e.m_session.writeFrames(int(link), QString::fromLatin1(bytes));
        return 0;
    }

    // --- expect
    // The stack of an expect: 1 the pattern or patterns, 2 the milliseconds, 3 plain or not,
    // 4 where it was called. Leaves the results on top and returns their count, or 0.
    static int tryMatch(lua_State *L, ScriptEngine &e)
    {
        const bool many = lua_istable(L, 1);
        const lua_Integer count = many ? lua_Integer(lua_rawlen(L, 1)) : 1;
        const bool plain = lua_toboolean(L, 3);
        lua_settop(L, 4);
        lua_pushlstring(L, e.m_received.constData(), size_t(e.m_received.size())); // 5
        const auto find = [&](lua_Integer i, int results) {
            lua_getfield(L, LUA_REGISTRYINDEX, kFindKey);
            lua_pushvalue(L, 5);
            if (many)
                lua_rawgeti(L, 1, i);
            else
                lua_pushvalue(L, 1);
            lua_pushinteger(L, 1);
            lua_pushboolean(L, plain);
            lua_call(L, 4, results);
        };
        lua_Integer best = 0;
        lua_Integer bestStart = 0;
        for (lua_Integer i = 1; i <= count; ++i) {
            find(i, 1);
            if (!lua_isnil(L, -1)) {
                const lua_Integer start = lua_tointeger(L, -1);
                // The earliest match wins; of two at the same place, the first pattern.
                if (best == 0 || start < bestStart) {
                    best = i;
                    bestStart = start;
                }
            }
            lua_pop(L, 1);
        }
        if (best == 0) {
            lua_settop(L, 4);
            return 0;
        }
        find(best, LUA_MULTRET); // 6 start, 7 end, 8... captures
        const int top = lua_gettop(L);
        const lua_Integer start = lua_tointeger(L, 6);
        const lua_Integer end = lua_tointeger(L, 7);
        lua_pushinteger(L, best);
        lua_pushlstring(L, e.m_received.constData() + start - 1, size_t(end - start + 1));
        for (int capture = 8; capture <= top; ++capture)
            lua_pushvalue(L, capture);
        e.m_received.remove(0, qsizetype(end));
        return 2 + (top - 7);
    }

    static QString describe(lua_State *L)
    {
        if (!lua_istable(L, 1)) {
            size_t size = 0;
            const char *p = lua_tolstring(L, 1, &size);
            return shown(QByteArrayView(p, qsizetype(size)));
        }
        QStringList texts;
        for (lua_Integer i = 1; i <= lua_Integer(lua_rawlen(L, 1)); ++i) {
            lua_rawgeti(L, 1, i);
            size_t size = 0;
            const char *p = lua_tolstring(L, -1, &size);
            texts << shown(QByteArrayView(p, qsizetype(size)));
            lua_pop(L, 1);
        }
        return texts.join(QStringLiteral(" or "));
    }

    static int timedOut(lua_State *L, ScriptEngine &e, int ms)
    {
        e.m_unhandledTimeout =
            QString::fromUtf8(lua_tostring(L, 4)) +
            QStringLiteral("expect timed out after %1 ms waiting for %2").arg(ms).arg(describe(L));
        lua_pushnil(L);
        lua_pushliteral(L, "timeout");
        return 2;
    }

    static int expectWith(lua_State *L, bool plain)
    {
        ScriptEngine &e = use(L);
        if (lua_istable(L, 1)) {
            const lua_Integer count = lua_Integer(lua_rawlen(L, 1));
            luaL_argcheck(L, count > 0, 1, "no patterns");
            for (lua_Integer i = 1; i <= count; ++i) {
                if (lua_rawgeti(L, 1, i) != LUA_TSTRING)
                    luaL_error(L, "pattern %d is not a string", int(i));
                lua_pop(L, 1);
            }
        } else {
            luaL_checktype(L, 1, LUA_TSTRING);
        }
        const int ms = waitMs(L, 2, ScriptEngine::kDefaultExpectMs);
        lua_settop(L, 1);
        lua_pushinteger(L, ms);
        lua_pushboolean(L, plain);
        luaL_where(L, 1);
        if (const int results = tryMatch(L, e))
            return results;
        if (ms == 0)
            return timedOut(L, e, ms);
        needWaitable(L, e, "expect");
        e.beginWait(ScriptEngine::Wait::Expect, ms, QStringLiteral("expect ") + describe(L));
        return lua_yieldk(L, 0, 0, expectStep);
    }

    static int expectStep(lua_State *L, int, lua_KContext)
    {
        ScriptEngine &e = engine(L);
        if (const int results = tryMatch(L, e)) {
            e.endWait();
            return results;
        }
        if (e.m_timedOut) {
            e.endWait();
            return timedOut(L, e, int(lua_tointeger(L, 2)));
        }
        return lua_yieldk(L, 0, 0, expectStep);
    }

    static int expect(lua_State *L) { return expectWith(L, false); }
    static int expectPlain(lua_State *L) { return expectWith(L, true); }

    static int clear(lua_State *L)
    {
        ScriptEngine &e = use(L);
        e.m_received.clear();
        e.m_bgapiPackets.clear();
        return 0;
    }

    // --- BGAPI
    static int bgapiSend(lua_State *L)
    {
        ScriptEngine &e = use(L);
        const QString name = QString::fromUtf8(luaL_checkstring(L, 1));
        QVariant argument;
        if (lua_type(L, 2) == LUA_TNUMBER)
            argument = qint64(luaL_checkinteger(L, 2));
        else if (!lua_isnoneornil(L, 2))
            argument = QString::fromUtf8(luaL_checkstring(L, 2));
        QString error;
        const std::optional<QByteArray> packet = bgapi_names::commandPacket(name, argument, &error);
        if (!packet)
            return luaL_error(L, "%s", error.toUtf8().constData());
        needPort(L, e);
        e.m_session.serial().writeBytes(*packet);
        return 0;
    }

    static void pushVariant(lua_State *L, const QVariant &value)
    {
        switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
            lua_pushinteger(L, value.toLongLong());
            break;
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            lua_pushlstring(L, bytes.constData(), size_t(bytes.size()));
            break;
        }
        default:
            lua_pushstring(L, value.toString().toUtf8().constData());
            break;
        }
    }

    // The stack of a bgapi.expect: 1 the name or names, 2 the milliseconds, 3 where.
    static int tryBgapi(lua_State *L, ScriptEngine &e)
    {
        QSet<QString> names;
        if (lua_istable(L, 1)) {
            for (lua_Integer i = 1; i <= lua_Integer(lua_rawlen(L, 1)); ++i) {
                lua_rawgeti(L, 1, i);
                names.insert(QString::fromUtf8(lua_tostring(L, -1)));
                lua_pop(L, 1);
            }
        } else {
            names.insert(QString::fromUtf8(lua_tostring(L, 1)));
        }
        for (qsizetype i = 0; i < e.m_bgapiPackets.size(); ++i) {
            const QByteArray packet = e.m_bgapiPackets.at(i);
            if (!names.contains(bgapi_names::messageName(packet)))
                continue;
            e.m_bgapiPackets.remove(0, i + 1);
            const auto fields = bgapi_names::messageFields(packet);
            lua_createtable(L, 0, int(fields.size()));
            for (const auto &[key, value] : fields) {
                pushVariant(L, value);
                lua_setfield(L, -2, key.toUtf8().constData());
            }
            return 1;
        }
        return 0;
    }

    static int bgapiTimedOut(lua_State *L, ScriptEngine &e, int ms)
    {
        e.m_unhandledTimeout = QString::fromUtf8(lua_tostring(L, 3)) +
                               QStringLiteral("bgapi.expect timed out after %1 ms waiting for %2")
                                   .arg(ms)
                                   .arg(describe(L));
        lua_pushnil(L);
        lua_pushliteral(L, "timeout");
        return 2;
    }

    static int bgapiExpect(lua_State *L)
    {
        ScriptEngine &e = use(L);
        if (!lua_istable(L, 1))
            luaL_checktype(L, 1, LUA_TSTRING);
        const int ms = waitMs(L, 2, ScriptEngine::kDefaultExpectMs);
        lua_settop(L, 1);
        lua_pushinteger(L, ms);
        luaL_where(L, 1);
        if (tryBgapi(L, e))
            return 1;
        if (ms == 0)
            return bgapiTimedOut(L, e, ms);
        needWaitable(L, e, "bgapi.expect");
        e.beginWait(ScriptEngine::Wait::Bgapi, ms, QStringLiteral("BGAPI ") + describe(L));
        return lua_yieldk(L, 0, 0, bgapiExpectStep);
    }

    static int bgapiExpectStep(lua_State *L, int, lua_KContext)
    {
        ScriptEngine &e = engine(L);
        if (tryBgapi(L, e)) {
            e.endWait();
            return 1;
        }
        if (e.m_timedOut) {
            e.endWait();
            return bgapiTimedOut(L, e, int(lua_tointeger(L, 2)));
        }
        return lua_yieldk(L, 0, 0, bgapiExpectStep);
    }

    // --- time and modem lines
    static int sleep(lua_State *L)
    {
        ScriptEngine &e = use(L);
        const int ms = waitMs(L, 1, 0);
        needWaitable(L, e, "sleep");
        e.beginWait(ScriptEngine::Wait::Sleep, ms, QStringLiteral("sleep"));
        return lua_yieldk(L, 0, 0, sleepStep);
    }

    static int sleepStep(lua_State *L, int, lua_KContext)
    {
        if (!slept(engine(L)))
            return lua_yieldk(L, 0, 0, sleepStep);
        return 0;
    }

    static int setLine(lua_State *L, bool dtr)
    {
        ScriptEngine &e = use(L);
        const bool on = lua_toboolean(L, 1);
        needPort(L, e);
        serial::ModemLineChange change;
        (dtr ? change.dtr : change.rts) = on;
        if (e.m_session.serial().link()->setOutputs(change)) {
            lua_pushboolean(L, 1);
            return 1;
        }
        lua_pushboolean(L, 0);
        lua_pushstring(L, dtr ? "the device cannot set DTR" : "the device cannot set RTS");
        return 2;
    }

    static int dtr(lua_State *L) { return setLine(L, true); }
    static int rts(lua_State *L) { return setLine(L, false); }

    static int playSteps(lua_State *L, ScriptEngine &e, serial::ModemSteps steps,
                         const QString &what)
    {
        needPort(L, e);
        needWaitable(L, e, what.toUtf8().constData());
        e.m_modemOk = false;
        if (!e.m_modem.start(e.m_session.serial().link(), std::move(steps))) {
            lua_pushboolean(L, 0);
            lua_pushliteral(L, "the modem lines are busy");
            return 2;
        }
        if (!e.m_modem.isRunning())
            return modemResult(L, e);
        e.beginWait(ScriptEngine::Wait::Modem, -1, what);
        return lua_yieldk(L, 0, 0, modemStep);
    }

    static int modemStep(lua_State *L, int, lua_KContext)
    {
        ScriptEngine &e = engine(L);
        if (e.m_modem.isRunning())
            return lua_yieldk(L, 0, 0, modemStep);
        e.endWait();
        return modemResult(L, e);
    }

    static int modemResult(lua_State *L, ScriptEngine &e)
    {
        lua_pushboolean(L, e.m_modemOk);
        if (e.m_modemOk)
            return 1;
        lua_pushliteral(L, "the device did not take every step");
        return 2;
    }

    static int brk(lua_State *L)
    {
        ScriptEngine &e = use(L);
        const lua_Integer ms = luaL_optinteger(L, 1, serial::kDefaultBreakMs);
        luaL_argcheck(L, ms > 0 && ms <= serial::kMaxPauseMs, 1, "1 to 60000 ms");
        return playSteps(L, e, serial::breakSteps(int(ms)), QStringLiteral("break"));
    }

    static int reset(lua_State *L)
    {
        ScriptEngine &e = use(L);
        const QString text = e.m_host.resetSequence();
        if (text.isEmpty())
            return luaL_error(L, "the port has no reset sequence");
        const serial::ParsedSequence parsed = serial::parseModemSequence(text);
        if (!parsed.ok())
            return luaL_error(L, "the port's reset sequence does not read: character %d: %s",
                              parsed.errorAt + 1, parsed.error.toUtf8().constData());
        return playSteps(L, e, parsed.steps, QStringLiteral("reset sequence"));
    }

    // --- the port
    static int portOpen(lua_State *L)
    {
        ScriptEngine &e = use(L);
        const lua_Integer port = luaL_checkinteger(L, 1);
        luaL_argcheck(L, port >= 1 && port <= 100, 1, "a port 1 to 100");
        const QString error = e.m_host.openPort(int(port));
        afterHost(e);
        if (error.isEmpty()) {
            lua_pushboolean(L, 1);
            return 1;
        }
        lua_pushnil(L);
        lua_pushstring(L, error.toUtf8().constData());
        return 2;
    }

    static int portClose(lua_State *L)
    {
        ScriptEngine &e = use(L);
        e.m_host.closePort();
        afterHost(e);
        return 0;
    }

    // --- output, steps, the end
    static int log(lua_State *L)
    {
        ScriptEngine &e = use(L);
        QByteArray line;
        for (int i = 1; i <= lua_gettop(L); ++i) {
            if (i > 1)
                line += '\t';
            line += luaL_tolstring(L, i, nullptr);
            lua_pop(L, 1);
        }
        for (const QByteArray &piece : line.split('\n'))
            emit e.output(QString::fromUtf8(piece));
        return 0;
    }

    static int exit(lua_State *L)
    {
        ScriptEngine &e = use(L);
        const lua_Integer code = luaL_optinteger(L, 1, 0);
        luaL_argcheck(L, code >= 0 && code <= 255, 1, "a status 0 to 255");
        e.m_exitRequested = true;
        e.m_requestedExit = int(code);
        e.m_exitMessage = code == 0 ? QString() : where(L) + QStringLiteral("exit(%1)").arg(code);
        if (L == e.m_co && lua_isyieldable(L))
            return lua_yield(L, 0);
        // Deep in a coroutine of the script's own: unwound there, the hook ends the rest.
        e.m_stopRequested = true;
        return luaL_error(L, "exit(%d)", int(code));
    }

    static int test(lua_State *L)
    {
        ScriptEngine &e = use(L);
        const QString name = QString::fromUtf8(luaL_checkstring(L, 1));
        luaL_checktype(L, 2, LUA_TFUNCTION);
        lua_settop(L, 2);
        e.beginStep(name);
        lua_pushvalue(L, 2);
        const int status = lua_pcallk(L, 0, 0, 0, 0, testEnd);
        return testEnd(L, status, 0);
    }

    static int testEnd(lua_State *L, int status, lua_KContext)
    {
        ScriptEngine &e = engine(L);
        if (e.m_openSteps.isEmpty())
            return 0;
        if (status == LUA_OK || status == LUA_YIELD) {
            if (e.m_unhandledTimeout.isEmpty()) {
                emit e.stepFinished(e.endStep(true, {}));
                return 0;
            }
            // The step's last wait timed out and nothing looked at it: the step failed there.
            const QString message = e.m_unhandledTimeout;
            e.m_unhandledTimeout.clear();
            emit e.stepFinished(e.endStep(false, message));
            lua_pushstring(L, message.toUtf8().constData());
            return lua_error(L);
        }
        const QString message = QString::fromUtf8(luaL_tolstring(L, -1, nullptr));
        lua_pop(L, 1);
        emit e.stepFinished(e.endStep(false, message));
        return lua_error(L);
    }
};

void openZvLibrary(lua_State *L)
{
    lua_getglobal(L, LUA_STRLIBNAME);
    lua_getfield(L, -1, "find");
    lua_setfield(L, LUA_REGISTRYINDEX, kFindKey);
    lua_pop(L, 1);

    const luaL_Reg zv[] = {
        {"send", Zv::send},
        {"sendline", Zv::sendline},
        {"command", Zv::command},
        {"expect", Zv::expect},
        {"expect_plain", Zv::expectPlain},
        {"clear", Zv::clear},
        {"sleep", Zv::sleep},
        {"dtr", Zv::dtr},
        {"rts", Zv::rts},
        {"brk", Zv::brk},
        {"reset", Zv::reset},
        {"log", Zv::log},
        {"exit", Zv::exit},
        {"test", Zv::test},
        {nullptr, nullptr},
    };
    luaL_newlib(L, zv);
    const luaL_Reg mux[] = {{"send", Zv::muxSend}, {nullptr, nullptr}};
    luaL_newlib(L, mux);
    lua_setfield(L, -2, "mux");
    const luaL_Reg bgapi[] = {
        {"send", Zv::bgapiSend}, {"expect", Zv::bgapiExpect}, {nullptr, nullptr}};
    luaL_newlib(L, bgapi);
    lua_setfield(L, -2, "bgapi");
    const luaL_Reg port[] = {{"open", Zv::portOpen}, {"close", Zv::portClose}, {nullptr, nullptr}};
    luaL_newlib(L, port);
    lua_setfield(L, -2, "port");
    lua_setglobal(L, "zv");
    // The script's print goes where its log goes; test stands on its own for short steps.
    lua_pushcfunction(L, Zv::log);
    lua_setglobal(L, "print");
    lua_pushcfunction(L, Zv::test);
    lua_setglobal(L, "test");
}

} // namespace zorvane::script
