// Sleeping through the ticks the core calls quiet, as the desktop programs
// do, must leave everything as ticking on every one of them would.
#include <gtest/gtest.h>

#include "model/state_json.h"
#include "platform/tick_schedule.h"
#include "support.h"

namespace pet {
namespace {

TEST(TickSchedule, SleepsThroughQuietTicksWithinTheSecond) {
  TickSchedule t(16);
  t.ran(0, 0, 1000);
  EXPECT_EQ(t.wakeAt(), 16);
  EXPECT_FALSE(t.sleeping());
  t.ran(0, 10, 1000);
  EXPECT_EQ(t.wakeAt(), 176);
  // Not past the second: the tick due at 992 is the last quiet one.
  t.ran(960, 10, 1000);
  EXPECT_EQ(t.wakeAt(), 1008);
  t.ran(968, 10, 1000);
  EXPECT_EQ(t.wakeAt(), 1000);  // the tick due at 1000 starts a new second: not quiet

  std::vector<double> ran;
  auto tick = [&](double at) { ran.push_back(at); };
  t.ran(0, 10, 1000);
  EXPECT_EQ(t.catchUp(40, tick), 2);
  EXPECT_EQ(t.interrupt(50, tick), 1);
  EXPECT_EQ(ran, (std::vector<double>{16, 32, 48}));
  EXPECT_EQ(t.wakeAt(), 64);  // after an event the next tick wakes the program
  EXPECT_FALSE(t.sleeping());
}

// A timer that fires up to a millisecond late, as one rounded up to whole
// milliseconds does: the ticks still come once a period on average, whether
// the program sleeps through some or wakes for each; only a stall starts
// the count afresh.
TEST(TickSchedule, LatenessOfTheTimerDoesNotAddUp) {
  for (int quiet : {0, 5}) {
    SCOPED_TRACE(quiet);
    TickSchedule t(16);
    t.ran(0, 0, 1e9);
    double now = 0;
    int ticks = 0;
    auto tick = [&](double) { ++ticks; };
    for (int firing = 0; firing < 1000; ++firing) {
      now = t.wakeAt() + 0.1 + 0.8 * (firing % 2);  // late by 0.1 or 0.9
      t.catchUp(now, tick);
      ++ticks;
      t.ranDue(now, quiet, 1e9);
    }
    EXPECT_NEAR(ticks / now * 1000, 62.5, 0.01);
  }
  TickSchedule t(16);
  t.ran(0, 0, 1e9);
  t.ranDue(500, 0, 1e9);  // the tick due at 16 came at 500
  EXPECT_EQ(t.wakeAt(), 516) << "no burst after a stall";
}

struct TwinRun {
  int slept = 0, panels = 0, grabs = 0;
  int16_t evolutions = 0;
};

// Two programs on the same data, driven by the same events: A ticks at
// every 16 ms, B sleeps through what its core calls quiet and catches up
// when it wakes or an event comes. The screen must never differ where B
// slept, and the whole state must match whenever B has caught up.
// With `petsShown` false B's pets are hidden: it may sleep through changes
// of the picture, and only the state is compared.
TwinRun runTwins(const test::DataLines& d, int ticks, bool petsShown = true) {
  TwinRun run;
  test::TempDir dirA, dirB;
  dirA.write("zpdata.mrdt", d.bytes());
  dirB.write("zpdata.mrdt", d.bytes());
  HeadlessPlatform pa(dirA.path()), pb(dirB.path());
  Form2 a(pa), b(pb);
  const int64_t start = HeadlessPlatform::localMs(2026, 12, 10, 9, 30, 52);
  for (auto* p : {&pa, &pb}) {
    p->setScreenPixels(800, 600);
    p->setClock(start);
    p->setCursor(400, 300);
  }
  a.Form_Load();
  b.Form_Load();

  TickSchedule sched(16);
  auto tickB = [&](double at) {
    pb.setClock(start + int64_t(at));
    b.Fpss_Timer();
    b.Timer1_Timer();
  };
  uint32_t rnd = 2026;
  auto next = [&](uint32_t n) { return rnd = rnd * 1103515245u + 12345u, (rnd >> 8) % n; };

  int& slept = run.slept;
  int& panels = run.panels;
  int& grabs = run.grabs;
  for (int k = 1; k <= ticks; ++k) {
    const int64_t t = 16 * int64_t(k);
    // Events come between ticks, to both programs alike.
    // None in the first seconds: the splash goes and the pets first show
    // with nothing to wake the sleeper.
    const uint32_t roll = k < 400 ? 1000 : next(1000);
    if (roll < 60) {
      sched.interrupt(double(t - 5), tickB);
      int32_t x = int32_t(next(800)), y = int32_t(next(600));
      const auto& s = a.state();
      const int slot = 1 + int(next(uint32_t(s.petCount)));
      if (roll < 12 && s.inUse(slot)) {  // onto a pet, to grab or toggle chasing
        x = s.posX[size_t(slot)] + 3, y = s.posY[size_t(slot)] + 3;
      }
      for (auto [form, p] : {std::pair{&a, &pa}, std::pair{&b, &pb}}) {
        p->setClock(start + t - 5);
        p->setCursor(x, y);
        if (roll < 8) form->Form_MouseDown(1, 0, 0, 0), ++grabs;
        if (roll >= 8 && roll < 10) form->Form_MouseDown(2, 0, 0, 0);
        if (roll >= 20 && roll < 40) form->Form_MouseMove(1, 0, 0, 0);
        if (roll >= 40 && roll < 50) form->Form_MouseUp(1, 0, 0, 0);
        if (roll == 50 && !form->panelRequestsWait()) form->requestPanel(200), ++panels;
        if (roll == 51) form->controlClicked(ControlId::Command11);
      }
    }

    pa.setClock(start + t);
    const int64_t presents = pa.presentCount();
    a.Fpss_Timer();
    a.Timer1_Timer();

    if (double(t) < sched.wakeAt()) {
      ++slept;
      if (!petsShown) continue;
      EXPECT_EQ(pa.presentCount(), presents) << "B slept through a change at " << t;
      if (pa.presentCount() != presents) return run;
      continue;
    }
    sched.catchUp(double(t), tickB);
    pb.setClock(start + t);
    b.Fpss_Timer();
    b.Timer1_Timer();
    const double nextSecond = double((t + 52000) / 1000 * 1000 + 1000 - 52000);
    sched.ran(double(t), b.quietTicks(petsShown), nextSecond);
    EXPECT_TRUE(a.overlay().image() == b.overlay().image()) << "at " << t;
    EXPECT_EQ(stateJson(a.state()), stateJson(b.state())) << "at " << t;
    if (testing::Test::HasFailure()) return run;
  }
  EXPECT_EQ(a.state().runState, 10);
  EXPECT_EQ(dirA.read("zpdata.mrdt"), dirB.read("zpdata.mrdt"));
  run.evolutions = a.state().evolutionCount;
  return run;
}

TEST(QuietTicks, SleepingThroughThemChangesNothing) {
  // Busy: pets of every speed (one of 0) and size, four of them evolving,
  // a third chasing the cursor.
  test::DataLines busy;
  busy.petCount = 20;
  for (int i = 0; i < 20; ++i) {
    auto& p = busy.slots[size_t(i)];
    p = test::pet(1 + i % 4, 25 * i, 18 * i);
    p.species = i % 3 == 0 ? 0 : 3 * i;
    p.zoom = int16_t(50 + 31 * i);
    p.speed = int16_t(i == 7 ? 0 : 1 + i % 10);
    p.growthStage = i < 4 ? 5 : 0;  // these evolve within the minute
    p.chaseMouse = i % 3 == 0;
  }
  const TwinRun r = runTwins(busy, 6000);
  EXPECT_GE(r.evolutions, 1) << "the run covers an evolution";
  EXPECT_GT(r.grabs, 0);
  EXPECT_GT(r.panels, 0);
  EXPECT_GT(r.slept, 6000 / 5) << "the run sleeps through many ticks";
  // Hidden, the same pets wake the program for little but the clock's
  // seconds and the events.
  const TwinRun hidden = runTwins(busy, 6000, false);
  EXPECT_GT(hidden.slept, r.slept + 6000 / 5);

  // Calm: a few slow pets and nothing else, so that the sleeper sleeps from
  // the first tick it can.
  test::DataLines calm;
  calm.petCount = 3;
  for (int i = 0; i < 3; ++i) calm.slots[size_t(i)] = test::pet(1, 200 * i, 300, "2026/12/10");
  EXPECT_GT(runTwins(calm, 1500).slept, 1500 / 2);
}

// A new picture (the splash gone, the screen's size changed) shows the pets
// only once a frame is drawn into it: the tick that draws it is not quiet,
// even when the screen changes in the middle of a tick's work.
TEST(QuietTicks, ANewPictureIsDrawnOnTheNextTick) {
  test::Program p;
  test::DataLines d;
  d.petCount = 1;
  d.slots[0] = test::pet(1, 100, 100);
  d.slots[0].speed = 1;
  p.startWith(d.bytes());
  EXPECT_EQ(p.form.quietTicks(), 0) << "the splash just went";
  p.tick();
  EXPECT_GT(p.form.quietTicks(), 10);
  p.platform.setScreenPixels(1280, 720);
  p.form.screenChanged();
  EXPECT_EQ(p.form.quietTicks(), 0);
  const int64_t presents = p.platform.presentCount();
  p.tick();
  EXPECT_GT(p.platform.presentCount(), presents);
  EXPECT_GT(p.form.quietTicks(), 10);
}

}  // namespace
}  // namespace pet
