#include "render/image.h"

#include <algorithm>

namespace pet {

Rect clipTo(Rect r, int32_t w, int32_t h) {
  return Rect{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, w), std::min(r.bottom, h)};
}

void Image::fill(Rect r, uint32_t c) {
  r = clipTo(r, w_, h_);
  if (r.empty()) return;
  for (int32_t y = r.top; y < r.bottom; ++y) std::fill(row(y) + r.left, row(y) + r.right, c);
}

}  // namespace pet
