#include "sim/life.h"

#include <gtest/gtest.h>

#include <set>

#include "input/mouse.h"
#include "model/datafile.h"
#include "render/overlay.h"
#include "sim/pet_kinds.h"
#include "support.h"

namespace pet {
namespace {

using H = HeadlessPlatform;

// The core's pet rules on the headless platform, one frame step at a time.
struct Life {
  test::TempDir dir;
  H platform{dir.path()};
  Overlay overlay{1920, 1080};
  State s;

  Life() { platform.setClock(H::localMs(2026, 12, 10, 9, 30, 0)); }
  int addPet(int16_t x, int16_t y, int16_t zoom = 100, int16_t speed = 5) {
    int slot = ++s.petCount;
    s.growthPeriod[slot] = 1;
    s.posX[slot] = x;
    s.posY[slot] = y;
    s.zoom[slot] = zoom;
    s.speed[slot] = speed;
    return slot;
  }
  void frame(int ms = 16) {
    platform.advance(ms);
    FrameContext ctx{platform, overlay, ""};
    LocalTime t = platform.now();
    char b[16];
    std::snprintf(b, sizeof b, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    ctx.timeOfDay = b;
    frameStep(s, ctx);
  }
  // Keeps the cursor where mouseX/mouseY already are, so frames add no travel.
  void holdCursor() { platform.setCursor(s.mouseX, s.mouseY); }
};

TEST(Movement, StepIntervalFollowsFrameRateOverSpeed) {
  struct Case {
    int16_t frameRate, speed;
    int every;
  };
  for (auto c : std::vector<Case>{
           {64, 1, 64}, {64, 5, 13}, {64, 10, 7}, {64, 30, 3}, {0, 5, 1}, {1, 5, 1}}) {
    Life l;
    int slot = l.addPet(500, 500, 100, c.speed);
    l.s.frameRate = c.frameRate;
    l.s.stepX[slot] = 1;  // already walking: no draws needed
    std::vector<int> stepsAt;
    for (int tick = 1; tick <= 3 * c.every; ++tick) {
      int16_t before = l.s.walkFrame[slot];
      l.frame();
      if (l.s.walkFrame[slot] != before) stepsAt.push_back(tick);
    }
    EXPECT_EQ(stepsAt, (std::vector<int>{c.every, 2 * c.every, 3 * c.every}))
        << c.frameRate << "/" << c.speed;
  }
}

// A wandering pet standing still draws r (facing = r mod 4), then a and b.
struct WanderCase {
  const char* what;
  int16_t x, y, zoom;
  double rFacing;
  double ra, rb;
  int16_t facing, stepX, stepY, newX, newY;
};

TEST(Movement, WanderingTurnsBouncesAndClamps) {
  // a = floor(6R) - 3, b = floor(3R) + 3.
  std::vector<WanderCase> cases = {
      {"left edge turns facing 1 to 3", 0, 500, 100, 0.01, 0.5, 0.0, 3, 3, 0, 3, 500},
      {"right limit 1896 turns facing 3 to 1", 1896, 500, 100, 0.03, 0.5, 0.0, 1, -3, 0, 1893, 500},
      {"bottom limit 1048 turns facing 0 to 2", 500, 1048, 100, 0.0, 0.5, 0.99, 2, 0, -5, 500,
       1043},
      {"top edge turns facing 2 to 0", 500, 0, 100, 0.02, 0.5, 0.0, 0, 0, 3, 500, 3},
      {"top edge bounces a negative a", 500, 0, 100, 0.01, 0.0, 0.0, 1, -3, 3, 497, 3},
      {"left edge bounces a negative a", 0, 500, 100, 0.0, 0.0, 0.0, 0, 3, 3, 3, 503},
      {"zoom 150 rounds half to even", 100, 500, 150, 0.03, 0.5, 0.0, 3, 3, 0, 104, 500},
      {"zoom 150 from 101", 101, 500, 150, 0.03, 0.5, 0.0, 3, 3, 0, 106, 500},
      {"zoom 110: no turn at 1894, clamp", 1894, 500, 110, 0.03, 0.5, 0.0, 3, 0, 0, 1894, 500},
      {"clamp at the left edge", 2, 500, 100, 0.01, 0.5, 0.99, 1, 0, 0, 0, 500},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Life l;
    int slot = l.addPet(c.x, c.y, c.zoom);
    l.platform.queueRandom({c.rFacing, c.ra, c.rb});
    l.s.frameRate = 1;
    l.holdCursor();
    l.frame();
    EXPECT_EQ(l.s.facing[slot], c.facing);
    EXPECT_EQ(l.s.stepX[slot], c.stepX);
    EXPECT_EQ(l.s.stepY[slot], c.stepY);
    EXPECT_EQ(l.s.posX[slot], c.newX);
    EXPECT_EQ(l.s.posY[slot], c.newY);
    EXPECT_EQ(l.s.walkFrame[slot], 1);
  }
}

TEST(Movement, WanderingKeepsItsStepUntilAnEdgeStopsIt) {
  Life l;
  int slot = l.addPet(1880, 500, 110);
  l.s.facing[slot] = 3;
  l.s.stepX[slot] = 3;
  l.s.frameRate = 1;
  l.holdCursor();
  l.frame();  // 1880 + 3.3 = 1883.3
  EXPECT_EQ(l.s.posX[slot], 1883);
  for (int i = 0; i < 3; ++i) l.frame();  // 1886, 1889, 1892
  EXPECT_EQ(l.s.posX[slot], 1892);
  l.frame();  // 1895.3 > Lx 1893.6: clamped to 1894, step cleared
  EXPECT_EQ(l.s.posX[slot], 1894);
  EXPECT_EQ(l.s.stepX[slot], 0);
  EXPECT_EQ(l.s.stepY[slot], 0);
}

TEST(Movement, ChasingAimsAtTheCursorTiesGoVertical) {
  struct Case {
    const char* what;
    int16_t mx, my;
    int16_t facing;
  };
  // Pet at (100, 100), zoom 100: centre (112, 116).
  for (auto c : std::vector<Case>{{"on the centre: up", 112, 116, 2},
                                  {"1 right, farther down: down", 113, 130, 0},
                                  {"1 right, farther up: up", 113, 100, 2},
                                  {"far right", 300, 120, 3},
                                  {"far left", 10, 120, 1},
                                  {"diagonal tie: vertical", 122, 126, 0}}) {
    SCOPED_TRACE(c.what);
    Life l;
    int slot = l.addPet(100, 100);
    l.s.chaseMouse[slot] = 1;
    l.s.frameRate = 1;
    l.s.mouseX = c.mx;
    l.s.mouseY = c.my;
    l.holdCursor();
    l.platform.queueRandom({0.5, 0.0});
    l.frame();
    EXPECT_EQ(l.s.facing[slot], c.facing);
  }
}

TEST(Movement, HeldPetOrPetInAPhaseKeepsCountingAndStepsWhenFree) {
  Life l;
  int slot = l.addPet(500, 500, 100, 5);
  l.s.frameRate = 64;
  l.s.stepX[slot] = 3;
  l.s.grabbed[slot] = 1;
  l.holdCursor();
  for (int i = 0; i < 40; ++i) l.frame();
  EXPECT_EQ(l.s.moveTicks[slot], 40);
  EXPECT_EQ(l.s.posX[slot], 500);
  l.s.grabbed[slot] = 0;
  l.frame();
  EXPECT_EQ(l.s.posX[slot], 503) << "steps on the first tick it is free";
  EXPECT_EQ(l.s.moveTicks[slot], 0);

  l.s.grabbed[slot] = 1;  // held for hours: the counter stops at 32767
  l.s.moveTicks[slot] = 32766;
  l.frame();
  l.frame();
  EXPECT_EQ(l.s.moveTicks[slot], 32767);
}

TEST(Movement, CursorTravelMeter) {
  Life l;
  int a = l.addPet(0, 0);
  int b = l.addPet(0, 0);
  l.s.growthPeriod[b] = 0;  // an empty slot inside the count gets nothing
  l.s.frameRate = 1000;     // nobody steps
  l.platform.setCursor(960, 540);
  l.frame();  // the first sample counts the distance from (0, 0)
  EXPECT_EQ(l.s.mouseTravel[a], 1);
  EXPECT_EQ(l.s.mouseTravel[b], 0);
  EXPECT_EQ(l.s.travelAccum, 0.0);
  EXPECT_EQ(l.s.cursorPos.x, 960);

  l.platform.setCursor(960 + 999, 540);
  l.frame();
  EXPECT_EQ(l.s.mouseTravel[a], 1);
  EXPECT_EQ(l.s.travelAccum, 999.0);
  l.platform.setCursor(960 + 999, 541);
  l.frame();
  EXPECT_EQ(l.s.mouseTravel[a], 2);
  EXPECT_EQ(l.s.travelAccum, 0.0);
}

TEST(Sequence, BirthPauseAndCountdownFollowClockSeconds) {
  Life l;
  int slot = l.addPet(500, 500);
  l.s.frameRate = 1;
  l.s.evoPhase[slot] = 30;
  l.s.facing[slot] = 2;
  l.holdCursor();
  l.frame(0);
  EXPECT_EQ(l.s.evoPhase[slot], 31);
  EXPECT_EQ(l.s.facing[slot], 0);
  int frames = 0;
  while (l.s.evoPhase[slot] != 0 && frames < 1000) {
    EXPECT_EQ(l.s.posX[slot], 500) << "no step during the pause";
    l.frame(100);
    ++frames;
  }
  EXPECT_GE(frames, 31);  // four clock-second changes: 3 to 4 seconds
  EXPECT_LE(frames, 40);

  // Countdown: phase 1 -> 2 (before drawing) -> 3 (after), then 5..1 by the second.
  l.s.evoPhase[slot] = 1;
  l.s.evoZoom[slot] = 100;
  l.frame(0);
  EXPECT_EQ(l.s.evoPhase[slot], 3);
  std::vector<int> shown;
  for (int i = 0; i < 100 && l.s.evoPhase[slot] >= 3 && l.s.evoPhase[slot] <= 7; ++i) {
    if (shown.empty() || shown.back() != 8 - l.s.evoPhase[slot])
      shown.push_back(8 - l.s.evoPhase[slot]);
    l.frame(250);
  }
  EXPECT_EQ(shown, (std::vector<int>{5, 4, 3, 2, 1}));
  EXPECT_EQ(l.s.evoPhase[slot], 10) << "8 becomes 10 at once";
}

TEST(Sequence, ShrinkTransformRegrowFrom305) {
  Life l;
  int slot = l.addPet(500, 500, 305);
  l.s.evoPhase[slot] = 10;
  l.s.evoZoom[slot] = 305;
  l.s.mouseLevel[slot] = 2;
  l.s.frameRate = 1000;  // no walking step in this test
  l.holdCursor();
  std::vector<int> zooms;
  for (int i = 0; i < 100 && l.s.evoPhase[slot] != 0; ++i) {
    l.frame();
    zooms.push_back(l.s.zoom[slot]);
  }
  ASSERT_EQ(l.s.evoPhase[slot], 0);
  EXPECT_EQ(zooms[29], 5);   // 295, 285, ..., 5
  EXPECT_EQ(zooms[30], 5);   // the transformation tick
  EXPECT_EQ(zooms[31], 15);  // regrowing
  EXPECT_EQ(zooms.back(), 305);
  EXPECT_EQ(l.s.species[slot], 18);
  EXPECT_EQ(l.s.speciesName[slot], kSpecies[18].name);
  EXPECT_EQ(l.s.evoZoom[slot], 0);
  EXPECT_EQ(l.s.posX[slot], 500);
  EXPECT_EQ(l.s.posY[slot], 500);
}

TEST(Growth, PeriodsGiveAStepEvery1_3_6_60Minutes) {
  for (int16_t period : {1, 2, 3, 4}) {
    State s;
    s.petCount = 1;
    s.growthPeriod[1] = period;
    s.zoom[1] = 100;
    std::vector<int> stepsAt;
    for (int minute = 1; minute <= 300 && s.growthStage[1] < 5; ++minute) {
      int16_t before = s.growthStage[1];
      minuteBookkeeping(s, 12);
      if (s.growthStage[1] != before) stepsAt.push_back(minute);
    }
    int every = minutesPerGrowthStep(period);
    EXPECT_EQ(stepsAt, (std::vector<int>{every, 2 * every, 3 * every, 4 * every, 5 * every}));
    EXPECT_EQ(s.evoPhase[1], 1);
    minuteBookkeeping(s, 12);
    EXPECT_EQ(s.growthStage[1], 5) << "stage 5 is final";
    EXPECT_EQ(s.stageMinutes[1], 1);
  }
}

TEST(Growth, CriterionModeSizesAndSpeeds) {
  State s;
  s.petCount = 1;
  s.growthPeriod[1] = 1;
  s.criterionMode[1] = 1;
  s.zoom[1] = 100;
  s.speed[1] = 1;
  std::vector<int> zooms, speeds;
  for (int i = 0; i < 5; ++i) {
    s.mouseTravel[1] = 13;
    minuteBookkeeping(s, 12);
    zooms.push_back(s.zoom[1]);
    speeds.push_back(s.speed[1]);
  }
  EXPECT_EQ(zooms, (std::vector<int>{140, 180, 220, 260, 300}));
  EXPECT_EQ(speeds, (std::vector<int>{4, 8, 10, 10, 10}));  // mouse levels 2, 4, 5, 5, 5
  EXPECT_EQ(s.evoZoom[1], 260) << "taken before the stage-5 size";
}

// A file written during an evolution holds the pet's size of that moment.
TEST(Growth, ResumedEvolutionsRegrowToTheBestKnownSize) {
  struct Case {
    const char* what;
    int16_t species, zoom, criterionMode;
    int16_t phase, regrowTo;  // phase 0: left as it is
  };
  for (auto c : std::vector<Case>{
           {"saved before the shrink", 0, 300, 0, 1, 300},
           {"half-way through the shrink", 0, 150, 0, 1, 150},
           {"deep in the shrink", 0, 40, 0, 1, 300},
           {"criterion mode, at the stage-5 size", 0, 300, 1, 1, 260},
           {"criterion mode, deep in the shrink", 0, 20, 1, 1, 260},
           {"evolved, early in the regrow", 18, 30, 0, 12, 300},
           {"evolved, early in the regrow, criterion mode", 18, 30, 1, 12, 260},
           {"evolved and full size", 18, 120, 0, 0, 0},
       }) {
    SCOPED_TRACE(c.what);
    State s;
    s.petCount = 1;
    s.growthPeriod[1] = 2;
    s.growthStage[1] = 5;
    s.species[1] = c.species;
    s.zoom[1] = c.zoom;
    s.criterionMode[1] = c.criterionMode;
    resumeInterruptedEvolutions(s);
    EXPECT_EQ(s.evoPhase[1], c.phase);
    EXPECT_EQ(s.evoZoom[1], c.regrowTo);
    EXPECT_EQ(s.zoom[1], c.zoom);
  }
}

TEST(Usage, FoldTablesAndTheClampAfterBothAdditions) {
  struct Case {
    int16_t travel, levelBefore, levelAfter;
  };
  for (auto c : std::vector<Case>{{3, 3, 1},
                                  {4, 3, 2},
                                  {6, 3, 2},
                                  {7, 3, 3},
                                  {9, 3, 3},
                                  {10, 3, 4},
                                  {12, 3, 4},
                                  {13, 3, 5},
                                  {0, 1, 0},
                                  {40, 4, 5}}) {
    State s;
    s.mouseTravel[1] = c.travel;
    s.mouseLevel[1] = c.levelBefore;
    foldUsage(s, 1, 9);
    EXPECT_EQ(s.mouseLevel[1], c.levelAfter) << c.travel;
    EXPECT_EQ(s.mouseTravel[1], 0);
  }
  struct DayCase {
    int16_t chase;
    int hour;
    int16_t before, after;
  };
  for (auto c : std::vector<DayCase>{
           {1, 9, 0, 1},   {2, 9, 0, 2},   {3, 9, 0, 3},   {4, 9, -1, 2}, {5, 9, -1, 3},
           {9, 9, -3, 1},  {10, 23, 0, 2}, {10, 7, 2, 3},  {0, 0, 0, -2}, {0, 2, 0, -2},
           {0, 3, 0, -1},  {0, 5, 0, -1},  {0, 6, 0, 2},   {0, 8, 0, 2},  {0, 10, 0, 1},
           {0, 11, 0, 2},  {0, 13, 0, 2},  {0, 14, 0, 1},  {0, 16, 0, 1}, {0, 17, 0, -1},
           {0, 22, 0, -1}, {0, 23, 0, -2}, {0, 0, -3, -3}, {0, 2, -2, -3}}) {
    State s;
    s.chaseMinutes[1] = c.chase;
    s.dayScore[1] = c.before;
    foldUsage(s, 1, c.hour);
    EXPECT_EQ(s.dayScore[1], c.after) << c.chase << " at " << c.hour;
    EXPECT_EQ(s.chaseMinutes[1], 0);
  }
  // Three steps of heavy travel: 0, 2, 4, 5.
  State s;
  for (int i = 0; i < 3; ++i) {
    s.mouseTravel[1] = 13;
    foldUsage(s, 1, 9);
  }
  EXPECT_EQ(s.mouseLevel[1], 5);
}

TEST(Evolution, GridAndSpecialNumbers) {
  struct Case {
    int16_t level, day, countBefore, species;
  };
  for (auto c : std::vector<Case>{{5, 3, 0, 42},
                                  {0, -3, 0, 1},
                                  {2, 0, 0, 18},
                                  {2, 0, 8, 48},    // the 9th
                                  {2, 0, 108, 48},  // the 109th
                                  {2, 0, 208, 48},  // the 209th
                                  {2, 0, 99, 18},   // the 100th: a grid species
                                  {0, 0, 14, 45},
                                  {0, 0, 29, 46},
                                  {0, 0, 39, 49},
                                  {0, 0, 49, 51},
                                  {0, 0, 59, 52},
                                  {0, 0, 69, 50},
                                  {0, 0, 79, 53},
                                  {0, 0, 84, 44},
                                  {0, 0, 89, 43},
                                  {0, 0, 94, 47}}) {
    State s;
    s.growthPeriod[1] = 1;
    s.mouseLevel[1] = c.level;
    s.dayScore[1] = c.day;
    s.evolutionCount = c.countBefore;
    evolvePet(s, 1);
    EXPECT_EQ(s.species[1], c.species) << c.countBefore + 1;
    EXPECT_EQ(s.evolutionCount, c.countBefore + 1);
    EXPECT_EQ(s.speciesTally[size_t(c.species)], 1);
    EXPECT_EQ(s.evolutionLog[size_t(c.countBefore + 1)], c.species);
  }
}

TEST(Evolution, LogShiftsPast500AndCountersSaturate) {
  State s;
  for (int i = 1; i <= 500; ++i) s.evolutionLog[size_t(i)] = int16_t(1 + i % 42);
  s.evolutionCount = 500;
  s.growthPeriod[1] = 1;
  s.mouseLevel[1] = 5;
  s.dayScore[1] = 3;
  evolvePet(s, 1);  // the 501st
  EXPECT_EQ(s.evolutionCount, 501);
  EXPECT_EQ(s.evolutionLog[1], 1 + 2 % 42) << "the first logged species is gone";
  EXPECT_EQ(s.evolutionLog[499], 1 + 500 % 42);
  EXPECT_EQ(s.evolutionLog[500], 42);
  EXPECT_EQ(s.evolutionLog[0], 0);
  EXPECT_EQ(s.speciesTally[42], 1);

  s.evolutionCount = 32767;
  s.speciesTally[42] = 32767;
  evolvePet(s, 1);
  EXPECT_EQ(s.evolutionCount, 32767);
  EXPECT_EQ(s.speciesTally[42], 32767);
}

TEST(Evolution, SpeciesNamesAreShortAndDistinct) {
  std::set<std::string> names;
  for (const auto& sp : kSpecies) {
    std::string n = sp.name;
    EXPECT_FALSE(n.empty());
    EXPECT_LE(n.size(), 24u) << n;  // at most eight Japanese characters
    names.insert(n);
  }
  EXPECT_EQ(names.size(), kSpecies.size());
}

}  // namespace
}  // namespace pet
