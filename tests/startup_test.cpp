#include <gtest/gtest.h>

#include "model/datafile.h"
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

TEST(StartUp, EscapeEndsAtOnceWithoutSaving) {
  for (int ticksBefore : {0, 1, 2, 5}) {  // before start, welcome, splash, running
    Program p;
    DataLines d;
    d.petCount = 1;
    d.slots[0] = test::pet(1, 10, 20);
    std::string bytes = d.bytes();
    if (ticksBefore != 1) p.dir.write("zpdata.mrdt", bytes);
    p.load();
    p.tick(ticksBefore);
    p.form.Form_KeyDown(65, 0);  // any other key: nothing
    EXPECT_FALSE(p.form.ended());
    p.form.Form_KeyDown(27, 1);
    EXPECT_TRUE(p.form.ended());
    EXPECT_TRUE(p.platform.endCalled());
    p.tick(100);
    EXPECT_EQ(p.dir.exists("zpdata.mrdt"), ticksBefore != 1);
    if (ticksBefore != 1) {
      EXPECT_EQ(p.dir.read("zpdata.mrdt"), bytes);
    }
  }
}

TEST(StartUp, QuitRequestSavesThenEndsInAnyState) {
  for (int ticksBefore : {2, 3, 400}) {  // welcome, splash, running
    Program p;
    if (ticksBefore == 3) p.dir.write("zpdata.mrdt", DataLines{}.bytes());
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
