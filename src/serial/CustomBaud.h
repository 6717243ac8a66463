#pragma once

namespace zorvane::serial::custom_baud {

// The range "Other Rate..." offers: below 50 no UART runs, and 12 Mbit/s is the fastest
// USB full-speed bridges (FT2232H, CP2108) reach.
constexpr int kMinRate = 50;
constexpr int kMaxRate = 12'000'000;

// A driver may round a rate to what its clock divides into; within this many parts per
// thousand the two ends still understand each other.
constexpr int kToleranceMille = 30;

// Whether the system names this rate with a constant of its own (B115200 and the like).
bool isStandardRate(int rate);

// Sets both directions of an open serial descriptor to `rate`: a standard rate by its
// constant, any other through the Linux termios2 interface (BOTHER). False, with errno set,
// when the driver refuses it; elsewhere a rate the system has no constant for is refused.
bool setRate(int fd, int rate);

// The rate the device runs at now (its output direction); 0 when it cannot tell.
int currentRate(int fd);

// Whether what the device holds is near enough the rate asked for.
bool closeEnough(int asked, int held);

} // namespace zorvane::serial::custom_baud
