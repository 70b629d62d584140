#pragma once
// The overlay's window shape: which pixels are not the colour key, kept as runs
// per row and rescanned only where the picture changed, handed to the X server
// as Y-X banded rectangles so it can take them without sorting or merging.
#include <cstdint>
#include <vector>

#include "render/image.h"

namespace pet::qt {

struct Span {
  int32_t x0 = 0, x1 = 0;  // [x0, x1)
  bool operator==(const Span&) const = default;
};

struct BandRect {
  int32_t x = 0, y = 0, w = 0, h = 0;
  bool operator==(const BandRect&) const = default;
};

class ShapeMask {
 public:
  void reset(int32_t width, int32_t height);
  int32_t width() const { return w_; }
  int32_t height() const { return h_; }

  // Rescans `r` (clipped to the image) for pixels other than `key`. Returns
  // whether the shape changed.
  bool update(const Image& image, Rect r, uint32_t key);

  // The shape united with `extra` rectangles (visible panels), as rectangles in
  // Y-X banded order: sorted by top then left, rectangles of one band share
  // top and height and neither overlap nor touch, and no two bands next to
  // each other have the same spans.
  std::vector<BandRect> bands(const std::vector<Rect>& extra) const;

  const std::vector<Span>& row(int32_t y) const { return rows_[size_t(y)]; }

 private:
  int32_t w_ = 0, h_ = 0;
  std::vector<std::vector<Span>> rows_;
  std::vector<Span> scratch_;
  std::vector<uint8_t> shown_;  // one rescanned row: 1 where not the key
};

// Appends `s` to sorted, disjoint `out`, merging it with the last span when
// they overlap or touch.
void appendSpan(std::vector<Span>& out, Span s);
// The union of two sorted lists of disjoint spans.
void uniteSpans(const std::vector<Span>& a, const std::vector<Span>& b, std::vector<Span>& out);
// What lies in sorted, disjoint `a` and not in `b`.
void subtractSpans(const std::vector<Span>& a, const std::vector<Span>& b, std::vector<Span>& out);

// The change from one banded shape to another: `added` is what `after` covers
// and `before` does not, `removed` the reverse, each in Y-X banded order.
// Uniting `added` with `before` and taking `removed` away gives `after`.
struct BandDiff {
  std::vector<BandRect> added, removed;
};
BandDiff diffBands(const std::vector<BandRect>& before, const std::vector<BandRect>& after);

}  // namespace pet::qt
