#pragma once

#include "Link.h"

#include <QString>
#include <QStringView>

#include <vector>

namespace zorvane::serial {

// One step of what is done to a port's modem lines: a change of the output lines written in
// one go, a pause, or the break condition switched on or off.
struct ModemStep
{
    enum class Kind { Lines, Pause, Break };
    Kind kind = Kind::Lines;
    ModemLineChange lines;
    int ms = 0;
    bool breakOn = false;
};

using ModemSteps = std::vector<ModemStep>;

// How long a pulse and a break last unless the user chooses otherwise.
inline constexpr int kDefaultPulseMs = 100;
inline constexpr int kDefaultBreakMs = 250;
// One pause of a sequence, a pulse or a break lasts at most a minute: a longer one is a
// typing slip, and the port's lines would stay in a strange state meanwhile.
inline constexpr int kMaxPauseMs = 60'000;

// A reset sequence read from its text, or where and why the text is not one.
struct ParsedSequence
{
    ModemSteps steps;
    // -1 when the text was read whole; else the offset of the first character not understood.
    int errorAt = -1;
    QString error;
    bool ok() const { return errorAt < 0; }
};

// Reads the reset-sequence language: D / d raise / drop DTR, R / r raise / drop RTS, a number
// pauses that many milliseconds, spaces only separate. Line changes written next to each other
// are one step, so they reach the device together; naming a line a second time within such a
// run starts a new step, so "Dd" is a short pulse rather than nothing.
ParsedSequence parseModemSequence(QStringView text);

// A pulse on one output line: the line goes to the opposite of `now` for `ms`, then back.
enum class ModemLine { Dtr, Rts };
ModemSteps pulseSteps(ModemLine line, bool now, int ms = kDefaultPulseMs);
// The break condition held for `ms`.
ModemSteps breakSteps(int ms = kDefaultBreakMs);

} // namespace zorvane::serial
