#pragma once

#include "PtyModule.h"
#include "script/ScriptEngine.h"
#include "script/ScriptHost.h"
#include "script/ScriptPortOpen.h"
#include "session/Clock.h"
#include "session/ModuleSession.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <atomic>
#include <memory>

// A clock that moves a millisecond each time it is read: a script that computes reaches the
// limit on running without waiting after a known amount of work, not of wall time.
class SteppingClock final : public zorvane::session::Clock
{
public:
    qint64 nowNs() const override { return m_now += 1'000'000; }

private:
    mutable qint64 m_now = 0;
};

// The host a script sees in these tests: a fixed address, the port opened at 115200 8N1, and
// a reset sequence the test sets.
class TestHost final : public zorvane::script::ScriptHost
{
public:
    explicit TestHost(zorvane::session::ModuleSession &session) : m_session(session) {}

    zorvane::terminal::CommandContext commandContext() const override
    {
        return {QStringLiteral("00:07:80:AA:BB:CC"), QStringLiteral("00:07:80:AA:BB:CC"),
                QStringLiteral("1")};
    }
    QString openPort(int port) override
    {
        zorvane::serial::LineSettings line;
        line.baudRate = 115200;
        return zorvane::script::openScriptPort(m_session, port, line, {});
    }
    void closePort() override { m_session.serial().c_close(); }
    QString changeRate(int baudRate, int) override
    {
        rates << baudRate;
        return openPort(m_session.serial().com_port);
    }
    QString resetSequence() const override { return reset; }

    QString reset;
    QList<int> rates;

private:
    zorvane::session::ModuleSession &m_session;
};
