#include "platform/win32/tick_pacer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace pet::win32 {
namespace {

// Ticks a second that get through when the timer fires every `interval`
// seconds, give or take `jitter` (alternating), over a minute.
double rate(double interval, double jitter) {
  TickPacer pacer;
  int ticks = 0;
  const int firings = int(60.0 / interval);
  for (int i = 0; i < firings; ++i) ticks += pacer.due(i * interval + (i % 2 ? jitter : -jitter));
  return ticks / 60.0;
}

TEST(TickPacer, AboutSixtyFourTicksASecondWhateverTheTimerResolution) {
  struct Case {
    const char* what;
    double interval, jitter;
  };
  for (auto c : std::vector<Case>{
           {"usual clock: a 10 ms timer fires every 15.625 ms", 0.015625, 0.0},
           {"usual clock, firings 2 ms late and early", 0.015625, 0.002},
           {"a clock tick a little short of 15.625 ms", 0.0156, 0.0},
           {"clock made finer by another program: every 10 ms", 0.010, 0.0},
           {"every 10 ms, 1 ms jitter", 0.010, 0.001},
           {"a 1 ms clock and a timer firing at once", 0.001, 0.0},
           {"a 12 ms clock", 0.012, 0.0},
           {"timers kept to the millisecond (Wine): the 15 ms timer", 0.015, 0.0},
           {"the 15 ms timer, 1 ms jitter", 0.015, 0.001},
       }) {
    const double r = rate(c.interval, c.jitter);
    EXPECT_GE(r, 60.0) << c.what;
    EXPECT_LE(r, 64.6) << c.what;
  }
}

TEST(TickPacer, EveryFiringOfTheUsualClockMakesATick) {
  TickPacer pacer;
  for (int i = 0; i < 64 * 60; ++i) ASSERT_TRUE(pacer.due(i * 0.015625)) << i;
}

TEST(TickPacer, AfterAStallTicksCatchUpByOneAtMost) {
  TickPacer pacer;
  double t = 0;
  for (int i = 0; i < 100; ++i) pacer.due(t += 0.010);
  t += 2.0;  // the program was held up (a modal loop, a slow disk)
  int burst = 0;
  for (int i = 0; i < 3; ++i) burst += pacer.due(t += 0.001);
  EXPECT_EQ(burst, 2);
}

}  // namespace
}  // namespace pet::win32

namespace pet::win32 {
namespace {

// After a sleep the regular timer takes over again: its next firing is a
// tick, the one after it the usual distance on, and no tick owed from the
// sleep comes in a burst.
TEST(TickPacer, ResumesAfterASleepWithoutABurst) {
  for (double interval : {0.010, 0.015, 0.015625}) {
    TickPacer pacer;
    double t = 0;
    for (int i = 0; i < 50; ++i) pacer.due(t += interval);
    t += 0.7;  // slept through quiet ticks
    pacer.resume(t);
    int ticks = 0;
    for (int i = 0; i < int(1 / interval); ++i) ticks += pacer.due(t += interval);
    EXPECT_TRUE(ticks >= 62 && ticks <= 65) << interval << ": " << ticks << " in a second";
    pacer.resume(t);
    EXPECT_TRUE(pacer.due(t + interval)) << interval;
    EXPECT_FALSE(pacer.due(t + interval + 0.001)) << interval;
  }
}

}  // namespace
}  // namespace pet::win32
