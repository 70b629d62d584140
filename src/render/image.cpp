#include "render/image.h"

#include <algorithm>

namespace pet {

Rect clipTo(Rect r, int32_t w, int32_t h) {
  return Rect{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, w), std::min(r.bottom, h)};
}

Rect unite(Rect a, Rect b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return Rect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

std::vector<Rect> mergeOverlapping(std::vector<Rect> rects) {
  std::erase_if(rects, [](const Rect& r) { return r.empty(); });
  for (bool merged = true; merged;) {
    merged = false;
    for (size_t i = 0; i < rects.size(); ++i)
      for (size_t j = i + 1; j < rects.size();) {
        if (!overlaps(rects[i], rects[j])) {
          ++j;
          continue;
        }
        rects[i] = unite(rects[i], rects[j]);
        rects.erase(rects.begin() + std::ptrdiff_t(j));
        merged = true;  // the grown box may now overlap one already passed
      }
  }
  return rects;
}

void Image::fill(Rect r, uint32_t c) {
  r = clipTo(r, w_, h_);
  if (r.empty()) return;
  for (int32_t y = r.top; y < r.bottom; ++y) std::fill(row(y) + r.left, row(y) + r.right, c);
}

}  // namespace pet
