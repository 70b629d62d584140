#include "platform/play_area.h"

#include <gtest/gtest.h>

namespace pet {
namespace {

TEST(PlayArea, ScaleIsTheNearestWholeNumberHalvesUpOneAtLeast) {
  const struct {
    unsigned dpi;
    int scale;
  } cases[] = {{0, 1},   {72, 1},  {96, 1},  {120, 1}, {143, 1}, {144, 2},
               {168, 2}, {192, 2}, {240, 3}, {288, 3}, {480, 5}};
  for (auto c : cases) EXPECT_EQ(wholeScale(c.dpi), c.scale) << c.dpi << " DPI";
}

TEST(PlayArea, MonitorsOnlyWhenEveryMonitorIsChosenAndThereAreTwo) {
  // The second monitor left of the primary and shorter: the virtual screen
  // starts left of 0.
  const std::vector<Rect> two{{0, 0, 1920, 1080}, {-1280, 0, 0, 720}};
  PlayArea off = playArea({0, 0, 1920, 1080}, two, 96, false);
  EXPECT_EQ(off.coreWidth(), 1920);
  EXPECT_EQ(off.coreHeight(), 1080);
  EXPECT_EQ(off.originX, 0);
  EXPECT_TRUE(off.monitors.empty());

  PlayArea on = playArea({0, 0, 1920, 1080}, two, 96, true);
  EXPECT_EQ(on.originX, -1280);
  EXPECT_EQ(on.originY, 0);
  EXPECT_EQ(on.coreWidth(), 3200);
  EXPECT_EQ(on.coreHeight(), 1080);
  EXPECT_EQ(on.monitors, (std::vector<Rect>{{1280, 0, 3200, 1080}, {0, 0, 1280, 720}}));

  // A monitor of no size for a moment: one screen, as when off.
  PlayArea blink = playArea({0, 0, 1920, 1080}, {{0, 0, 1920, 1080}, {1920, 0, 1920, 0}}, 96, true);
  EXPECT_EQ(blink.coreWidth(), 1920);
  EXPECT_TRUE(blink.monitors.empty());
  // No monitor at all, or a primary of no size: nothing negative.
  PlayArea none = playArea({0, 0, 0, -5}, {}, 96, true);
  EXPECT_EQ(none.coreWidth(), 0);
  EXPECT_EQ(none.coreHeight(), 0);
}

TEST(PlayArea, ScaledMonitorsInTheProgramsPixels) {
  // 4K primary at scale 2, a monitor above it starting at an odd pixel.
  PlayArea a =
      playArea({0, 0, 3840, 2160}, {{0, 0, 3840, 2160}, {1001, -1080, 2921, 0}}, 192, true);
  EXPECT_EQ(a.scale, 2);
  EXPECT_EQ(a.originX, 0);
  EXPECT_EQ(a.originY, -1080);
  EXPECT_EQ(a.coreWidth(), 1920);
  EXPECT_EQ(a.coreHeight(), 1620);
  EXPECT_EQ(a.monitors, (std::vector<Rect>{{0, 540, 1920, 1620}, {500, 0, 1460, 540}}));
}

}  // namespace
}  // namespace pet
