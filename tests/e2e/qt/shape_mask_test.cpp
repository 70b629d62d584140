// The overlay's window shape against a brute-force reading of the picture.
#include "platform/qt/shape_mask.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace pet::qt {
namespace {

constexpr uint32_t kKey = kKeyColour;

// Which pixels a list of rectangles covers, with overlaps counted.
std::vector<int> coverage(const std::vector<BandRect>& rects, int w, int h) {
  std::vector<int> c(size_t(w * h), 0);
  for (const auto& r : rects)
    for (int y = r.y; y < r.y + r.h; ++y)
      for (int x = r.x; x < r.x + r.w; ++x) ++c[size_t(y * w + x)];
  return c;
}

std::vector<int> expected(const Image& img, const std::vector<Rect>& extra) {
  std::vector<int> c(size_t(img.width() * img.height()), 0);
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      bool in = img.at(x, y) != kKey;
      for (const auto& e : extra) in |= x >= e.left && x < e.right && y >= e.top && y < e.bottom;
      c[size_t(y * img.width() + x)] = in ? 1 : 0;
    }
  return c;
}

// What the X server is promised for Y-X banded rectangles.
void expectBanded(const std::vector<BandRect>& rects) {
  for (size_t i = 0; i < rects.size(); ++i) {
    ASSERT_GT(rects[i].w, 0);
    ASSERT_GT(rects[i].h, 0);
    if (i == 0) continue;
    const auto& a = rects[i - 1];
    const auto& b = rects[i];
    if (a.y == b.y) {
      EXPECT_EQ(a.h, b.h) << "one band, one height";
      EXPECT_LT(a.x + a.w, b.x) << "sorted by x, neither overlapping nor touching";
    } else {
      EXPECT_GE(b.y, a.y + a.h) << "bands sorted by y without overlap";
    }
  }
}

TEST(ShapeMask, FollowsRandomDrawingThroughChangedRectanglesOnly) {
  const int w = 97, h = 61;
  Image img(w, h, kKey);
  ShapeMask mask;
  mask.reset(w, h);
  std::mt19937 rng(7);
  auto between = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int step = 0; step < 300; ++step) {
    // A sprite-like blob: a filled box with key-colour holes, or an erasure.
    Rect r{between(-10, w), between(-10, h), 0, 0};
    r.right = r.left + between(1, 30);
    r.bottom = r.top + between(1, 20);
    const uint32_t colour = step % 3 == 0 ? kKey : 0x00FFEEDDu + uint32_t(step);
    img.fill(r, colour);
    for (int k = 0; k < 5; ++k) {
      const int x = between(r.left, r.right - 1), y = between(r.top, r.bottom - 1);
      if (x >= 0 && x < w && y >= 0 && y < h) img.set(x, y, kKey);
    }
    mask.update(img, r, kKey);
    if (step % 25 == 0) {
      const std::vector<Rect> extra = step % 50 == 0
                                          ? std::vector<Rect>{}
                                          : std::vector<Rect>{{5, 5, 40, 30}, {30, 20, 90, 70}};
      const auto bands = mask.bands(extra);
      expectBanded(bands);
      ASSERT_EQ(coverage(bands, w, h), expected(img, extra)) << "after step " << step;
    }
  }
}

TEST(ShapeMask, ReportsChangeOnlyWhenTheShapeChanged) {
  Image img(20, 10, kKey);
  ShapeMask mask;
  mask.reset(20, 10);
  struct Case {
    const char* what;
    Rect fill;
    uint32_t colour;
    Rect rescan;
    bool changed;
  };
  const Case cases[] = {
      {"a new pixel", {3, 3, 6, 5}, 0x00112233u, {0, 0, 20, 10}, true},
      {"same shape, other colour", {3, 3, 6, 5}, 0x00445566u, {3, 3, 6, 5}, false},
      {"rescan without change", {0, 0, 0, 0}, 0, {0, 0, 20, 10}, false},
      {"erased", {3, 3, 6, 5}, kKey, {2, 2, 7, 6}, true},
      {"outside the image", {0, 0, 0, 0}, 0, {30, 30, 40, 40}, false},
  };
  for (const auto& c : cases) {
    img.fill(c.fill, c.colour);
    EXPECT_EQ(mask.update(img, c.rescan, kKey), c.changed) << c.what;
  }
}

TEST(ShapeMask, EmptyPictureGivesNoRectanglesAndPanelsStayWhole) {
  ShapeMask mask;
  mask.reset(50, 40);
  EXPECT_TRUE(mask.bands({}).empty());
  const auto panel = mask.bands({{10, 5, 30, 25}, {-5, 30, 100, 100}});
  EXPECT_EQ(panel, (std::vector<BandRect>{{10, 5, 20, 20}, {0, 30, 50, 10}}));
}

// Pixels covered by `a` and not by `b`, as 0/1 per pixel.
std::vector<int> minus(const std::vector<int>& a, const std::vector<int>& b) {
  std::vector<int> out(a.size());
  for (size_t i = 0; i < a.size(); ++i) out[i] = a[i] && !b[i] ? 1 : 0;
  return out;
}

// The server is sent only the difference between the shape it has and the
// new one; what it ends up with must be the new shape to the pixel.
TEST(ShapeMask, DifferenceOfTwoShapesIsExactAndBanded) {
  const int w = 83, h = 57;
  std::mt19937 rng(11);
  auto between = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  Image img(w, h, kKey);
  ShapeMask mask;
  mask.reset(w, h);
  std::vector<BandRect> before;
  for (int step = 0; step < 200; ++step) {
    Rect r{between(-5, w), between(-5, h), 0, 0};
    r.right = r.left + between(1, 25);
    r.bottom = r.top + between(1, 25);
    img.fill(r, step % 3 == 0 ? kKey : 0x00102030u);
    for (int k = 0; k < 4; ++k) {
      const int x = between(0, w - 1), y = between(0, h - 1);
      img.set(x, y, step % 2 ? kKey : 0x00405060u);
    }
    mask.update(img, {0, 0, w, h}, kKey);
    const std::vector<Rect> extra = step % 4 == 0
                                        ? std::vector<Rect>{{between(0, w), between(0, h), w, h}}
                                        : std::vector<Rect>{};
    const auto after = mask.bands(extra);
    const BandDiff d = diffBands(before, after);
    expectBanded(d.added);
    expectBanded(d.removed);
    const auto was = coverage(before, w, h), now = coverage(after, w, h);
    ASSERT_EQ(coverage(d.added, w, h), minus(now, was)) << "after step " << step;
    ASSERT_EQ(coverage(d.removed, w, h), minus(was, now)) << "after step " << step;
    before = after;
  }
}

TEST(ShapeMask, DifferenceAtTheEdges) {
  struct Case {
    const char* what;
    std::vector<BandRect> before, after, added, removed;
  };
  const std::vector<BandRect> box{{2, 2, 4, 4}};
  const Case cases[] = {
      {"nothing to nothing", {}, {}, {}, {}},
      {"from nothing", {}, box, box, {}},
      {"to nothing", box, {}, {}, box},
      {"unchanged", box, box, {}, {}},
      {"moved right by one", box, {{3, 2, 4, 4}}, {{6, 2, 1, 4}}, {{2, 2, 1, 4}}},
      {"moved down past itself", box, {{2, 10, 4, 4}}, {{2, 10, 4, 4}}, box},
      // Rows 2-3 lose the middle; the bands split there and join again below.
      {"a hole in the upper half",
       {{0, 0, 10, 6}},
       {{0, 0, 10, 2}, {0, 2, 4, 2}, {6, 2, 4, 2}, {0, 4, 10, 2}},
       {},
       {{4, 2, 2, 2}}},
      {"two shapes sharing a band edge",
       {{0, 0, 4, 2}, {0, 2, 8, 2}},
       {{0, 0, 8, 4}},
       {{4, 0, 4, 2}},
       {}},
  };
  for (const auto& c : cases) {
    const BandDiff d = diffBands(c.before, c.after);
    EXPECT_EQ(d.added, c.added) << c.what;
    EXPECT_EQ(d.removed, c.removed) << c.what;
  }
}

}  // namespace
}  // namespace pet::qt
