#include <gtest/gtest.h>

#include <random>
#include <set>

#include "input/mouse.h"
#include "render/assets.h"
#include "render/draw.h"
#include "render/overlay.h"
#include "support.h"

namespace pet {
namespace {

constexpr uint32_t kOtherBackground = rgb(128, 132, 220);

struct Palette {
  int sheet;  // 0: CharGZ(0); 1..4: CharGZ2(n)
  uint32_t body, outline;
};

TEST(Sheets, EveryShippedSheetFollowsTheRules) {
  const Assets& a = assets();
  std::vector<const Image*> all;
  for (size_t i = 0; i < a.charGZ.size(); ++i) all.push_back(&a.charGZ[i]);
  for (int i = 1; i <= 4; ++i) all.push_back(&a.charGZ2[size_t(i)]);
  for (size_t i = 0; i < all.size(); ++i) {
    const Image& img = *all[i];
    ASSERT_EQ(img.width(), 72) << i;
    ASSERT_EQ(img.height(), 128) << i;
    const uint32_t bg = img.at(0, 0);
    EXPECT_TRUE(bg == kKeyColour || bg == kOtherBackground) << i;
    // Every cell has a figure, and no figure pixel is see-through on a sheet
    // whose background is not the key.
    for (int cy = 0; cy < 4; ++cy)
      for (int cx = 0; cx < 3; ++cx) {
        int figure = 0;
        for (int y = 0; y < 32; ++y)
          for (int x = 0; x < 24; ++x) {
            uint32_t c = img.at(24 * cx + x, 32 * cy + y);
            if (c != bg) ++figure;
            if (bg != kKeyColour) EXPECT_NE(c, kKeyColour) << i;
          }
        EXPECT_GT(figure, 40) << "sheet " << i << " cell " << cx << "," << cy;
      }
  }
  // The fluff-ball: one drawing in five colourings with these exact colours.
  const std::vector<Palette> palettes = {{0, rgb(232, 232, 232), rgb(122, 96, 134)},
                                         {1, rgb(232, 240, 255), rgb(94, 94, 168)},
                                         {2, rgb(160, 160, 160), rgb(50, 50, 50)},
                                         {3, rgb(255, 255, 246), rgb(156, 140, 62)},
                                         {4, rgb(255, 228, 248), rgb(160, 98, 92)}};
  const Image& base = a.charGZ[0];
  for (const auto& p : palettes) {
    const Image& img = p.sheet == 0 ? base : a.charGZ2[size_t(p.sheet)];
    EXPECT_EQ(img.at(0, 0), kKeyColour);
    std::set<uint32_t> colours(img.data(), img.data() + 72 * 128);
    EXPECT_TRUE(colours.count(p.body)) << p.sheet;
    EXPECT_TRUE(colours.count(p.outline)) << p.sheet;
    for (int i = 0; i < 72 * 128; ++i)  // same drawing: same figure pixels
      ASSERT_EQ(img.data()[i] == kKeyColour, base.data()[i] == kKeyColour) << p.sheet;
  }
  EXPECT_EQ(a.splash.width(), 353);
  EXPECT_EQ(a.splash.height(), 193);
  ASSERT_EQ(a.icons.size(), 3u);
  EXPECT_EQ(a.icons[0].width(), 16);
  EXPECT_EQ(a.icons[2].width(), 48);
}

TEST(PetDrawing, CellAndSheetChoice) {
  struct CellCase {
    int16_t facing, walkFrame;
    int32_t x, y;
  };
  for (auto c : std::vector<CellCase>{{0, 0, 24, 64},
                                      {0, 1, 0, 64},
                                      {0, 2, 24, 64},
                                      {0, 3, 48, 64},
                                      {1, 0, 24, 96},
                                      {2, 0, 24, 0},
                                      {3, 3, 48, 32}}) {
    Cell cell = cellFor(c.facing, c.walkFrame);
    EXPECT_EQ(cell.x, c.x) << c.facing << c.walkFrame;
    EXPECT_EQ(cell.y, c.y) << c.facing << c.walkFrame;
  }
  const Assets& a = assets();
  struct SheetCase {
    int16_t species, dayScore;
    const Image* sheet;
  };
  for (auto c : std::vector<SheetCase>{{0, -3, &a.charGZ2[2]},
                                       {0, -2, &a.charGZ2[1]},
                                       {0, -1, &a.charGZ[0]},
                                       {0, 0, &a.charGZ[0]},
                                       {0, 1, &a.charGZ[0]},
                                       {0, 2, &a.charGZ2[3]},
                                       {0, 3, &a.charGZ2[4]},
                                       {0, 4, nullptr},
                                       {0, -4, nullptr},
                                       {12, -3, &a.charGZ[12]},
                                       {53, 9, &a.charGZ[53]},
                                       {54, 0, nullptr}})
    EXPECT_EQ(sheetFor(a, c.species, c.dayScore), c.sheet) << c.species << " " << c.dayScore;
}

// A tiny sheet: background `bg`, every cell a solid block of `fill` with a
// one-pixel `hole` at cell pixel (5, 5).
Assets syntheticAssets(uint32_t bg, uint32_t fill, uint32_t hole) {
  Assets a;
  Image sheet(72, 128, bg);
  for (int cy = 0; cy < 4; ++cy)
    for (int cx = 0; cx < 3; ++cx) {
      sheet.fill(Rect{24 * cx + 2, 32 * cy + 2, 24 * cx + 22, 32 * cy + 30}, fill);
      sheet.set(24 * cx + 5, 32 * cy + 5, hole);
    }
  a.charGZ[0] = sheet;
  return a;
}

TEST(PetDrawing, SizesClippingAndTheSheetsOwnKey) {
  Assets a = syntheticAssets(kOtherBackground, rgb(1, 2, 3), kKeyColour);
  struct Case {
    int16_t zoom;
    int32_t w, h;
  };
  for (auto c : std::vector<Case>{{100, 24, 32},
                                  {110, 26, 35},
                                  {150, 36, 48},
                                  {500, 120, 160},
                                  {10, 2, 3},
                                  {3, 1, 1},
                                  {2, 0, 1}}) {
    State s;
    s.growthPeriod[1] = 1;
    s.posX[1] = 10;
    s.posY[1] = 20;
    s.zoom[1] = c.zoom;
    Rect r = petRect(s, 1);
    EXPECT_EQ(r.right - r.left, c.w) << c.zoom;
    EXPECT_EQ(r.bottom - r.top, c.h) << c.zoom;
    Image dst(200, 200, kKeyColour);
    drawPet(dst, s, 1, a, Rect{0, 0, 200, 200});
    int drawn = 0;
    for (int i = 0; i < 200 * 200; ++i) drawn += dst.data()[i] != kKeyColour;
    if (c.w <= 0 || c.h <= 0) EXPECT_EQ(drawn, 0) << c.zoom;
    if (c.zoom >= 100) {
      // The other background is left out; the hole shows the key through.
      EXPECT_EQ(dst.at(10, 20), kKeyColour);
      EXPECT_EQ(dst.at(10 + 12 * c.zoom / 100, 20 + 16 * c.zoom / 100), rgb(1, 2, 3));
      EXPECT_EQ(dst.at(10 + 5 * c.zoom / 100, 20 + 5 * c.zoom / 100), kKeyColour);
    }
  }
  // Clipped at the edges, negative positions included.
  State s;
  s.growthPeriod[1] = 1;
  s.posX[1] = -10;
  s.posY[1] = -10;
  s.zoom[1] = 100;
  Image dst(30, 30, kKeyColour);
  drawPet(dst, s, 1, a, Rect{0, 0, 30, 30});
  EXPECT_EQ(dst.at(0, 0), rgb(1, 2, 3));    // cell pixel (10, 10)
  EXPECT_EQ(dst.at(11, 19), rgb(1, 2, 3));  // cell pixel (21, 29)
  EXPECT_EQ(dst.at(11, 20), kKeyColour);
  EXPECT_EQ(dst.at(12, 0), kKeyColour);  // cell x 22: background
}

TEST(PetDrawing, PreviewIsAlways48By64) {
  const Assets& a = assets();
  State s;
  s.growthPeriod[1] = 1;
  s.zoom[1] = 300;
  s.species[1] = 40;
  Image dst(100, 120, rgb(192, 255, 192));
  drawPetPreview(dst, s, 1, 20, 40, a);
  int minX = 999, maxX = -1, minY = 999, maxY = -1;
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 100; ++x)
      if (dst.at(x, y) != rgb(192, 255, 192)) {
        minX = std::min(minX, x), maxX = std::max(maxX, x);
        minY = std::min(minY, y), maxY = std::max(maxY, y);
      }
  EXPECT_GE(minX, 20);
  EXPECT_LT(maxX, 68);
  EXPECT_GE(minY, 40);
  EXPECT_LT(maxY, 104);
  EXPECT_GT(maxY - minY, 40);
}

// Two identical programs, one drawing incrementally and one redrawing
// everything, driven alike: their overlays must match after every tick.
TEST(OverlayDrawing, IncrementalEqualsFullRedrawOverARandomRun) {
  test::TempDir dirA, dirB;
  HeadlessPlatform pa(dirA.path()), pb(dirB.path());
  Form2 a(pa, true), b(pb, false);
  test::DataLines d;
  d.petCount = 20;
  for (int i = 0; i < 20; ++i) {
    d.slots[size_t(i)] = test::pet(1 + i % 4, 20 * i, 15 * i);
    d.slots[size_t(i)].species = i % 3 == 0 ? 0 : 3 * i;
    d.slots[size_t(i)].dayScore = i % 7 - 3;
    d.slots[size_t(i)].zoom = int16_t(40 + 37 * i);
    d.slots[size_t(i)].speed = int16_t(1 + i);
    d.slots[size_t(i)].growthStage = i < 4 ? 5 : 0;  // these evolve, with badges
    d.slots[size_t(i)].chaseMouse = i % 2;
  }
  dirA.write("zpdata.mrdt", d.bytes());
  dirB.write("zpdata.mrdt", d.bytes());
  for (auto* p : {&pa, &pb}) {
    p->setScreenPixels(640, 480);
    p->setClock(HeadlessPlatform::localMs(2026, 12, 10, 9, 30, 0));
  }
  a.Form_Load();
  b.Form_Load();
  uint32_t rnd = 12345;
  auto next = [&] { return rnd = rnd * 1103515245u + 12345u, (rnd >> 8) % 1000; };
  int presentsSkipped = 0;
  for (int tick = 0; tick < 1500; ++tick) {
    int32_t cx = int32_t(next() * 640 / 1000), cy = int32_t(next() * 480 / 1000);
    int action = int(next() % 20);
    for (auto [form, p] : {std::pair{&a, &pa}, std::pair{&b, &pb}}) {
      if (tick % 5 == 0) p->setCursor(cx, cy);
      p->advance(tick % 7 == 0 ? 300 : 16);
      int64_t before = p->presentCount();
      form->Fpss_Timer();
      form->Timer1_Timer();
      if (action == 0) form->Form_MouseDown(1, 0, 0, 0);
      if (action == 1) form->Form_MouseMove(1, 0, 0, 0);
      if (action == 2) form->Form_MouseUp(1, 0, 0, 0);
      if (form == &a && p->presentCount() == before) ++presentsSkipped;
    }
    ASSERT_TRUE(a.overlay().image() == b.overlay().image()) << "tick " << tick;
    // And what was presented of it shows all of it.
    if (pa.presentCount() > 0) ASSERT_TRUE(pa.screen() == b.overlay().image()) << "tick " << tick;
  }
  EXPECT_EQ(a.state().evolutionCount, 2);
  EXPECT_GT(presentsSkipped, 0) << "ticks without change present nothing";
}

TEST(OverlayDrawing, MergedRectanglesAreDisjointAndCoverEveryInput) {
  std::mt19937 rng(3);
  auto between = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int round = 0; round < 300; ++round) {
    std::vector<Rect> rects;
    for (int i = between(0, 10); i > 0; --i) {
      const int x = between(0, 40), y = between(0, 40);
      rects.push_back(Rect{x, y, x + between(-2, 20), y + between(-2, 20)});  // some empty
    }
    std::vector<int> covered(64 * 64, 0);
    for (const Rect& r : mergeOverlapping(rects)) {
      ASSERT_FALSE(r.empty());
      for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) ASSERT_EQ(++covered[size_t(y * 64 + x)], 1);
    }
    for (const Rect& r : rects)
      for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) ASSERT_EQ(covered[size_t(y * 64 + x)], 1);
  }
  // A pet's old and new places become one box; one apart stays apart; a box
  // that grows into a third takes it in too.
  EXPECT_EQ(mergeOverlapping({{0, 0, 10, 10}, {4, 2, 14, 12}, {20, 0, 30, 10}}),
            (std::vector<Rect>{{0, 0, 14, 12}, {20, 0, 30, 10}}));
  EXPECT_EQ(mergeOverlapping({{12, 0, 16, 4}, {0, 0, 10, 10}, {4, 2, 14, 12}}),
            (std::vector<Rect>{{0, 0, 16, 12}}));
}

TEST(OverlayDrawing, UnchangedFrameTouchesNothingAndBadgeIsDrawn) {
  test::TempDir dir;
  HeadlessPlatform p(dir.path());
  Overlay o(200, 200);
  State s;
  s.petCount = 2;
  for (int slot : {1, 2}) {
    s.growthPeriod[slot] = 1;
    s.zoom[slot] = 100;
    s.posX[slot] = 50;
    s.posY[slot] = 50;
  }
  s.species[2] = 40;  // on top of the fluff-ball
  s.evoPhase[2] = 4;  // countdown showing 4
  auto frame = [&] {
    o.cls();
    o.drawPet(s, 1);
    o.drawPet(s, 2);
    o.drawBadge(s, 2, p);
    o.refresh(p);
  };
  frame();
  EXPECT_EQ(p.presentCount(), 1);
  const Image first = o.image();
  EXPECT_EQ(first.at(50 + 20, 50 + 28), rgb(250, 200, 200));  // badge box (65..75, 73..83)
  EXPECT_EQ(first.at(65, 73), rgb(250, 200, 200));
  EXPECT_EQ(first.at(75, 83), rgb(250, 200, 200));
  EXPECT_NE(first.at(76, 84), rgb(250, 200, 200));
  int textPixels = 0;
  for (int y = 73; y < 90; ++y)
    for (int x = 63; x < 90; ++x) textPixels += first.at(x, y) == rgb(0, 0, 0);
  EXPECT_GT(textPixels, 0) << "the number is printed";
  frame();
  EXPECT_EQ(p.presentCount(), 1) << "nothing changed: nothing presented";
  EXPECT_TRUE(o.lastChanged().empty());
  s.posX[2] = 52;
  frame();
  EXPECT_EQ(p.presentCount(), 2);
  ASSERT_FALSE(o.lastChanged().empty());
  for (const Rect& r : o.lastChanged())  // the moved pet and its badge, old and new
    EXPECT_TRUE(r.left >= 50 && r.top >= 50 && r.right <= 95 && r.bottom <= 95)
        << r.left << "," << r.top << " " << r.right << "," << r.bottom;
}

// A badge's printed number costs the same memory at any zoom, and numbers
// printed for sizes no longer shown are let go.
TEST(OverlayDrawing, BadgesCostBoundedMemoryWhateverTheZoom) {
  test::TempDir dir;
  HeadlessPlatform p(dir.path());
  Overlay o(400, 400);
  State s;
  s.petCount = 1;
  s.growthPeriod[1] = 1;
  s.evoPhase[1] = 3;
  auto badgeAt = [&](int16_t zoom) {
    s.zoom[1] = zoom;
    o.cls();
    o.drawBadge(s, 1, p);
    o.refresh(p);
    int black = 0;
    for (int y = 0; y < 400; ++y)
      for (int x = 0; x < 400; ++x) black += o.image().at(x, y) == rgb(0, 0, 0);
    return black;
  };
  const int at500 = badgeAt(500);
  EXPECT_GT(at500, 0);
  EXPECT_EQ(badgeAt(1000), 4 * at500) << "beyond the largest print, stretched whole pixels";
  badgeAt(32767);
  EXPECT_LE(o.badgeTextBytes(), 64u * 1024) << "a 32767 % badge prints no larger";
  for (int16_t zoom = 1; zoom <= 2000; zoom += 7) badgeAt(zoom);
  EXPECT_LE(o.badgeTextsKept(), 128u);
}

}  // namespace
}  // namespace pet
