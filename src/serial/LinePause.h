#pragma once

#include <functional>

namespace zorvane::serial {

// Holds the whole program still for a number of milliseconds: the guard times around the
// iWRAP escape, the pauses of a baud change and of command sequences. They block on purpose,
// so that no receive tick runs and nothing is sent while the line must stay quiet.
void linePause(int milliseconds);

// Replaces the pause, so a test can see which pauses were asked for and in what order without
// waiting for them; an empty function restores the real one.
void setLinePauseHandler(std::function<void(int milliseconds)> handler);

} // namespace zorvane::serial
