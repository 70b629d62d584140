#pragma once
// A 32-bit pixel buffer: 0x00RRGGBB, rows top-down, no padding.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace pet {

inline constexpr uint32_t rgb(int r, int g, int b) {
  return (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) |
         static_cast<uint32_t>(b);
}
// The colour key: pixels of this colour are see-through on the desktop.
inline constexpr uint32_t kKeyColour = rgb(98, 164, 172);

struct Rect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
  bool empty() const { return right <= left || bottom <= top; }
  bool operator==(const Rect&) const = default;
};

class Image {
 public:
  Image() = default;
  Image(int32_t w, int32_t h, uint32_t fill = 0)
      : w_(w), h_(h), px_(std::size_t(w) * std::size_t(h), fill) {}
  int32_t width() const { return w_; }
  int32_t height() const { return h_; }
  uint32_t* data() { return px_.data(); }
  const uint32_t* data() const { return px_.data(); }
  uint32_t* row(int32_t y) { return px_.data() + std::size_t(y) * std::size_t(w_); }
  const uint32_t* row(int32_t y) const { return px_.data() + std::size_t(y) * std::size_t(w_); }
  uint32_t at(int32_t x, int32_t y) const { return row(y)[x]; }
  void set(int32_t x, int32_t y, uint32_t c) { row(y)[x] = c; }
  // Fills the rectangle, clipped to the image.
  void fill(Rect r, uint32_t c);
  void fill(uint32_t c) { fill(Rect{0, 0, w_, h_}, c); }
  bool operator==(const Image&) const = default;

 private:
  int32_t w_ = 0, h_ = 0;
  std::vector<uint32_t> px_;
};

Rect clipTo(Rect r, int32_t w, int32_t h);
// The box around both (an empty one counts for nothing).
Rect unite(Rect a, Rect b);
// Whether they share a pixel.
inline bool overlaps(Rect a, Rect b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// Rectangles that overlap replaced by the box around them, until none
// overlaps: disjoint rectangles covering every pixel of `rects` (and the
// corners between overlapping ones); empty ones are dropped.
std::vector<Rect> mergeOverlapping(std::vector<Rect> rects);

}  // namespace pet
