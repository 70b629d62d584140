#include "platform/qt/shape_mask.h"

#include <algorithm>

namespace pet::qt {

void appendSpan(std::vector<Span>& out, Span s) {
  if (s.x1 <= s.x0) return;
  if (!out.empty() && s.x0 <= out.back().x1) {
    out.back().x1 = std::max(out.back().x1, s.x1);
    return;
  }
  out.push_back(s);
}

void uniteSpans(const std::vector<Span>& a, const std::vector<Span>& b, std::vector<Span>& out) {
  out.clear();
  size_t i = 0, j = 0;
  while (i < a.size() || j < b.size()) {
    if (j == b.size() || (i < a.size() && a[i].x0 <= b[j].x0))
      appendSpan(out, a[i++]);
    else
      appendSpan(out, b[j++]);
  }
}

void ShapeMask::reset(int32_t width, int32_t height) {
  w_ = width;
  h_ = height;
  rows_.assign(size_t(std::max(0, height)), {});
}

bool ShapeMask::update(const Image& image, Rect r, uint32_t key) {
  r = clipTo(r, std::min(w_, image.width()), std::min(h_, image.height()));
  if (r.empty()) return false;
  bool changed = false;
  for (int32_t y = r.top; y < r.bottom; ++y) {
    auto& runs = rows_[size_t(y)];
    scratch_.clear();
    for (const Span& s : runs) {
      if (s.x0 >= r.left) break;
      appendSpan(scratch_, {s.x0, std::min(s.x1, r.left)});
    }
    const uint32_t* px = image.row(y);
    for (int32_t x = r.left; x < r.right;) {
      while (x < r.right && px[x] == key) ++x;
      const int32_t start = x;
      while (x < r.right && px[x] != key) ++x;
      appendSpan(scratch_, {start, x});
    }
    for (const Span& s : runs)
      if (s.x1 > r.right) appendSpan(scratch_, {std::max(s.x0, r.right), s.x1});
    if (scratch_ != runs) {
      runs.swap(scratch_);
      changed = true;
    }
  }
  return changed;
}

std::vector<BandRect> ShapeMask::bands(const std::vector<Rect>& extra) const {
  std::vector<BandRect> out;
  std::vector<Span> extraSpans, current, previous;
  int32_t bandTop = 0;
  auto emit = [&](int32_t bottom) {
    for (const Span& s : previous) out.push_back({s.x0, bandTop, s.x1 - s.x0, bottom - bandTop});
  };
  for (int32_t y = 0; y < h_; ++y) {
    extraSpans.clear();
    for (const Rect& e : extra) {
      Rect c = clipTo(e, w_, h_);
      if (!c.empty() && c.top <= y && y < c.bottom) extraSpans.push_back({c.left, c.right});
    }
    const auto& runs = rows_[size_t(y)];
    if (extraSpans.empty()) {
      current = runs;
    } else {
      std::sort(extraSpans.begin(), extraSpans.end(),
                [](const Span& a, const Span& b) { return a.x0 < b.x0; });
      std::vector<Span> merged;
      for (const Span& s : extraSpans) appendSpan(merged, s);
      uniteSpans(runs, merged, current);
    }
    if (y == 0 || current != previous) {
      emit(y);
      previous.swap(current);
      bandTop = y;
    }
  }
  emit(h_);
  return out;
}

}  // namespace pet::qt
