#pragma once
// When the desktop programs wake for ticks. A tick that the core calls quiet
// changes nothing but its counters, so the program need not wake for it: it
// sleeps until the first tick that may change something, or until the clock's
// second changes (the frame rate the pets step by is counted per second), and
// then runs the quiet ticks it slept through back to back, each at the time
// it was due, before the tick at hand. An event (a click, a move of the
// pointer) ends the sleep: the ticks due before it run first, so that the
// core sees everything in the order it would have. Plain arithmetic on a
// steady clock in seconds, tried anywhere.
#include <algorithm>
#include <cmath>

namespace pet {

class TickSchedule {
 public:
  explicit TickSchedule(double periodSeconds) : period_(periodSeconds) {}

  double period() const { return period_; }

  // A tick ran at `now`; the core says `quiet` ticks after it change
  // nothing, and the clock's second changes at `nextSecond`. Quiet ticks are
  // only those due within the current second.
  void ran(double now, int quiet, double nextSecond) {
    last_ = now;
    done_ = 0;
    const double inSecond = std::ceil((nextSecond - now) / period_) - 1;
    quiet_ = std::clamp(double(quiet), 0.0, std::max(0.0, inSecond));
  }

  // The tick due at wakeAt() ran at `now`, on a timer that fires a little
  // late now and then: the next ones are counted from when it was due, not
  // from `now`, so lateness never adds up and the rate holds. A tick more
  // than a period late (the machine was busy) starts afresh from `now`
  // rather than hurrying through the ticks missed.
  void ranDue(double now, int quiet, double nextSecond) {
    const double due = wakeAt();
    ran(now >= due && now - due < period_ ? due : now, quiet, nextSecond);
  }

  // Runs `tick(dueAt)` for each quiet tick due by `now` that has not run.
  // Returns how many ran.
  template <class Tick>
  int catchUp(double now, Tick&& tick) {
    int n = 0;
    while (done_ < quiet_ && dueAt(done_ + 1) <= now) {
      ++done_;
      ++n;
      tick(dueAt(done_));
    }
    return n;
  }

  // Something happened at `now` that the core's forecast did not allow for
  // (an event, a move of the pointer): the quiet ticks due by then run, and
  // the next one wakes the program as usual.
  template <class Tick>
  int interrupt(double now, Tick&& tick) {
    const int n = catchUp(now, tick);
    quiet_ = done_;
    return n;
  }

  // When the next tick that is not quiet is due; the program sleeps until then.
  double wakeAt() const { return dueAt(quiet_ + 1); }
  // Whether the program sleeps through any tick now.
  bool sleeping() const { return quiet_ > done_; }

 private:
  double dueAt(double k) const { return last_ + k * period_; }

  double period_;
  double last_ = 0;
  double quiet_ = 0;  // quiet ticks after the last one run
  double done_ = 0;   // how many of them have run
};

}  // namespace pet
