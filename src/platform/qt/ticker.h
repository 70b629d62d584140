#pragma once
// The Linux program's tick: every 16 ms while something may change, and
// otherwise asleep until the core's next tick that can change anything (a
// step, a new second), running the ticks slept through when it wakes. Input
// of any of the program's windows, a move of the pointer anywhere, and
// requests from outside (the tray, signals) wake it first, so the core
// always sees the ticks due before an event ahead of it.
#include <QObject>
#include <QTimer>
#include <functional>

#include "platform/tick_schedule.h"

namespace pet {
class Form2;
}

namespace pet::qt {

class QtPlatform;

class Ticker : public QObject {
 public:
  // `tick` runs one tick (Fpss_Timer, Timer1_Timer and what goes with them).
  Ticker(QtPlatform& platform, Form2& form, std::function<void()> tick);
  ~Ticker() override;
  void start();
  // Something the core's forecast does not allow for is about to happen.
  void wake();
  // Times the program woke for a tick, and ticks run, for DESKPET_STATS.
  long wakes() const { return wakes_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void fire();
  void arm();
  void runLate(double dueAt);

  QtPlatform& platform_;
  Form2& form_;
  std::function<void()> tick_;
  TickSchedule schedule_;
  QTimer timer_;
  long wakes_ = 0;
  bool ticking_ = false;  // what a tick itself sets off wakes nothing
};

}  // namespace pet::qt
