#pragma once
// Evens out the Windows program's tick. SetTimer rounds a period up to whole
// ticks of the system clock, usually 15.6 ms, so a 16 ms timer fires about
// every 31 ms. The program therefore asks for less than one clock tick (the
// least SetTimer takes, 10 ms) and lets through at most kTicksPerSecond of
// the firings: a timer firing once a clock tick (64 a second) passes them
// all, one firing every 10 ms (where another program has made the clock
// finer) passes about two in three. The system's timer resolution is never
// changed. Plain arithmetic, tested on any system.
#include <algorithm>

namespace pet::win32 {

class TickPacer {
 public:
  // A little above 64, so that a clock tick slightly shorter than 15.625 ms
  // never costs a tick.
  static constexpr double kTicksPerSecond = 64.5;
  static constexpr unsigned kTimerMs = 10;  // USER_TIMER_MINIMUM
  // Where timers keep their period to the millisecond (Wine), 10 ms would
  // wake the program 100 times a second for 64 ticks; 15 ms fires 66.7 times.
  static constexpr unsigned kExactTimerMs = 15;

  // After the program slept through ticks: the last tick counts as made at
  // `seconds`, and no credit is left over from before.
  void resume(double seconds) {
    last_ = seconds;
    credit_ = 0.0;
  }

  // Whether the timer's firing at `seconds` (any steady clock) makes a tick.
  bool due(double seconds) {
    if (last_ < 0) {
      last_ = seconds;
      return true;
    }
    // Credit grows with time; a tick spends one. Half a tick of slack lets
    // a firing a little early through; after a stall at most one extra
    // tick is owed.
    credit_ = std::min(credit_ + (seconds - last_) * kTicksPerSecond, 2.0);
    last_ = seconds;
    if (credit_ < 0.5) return false;
    credit_ -= 1.0;
    return true;
  }

 private:
  double last_ = -1.0;
  double credit_ = 0.0;
};

}  // namespace pet::win32
