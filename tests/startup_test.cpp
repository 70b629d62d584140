#include <gtest/gtest.h>

#include "model/datafile.h"
#include "shell/settings.h"
#include "sim/life.h"
#include "support.h"

namespace pet {
namespace {

using test::DataLines;
using test::Program;
using H = HeadlessPlatform;

TEST(StartUp, LoadSequenceSetsUpTheOverlay) {
  Program p;
  p.load();
  EXPECT_EQ(p.platform.windowCalls(),
            (std::vector<std::string>{"keyPreview on", "background " + std::to_string(kKeyColour),
                                      "place 0 0 28800 16200",
                                      "colourKey " + std::to_string(kKeyColour), "topmost"}));
}

TEST(StartUp, FirstRunShowsTheWelcomeUntilOk) {
  Program p;
  p.load();
  p.tick();
  EXPECT_EQ(p.s.runState, 1);
  EXPECT_EQ(p.s.lastMinute, "0930");
  p.tick();
  EXPECT_EQ(p.s.runState, 2);
  const auto& info = p.platform.controlState(ControlId::Picture2);
  const auto& about = p.platform.controlState(ControlId::Picture3);
  EXPECT_TRUE(info.visible);
  EXPECT_TRUE(about.visible);
  // Centred on a 1920 x 1080 screen: (28800 - 6135) / 2 = 11332.5 rounds to even.
  EXPECT_EQ(info.left, 11332);
  EXPECT_EQ(info.top, (16200 - 5775) / 2);
  EXPECT_EQ(about.left, info.left + 360);
  EXPECT_EQ(about.top, info.top + 2280);

  p.tick(300);
  EXPECT_EQ(p.s.runState, 2) << "nothing happens until OK";
  EXPECT_FALSE(p.dir.exists("zpdata.mrdt"));

  p.form.Command5_Click();
  EXPECT_FALSE(p.platform.controlState(ControlId::Picture2).visible);
  EXPECT_EQ(p.s.runState, 3);
  p.tick();
  EXPECT_EQ(p.s.runState, 10);
  EXPECT_FALSE(p.platform.controlState(ControlId::Picture3).visible);
  EXPECT_EQ(p.s.forceFirstPet, 1);
  EXPECT_EQ(p.s.settei, 1);

  // The first minute step comes at the next change of the minute.
  p.platform.setClock(H::localMs(2026, 12, 10, 9, 30, 59));
  p.tick();
  EXPECT_FALSE(p.dir.exists("zpdata.mrdt"));
  p.tick(70);
  EXPECT_TRUE(p.dir.exists("zpdata.mrdt"));
  EXPECT_EQ(p.s.lastMinute, "0931");
}

TEST(StartUp, OkOutsideTheWelcomeOnlyHidesThePanel) {
  Program p;
  p.load();
  p.tick();
  p.form.Command5_Click();
  EXPECT_EQ(p.s.runState, 1);
}

TEST(StartUp, ReturningPathHoldsTheSplashForThreeSecondChanges) {
  Program p;
  DataLines d;
  d.petCount = 1;
  d.slots[0] = test::pet(1, 10, 20);
  p.dir.write("zpdata.mrdt", d.bytes());
  p.platform.setClock(H::localMs(2026, 12, 10, 9, 30, 0) + 500);
  p.load();
  p.tick();
  EXPECT_EQ(p.s.runState, 8);
  p.tick();
  EXPECT_EQ(p.s.runState, 9);
  EXPECT_EQ(p.s.petCount, 1);
  const auto& splash = p.platform.controlState(ControlId::Picture3);
  EXPECT_TRUE(splash.visible);
  EXPECT_EQ(splash.left, 11738);  // (28800 - 5325) / 2 = 11737.5, to even
  EXPECT_EQ(splash.top, 6638);    // 6637.5

  // Three clock-second changes: 09:30:01, :02, :03.
  int ticks = 0;
  while (p.s.runState == 9 && ticks < 1000) {
    p.tick(1, 100);
    ++ticks;
  }
  EXPECT_EQ(p.s.runState, 10);
  EXPECT_FALSE(splash.visible);
  EXPECT_EQ(p.platform.now().second, 3);
  // The first running tick performs the minute step and saves.
  std::filesystem::remove(p.dir.file("zpdata.mrdt"));
  p.tick();
  EXPECT_EQ(p.s.lastMinute, "0930");
  EXPECT_EQ(p.dir.read("zpdata.mrdt"), formatData(p.s));
  EXPECT_EQ(p.s.settei, 0);
  EXPECT_EQ(p.s.panelSlot, 0);
}

TEST(StartUp, EscapeSavesThenEndsAtOnceExceptBeforeTheFileIsLoaded) {
  struct Case {
    int ticksBefore;
    bool haveFile;
    bool saves;
  };
  for (Case c : {Case{0, true, false},    // before the search
                 Case{1, true, false},    // found, not yet loaded
                 Case{2, true, true},     // splash
                 Case{5, true, true}}) {  // running
    SCOPED_TRACE(testing::Message() << c.ticksBefore << (c.haveFile ? " with a file" : ""));
    Program p;
    DataLines d;
    d.petCount = 1;
    d.slots[0] = test::pet(1, 10, 20);
    std::string bytes = d.bytes();
    if (c.haveFile) p.dir.write("zpdata.mrdt", bytes);
    p.load();
    p.tick(c.ticksBefore);
    p.form.Form_KeyDown(65, 0);  // any other key: nothing
    EXPECT_FALSE(p.form.ended());
    p.form.Form_KeyDown(27, 1);
    EXPECT_TRUE(p.form.ended());
    EXPECT_TRUE(p.platform.endCalled());
    const std::string saved = p.dir.read("zpdata.mrdt");
    p.tick(100);
    EXPECT_EQ(p.dir.read("zpdata.mrdt"), saved) << "nothing runs after the end";
    EXPECT_EQ(saved, c.saves ? formatData(p.s) : bytes);
  }
}

TEST(StartUp, APetCreatedBeforeTheFirstMinuteOutlivesEscape) {
  Program first;
  first.load();
  first.tick(2);
  first.form.Command5_Click();  // the welcome's OK
  first.tick(3);                // the settings of slot 1 open
  first.form.controlClicked(ControlId::Command1);
  first.tick();
  ASSERT_EQ(first.s.petCount, 1);
  ASSERT_EQ(first.s.lastMinute, "0930");
  first.form.Form_KeyDown(27, 0);
  ASSERT_TRUE(first.form.ended());

  Program again;
  again.dir.write("zpdata.mrdt", first.dir.read("zpdata.mrdt"));
  again.load();
  again.runUntilRunning();
  EXPECT_EQ(again.s.petCount, 1);
  EXPECT_EQ(again.s.growthPeriod[1], first.s.growthPeriod[1]);
  EXPECT_FALSE(again.platform.controlState(ControlId::Picture2).visible) << "no welcome again";
}

// A first run ended before its first pet (Escape, or a quit request from a
// signal or the session) writes nothing: the next start shows the welcome
// again and leads to the first pet. Once there is a pet, or a file, ending
// saves as ever.
TEST(StartUp, AFirstRunEndedBeforeItsFirstPetWritesNothing) {
  struct Case {
    const char* what;
    bool okClicked;    // past the welcome, on the new-pet panel
    bool minuteSaved;  // a minute step on that panel has written a file
    bool petCreated;
    bool byEscape;  // else a quit request
    bool writes;
  };
  for (const Case& c :
       {Case{"Escape on the welcome", false, false, false, true, false},
        Case{"a quit request on the welcome", false, false, false, false, false},
        Case{"Escape on the new-pet panel", true, false, false, true, false},
        Case{"Escape on the new-pet panel after a minute", true, true, false, true, true},
        Case{"Escape after the first pet", true, false, true, true, true},
        Case{"a quit request after the first pet", true, false, true, false, true}}) {
    SCOPED_TRACE(c.what);
    Program first;
    first.load();
    first.tick(2);
    ASSERT_TRUE(first.platform.controlState(ControlId::Picture2).visible);
    if (c.okClicked) {
      first.form.Command5_Click();
      first.tick(3);
      ASSERT_TRUE(first.platform.controlState(ControlId::Picture1).visible);
    }
    if (c.minuteSaved) {
      first.platform.advance(60000);
      first.tick();
      ASSERT_TRUE(first.dir.exists("zpdata.mrdt"));
    }
    if (c.petCreated) {
      first.form.controlClicked(ControlId::Command1);
      first.tick();
      ASSERT_EQ(first.s.petCount, 1);
    }
    if (c.byEscape) {
      first.form.Form_KeyDown(27, 0);
    } else {
      first.form.requestQuit();
      first.tick();
    }
    ASSERT_TRUE(first.form.ended());
    EXPECT_EQ(first.dir.exists("zpdata.mrdt"), c.writes);
    EXPECT_TRUE(first.platform.problems().empty());

    Program again;
    if (c.writes) again.dir.write("zpdata.mrdt", first.dir.read("zpdata.mrdt"));
    again.load();
    again.tick(2);
    EXPECT_EQ(again.platform.controlState(ControlId::Picture2).visible, !c.writes)
        << "the welcome again";
  }
}

TEST(StartUp, QuitRequestSavesThenEndsInAnyState) {
  for (int ticksBefore : {3, 400}) {  // splash, running
    Program p;
    p.dir.write("zpdata.mrdt", DataLines{}.bytes());
    p.load();
    p.tick(ticksBefore);
    p.s.owaru = 2;  // any other value is ignored
    p.tick();
    EXPECT_FALSE(p.form.ended());
    int16_t state = p.s.runState;
    p.s.owaru = 1;
    p.tick();
    EXPECT_TRUE(p.form.ended());
    EXPECT_EQ(p.s.runState, state) << "nothing else of the tick runs";
    EXPECT_EQ(p.dir.read("zpdata.mrdt"), formatData(p.s));
  }
}

TEST(StartUp, QuitRequestBeforeTheFileIsLoadedKeepsTheUsersPets) {
  for (int ticksBefore : {0, 1}) {  // before the search, found but not loaded
    Program p;
    DataLines d;
    d.petCount = 1;
    d.slots[0] = test::pet(1, 10, 20);
    p.dir.write("zpdata.mrdt", d.bytes());
    p.load();
    p.tick(ticksBefore);
    p.s.owaru = 1;
    p.tick();
    EXPECT_TRUE(p.form.ended());
    EXPECT_EQ(p.dir.read("zpdata.mrdt"), d.bytes());
  }
}

TEST(StartUp, RateMeterCountsTicksPerClockSecond) {
  Program p;
  p.platform.setClock(H::localMs(2026, 12, 10, 9, 30, 0));
  p.form.Fpss_Timer();
  EXPECT_EQ(p.s.frameRate, 1) << "the first event finds no second yet";
  EXPECT_EQ(p.s.fpsSecond, "09:30:00");
  for (int i = 0; i < 64; ++i) {
    p.platform.advance(16);  // the 63rd event crosses 09:30:01
    p.form.Fpss_Timer();
  }
  EXPECT_EQ(p.s.frameRate, 63);
}

}  // namespace
}  // namespace pet

namespace pet {
namespace {

TEST(News, PetsEvolvingTogetherShareOneMessage) {
  struct Case {
    std::vector<int> grown;  // slots saved fully grown but still fluff-balls
    std::string shape;       // the message with the new names in place of %
  };
  for (const Case& c : {Case{{2}, "スロット2のペットが「%」に進化しました。"},
                        Case{{1, 3}, "スロット1が「%」に、スロット3が「%」に進化しました。"}}) {
    test::Program p;
    test::DataLines d;
    d.petCount = 3;
    for (int i = 0; i < 3; ++i) d.slots[size_t(i)] = test::pet(1, 100 + 200 * i, 300);
    for (int slot : c.grown) {
      d.slots[size_t(slot - 1)].growthStage = 5;
      d.slots[size_t(slot - 1)].mouseLevel = slot;
      d.slots[size_t(slot - 1)].zoom = 100 * slot;  // a larger pet shrinks for longer
    }
    p.dir.write("zpdata.mrdt", d.bytes());
    p.load();
    p.runUntilRunning();
    p.tick(60 * 12);  // countdown, shrink and regrow take about ten seconds
    std::string want = c.shape;
    for (int slot : c.grown) {
      EXPECT_NE(p.s.species[size_t(slot)], 0);
      want.replace(want.find('%'), 1, p.s.speciesName[size_t(slot)]);
    }
    EXPECT_EQ(p.platform.announcements(), std::vector<std::string>{want});
  }
}

}  // namespace
}  // namespace pet

namespace pet {
namespace {

TEST(Screen, TheOverlayFollowsAScreenChangeAndPetsComeBackInside) {
  test::Program p;
  test::DataLines d;
  d.petCount = 2;
  d.slots[0] = test::pet(1, 1850, 1000);
  d.slots[1] = test::pet(1, 100, 100);
  d.slots[0].speed = d.slots[1].speed = 30;
  p.dir.write("zpdata.mrdt", d.bytes());
  p.load();
  p.runUntilRunning();
  p.tick(10);

  p.platform.setScreenPixels(0, 0);  // reported for a moment while monitors change
  p.form.screenChanged();
  EXPECT_EQ(p.form.overlay().image().width(), 1920);

  p.platform.setScreenPixels(1280, 720);
  p.form.screenChanged();
  EXPECT_EQ(p.form.overlay().image().width(), 1280);
  EXPECT_EQ(p.form.overlay().image().height(), 720);
  EXPECT_EQ(p.platform.lastPresented(), (std::vector<Rect>{{0, 0, 1280, 720}}));
  p.tick(120);
  for (int slot : {1, 2}) {
    EXPECT_LE(p.s.posX[size_t(slot)], 1280 - 24) << slot;
    EXPECT_LE(p.s.posY[size_t(slot)], 720 - 32) << slot;
  }
  EXPECT_EQ(p.platform.windowCalls().back(), "place 0 0 19200 10800");

  // A screen smaller than a pet: nothing breaks, the pet stays in reach.
  p.platform.setScreenPixels(16, 16);
  p.form.screenChanged();
  p.tick(120);
  EXPECT_LE(p.s.posX[1], 0);
  EXPECT_GT(p.s.posX[1] + 24, 0);
}

}  // namespace
}  // namespace pet

namespace pet {
namespace {

// Two monitors side by side, the primary (listed first) on the right and
// shorter, so the play area has a gap below it that no screen shows.
const std::vector<Rect> kTwoMonitors = {{1920, 0, 3200, 1024}, {0, 0, 1920, 1080}};

TEST(Screen, PetsInAGapBetweenMonitorsGoToTheNearestOne) {
  struct Case {
    const char* what;
    int16_t x, y;
    double zoom;
    std::vector<Rect> monitors;
    int16_t wantX, wantY;
  };
  const std::vector<Case> cases = {
      {"one screen", 5000, 5000, 1, {}, 5000, 5000},
      {"on the primary", 2500, 500, 1, kTwoMonitors, 2500, 500},
      {"across the seam", 1900, 700, 1, kTwoMonitors, 1900, 700},
      {"in the gap, nearest the primary above", 3000, 1040, 1, kTwoMonitors, 3000, 992},
      {"in the gap, nearest the left monitor", 1925, 1045, 1, kTwoMonitors, 1896, 1045},
      {"in the gap at double size", 3000, 1000, 2, kTwoMonitors, 3000, 960},
      {"a monitor smaller than the pet", 40, 40, 1, {{0, 0, 16, 16}}, 0, 0},
      {"a monitor of no size is no home",
       40,
       40,
       1,
       {{0, 0, 0, 0}, {100, 100, 200, 200}},
       100,
       100},
  };
  for (const Case& c : cases) {
    int16_t x = c.x, y = c.y;
    const bool moved = bringOntoAMonitor(x, y, c.zoom, c.monitors);
    EXPECT_EQ(x, c.wantX) << c.what;
    EXPECT_EQ(y, c.wantY) << c.what;
    EXPECT_EQ(moved, c.x != c.wantX || c.y != c.wantY) << c.what;
  }
}

TEST(Screen, OnEveryMonitorPanelsAndNewPetsAreOnThePrimaryAndWalkersStayShown) {
  test::Program p;
  p.platform.setScreenPixels(3200, 1080);
  p.platform.setMonitors(kTwoMonitors);
  p.load();
  p.tick(2);
  const auto& info = p.platform.controlState(ControlId::Picture2);
  ASSERT_TRUE(info.visible);
  EXPECT_EQ(info.left, 1920 * 15 + (19200 - 6135) / 2);
  EXPECT_EQ(info.top, (15360 - 5775) / 2);

  // Pets walking everywhere for a long while are never seen in the gap.
  test::DataLines d;
  d.petCount = 6;
  for (int i = 0; i < 6; ++i) {
    d.slots[size_t(i)] = test::pet(1, 300 + 550 * i, 1040);
    d.slots[size_t(i)].speed = 30;
  }
  test::Program q;
  q.platform.setScreenPixels(3200, 1080);
  q.platform.setMonitors(kTwoMonitors);
  q.dir.write("zpdata.mrdt", d.bytes());
  q.load();
  q.runUntilRunning();
  bool leftMonitorUsed = false, primaryUsed = false;
  for (int t = 0; t < 2000; t += 10) {
    q.tick(10);
    for (int slot = 1; slot <= 6; ++slot) {
      const double cx = q.s.posX[size_t(slot)] + 12, cy = q.s.posY[size_t(slot)] + 16;
      ASSERT_FALSE(cx >= 1920 && cy >= 1024) << "slot " << slot << " tick " << t;
      (cx < 1920 ? leftMonitorUsed : primaryUsed) = true;
    }
  }
  EXPECT_TRUE(leftMonitorUsed);
  EXPECT_TRUE(primaryUsed);
}

TEST(Screen, AnOpenPanelIsCentredOnTheNewScreen) {
  test::Program p;
  p.load();
  p.tick(2);  // the welcome, with the about picture inside it
  const auto& info = p.platform.controlState(ControlId::Picture2);
  const auto& about = p.platform.controlState(ControlId::Picture3);
  ASSERT_TRUE(info.visible);
  p.platform.setScreenPixels(1280, 720);
  p.form.screenChanged();
  EXPECT_EQ(info.left, (19200 - 6135) / 2);
  EXPECT_EQ(info.top, (10800 - 5775) / 2);
  EXPECT_EQ(about.left, info.left + 360);
  EXPECT_EQ(about.top, info.top + 2280);
  // Made primary, a monitor on the right of another takes the panels along.
  p.platform.setScreenPixels(3200, 1080);
  p.platform.setMonitors(kTwoMonitors);
  p.form.screenChanged();
  EXPECT_EQ(info.left, 1920 * 15 + (19200 - 6135) / 2);
  EXPECT_EQ(about.left, info.left + 360);
}

TEST(Settings, ReadLenientlyAndWrittenBackTheSame) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"", false},
      {"every-monitor=1\n", true},
      {"# deskpet settings\r\n  every-monitor = true \r\n", true},
      {"every-monitor=1\nevery-monitor=0\n", false},
      {"every-monitor=yes please\n", false},
      {std::string("\0\xff\xfe=\n=1\nevery-monitor", 17), false},
      {"unknown=7\nevery-monitor=1", true},
  };
  for (const auto& [text, want] : cases) EXPECT_EQ(parseSettings(text).everyMonitor, want) << text;
  for (bool every : {false, true})
    EXPECT_EQ(parseSettings(settingsText(Settings{every})).everyMonitor, every);
}

}  // namespace
}  // namespace pet
