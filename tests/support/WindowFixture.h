#pragma once

#include "PtyModule.h"

#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

class TMain;

// What the window tests share: a home of their own with a fresh documents folder, message
// boxes answered and recorded, the machine's own ports kept out, and on request a module
// plugged in at a port and the real main window. The home is kept, and its path printed,
// when a test of the run failed.
class WindowFixture
{
public:
    WindowFixture();
    ~WindowFixture();

    // For initTestCase: false when no temporary home could be made.
    bool setUp();
    // For init: messages forgotten, every port number pointed nowhere.
    void reset();
    // For cleanup: the window closed before its module is unplugged.
    void tearDown();

    // A module at the far end of a pseudo-terminal, linked as port n.
    std::unique_ptr<PtyModule> plugIn(int port);
    // The real main window with its receive timer stopped: the tests drive ticks by hand.
    std::unique_ptr<TMain> makeMain();
    // A module plugged in at `port` and a main window holding it open, kept as `module` and
    // `window`; false when the port did not open.
    bool openOn(int port);
    QString homePath() const { return m_home.path(); }

    QString docs;
    QStringList messages;
    std::unique_ptr<PtyModule> module;
    std::unique_ptr<TMain> window;

private:
    QTemporaryDir m_home;
    bool m_failed = false;
};

// Runs the window's receive ticks by hand until `done` holds; false when time ran out first.
bool tickUntil(TMain &window, const std::function<bool()> &done, int timeoutMs = 10000);
