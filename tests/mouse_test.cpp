#include "input/mouse.h"

#include <gtest/gtest.h>

#include "support.h"

namespace pet {
namespace {

State withPets(std::vector<std::array<int16_t, 3>> pets) {  // x, y, zoom
  State s;
  for (auto [x, y, zoom] : pets) {
    int slot = ++s.petCount;
    s.growthPeriod[slot] = 2;
    s.posX[slot] = x;
    s.posY[slot] = y;
    s.zoom[slot] = zoom;
  }
  return s;
}

TEST(DesktopMouse, HitTestBoundsAreRealAndInclusive) {
  struct Case {
    int16_t zoom, mx, my;
    bool hit;
  };
  for (auto c : std::vector<Case>{{100, 124, 132, true},
                                  {100, 100, 100, true},
                                  {100, 125, 100, false},
                                  {100, 100, 133, false},
                                  {100, 99, 110, false},
                                  {110, 126, 135, true},
                                  {110, 127, 110, false},
                                  {110, 110, 136, false}}) {
    State s = withPets({{100, 100, c.zoom}});
    s.mouseX = c.mx;
    s.mouseY = c.my;
    EXPECT_EQ(petUnderCursor(s, 1), c.hit) << c.zoom << " " << c.mx << "," << c.my;
  }
  State s = withPets({{100, 100, 100}});
  s.growthPeriod[1] = 0;
  s.mouseX = s.mouseY = 110;
  EXPECT_FALSE(petUnderCursor(s, 1)) << "an empty slot is never hit";
}

TEST(DesktopMouse, LeftPressGrabsEveryPetUnderTheCursorAndDragsThemTogether) {
  State s = withPets({{100, 100, 100}, {110, 90, 100}, {400, 400, 100}});
  s.mouseX = 115;
  s.mouseY = 105;
  mouseDown(s, kMiddleButton);
  EXPECT_EQ(s.grabbed[1] + s.grabbed[2], 0) << "the middle button does nothing";
  mouseDown(s, kLeftButton);
  EXPECT_EQ((std::vector<int>{s.grabbed[1], s.grabbed[2], s.grabbed[3]}),
            (std::vector<int>{1, 1, 0}));
  EXPECT_EQ(s.grabDX[2], 5);
  EXPECT_EQ(s.grabDY[2], 15);
  s.mouseX = 15;  // dragged left, partly off the screen
  s.mouseY = 305;
  mouseMove(s);
  EXPECT_EQ(s.posX[1], 0);
  EXPECT_EQ(s.posY[1], 300);
  EXPECT_EQ(s.posX[2], 10);
  EXPECT_EQ(s.posY[2], 290);
  s.mouseX = 5;
  mouseMove(s);
  EXPECT_EQ(s.posX[1], -10) << "stays off the screen until its next step";
  mouseUp(s);  // any button's release drops every pet
  EXPECT_EQ(s.grabbed[1] + s.grabbed[2], 0);
  mouseMove(s);
  EXPECT_EQ(s.posX[1], -10);
}

TEST(DesktopMouse, RightPressTogglesOncePerPetUnderTheCursor) {
  struct Case {
    int overlapping;
    int16_t chaseAll, chase;
  };
  for (auto c : std::vector<Case>{{1, 1, 1}, {2, 0, 0}, {3, 1, 1}}) {
    State s = withPets({{100, 100, 100}, {100, 100, 100}, {100, 100, 100}, {600, 600, 100}});
    for (int i = c.overlapping + 1; i <= 3; ++i) s.posX[i] = 900;
    s.chaseMouse[4] = 1;  // switched on alone in the settings panel
    s.mouseX = s.mouseY = 110;
    mouseDown(s, kRightButton);
    EXPECT_EQ(s.chaseAll, c.chaseAll) << c.overlapping;
    for (int i = 1; i <= 4; ++i) EXPECT_EQ(s.chaseMouse[i], c.chase) << c.overlapping << " " << i;
  }
  State s = withPets({{100, 100, 100}});
  s.mouseX = s.mouseY = 110;
  mouseDown(s, kRightButton);
  mouseDown(s, kRightButton);
  EXPECT_EQ(s.chaseAll, 0);
  EXPECT_EQ(s.chaseMouse[1], 0);
}

TEST(DesktopMouse, DroppedOffScreenPetIsBroughtBackByItsNextStep) {
  test::Program p;
  test::DataLines d;
  d.petCount = 1;
  d.slots[0] = test::pet(1, 300, 300);
  p.startWith(d.bytes());
  p.platform.setCursor(310, 310);
  p.tick();
  p.form.Form_MouseDown(1, 0, 310, 310);
  p.platform.setCursor(0, 310);
  p.tick();
  p.form.Form_MouseMove(1, 0, 0, 0);
  EXPECT_EQ(p.s.posX[1], -10);
  p.form.Form_MouseUp(1, 0, 0, 0);
  for (int i = 0; i < 200 && p.s.posX[1] < 0; ++i) p.tick();
  EXPECT_EQ(p.s.posX[1] >= 0, true);
}

}  // namespace
}  // namespace pet
