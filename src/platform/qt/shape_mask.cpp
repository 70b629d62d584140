#include "platform/qt/shape_mask.h"

#include <algorithm>
#include <climits>
#include <cstring>

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

void subtractSpans(const std::vector<Span>& a, const std::vector<Span>& b, std::vector<Span>& out) {
  out.clear();
  size_t j = 0;
  for (const Span& s : a) {
    int32_t x = s.x0;
    while (j < b.size() && b[j].x1 <= x) ++j;
    for (size_t k = j; k < b.size() && b[k].x0 < s.x1; ++k) {
      if (b[k].x0 > x) out.push_back({x, b[k].x0});
      x = std::max(x, b[k].x1);
    }
    if (x < s.x1) out.push_back({x, s.x1});
  }
}

namespace {

struct Band {
  int32_t top = 0, bottom = 0;
  std::vector<Span> spans;
};

std::vector<Band> bandsOf(const std::vector<BandRect>& rects) {
  std::vector<Band> out;
  for (const BandRect& r : rects) {
    if (out.empty() || out.back().top != r.y) out.push_back({r.y, r.y + r.h, {}});
    out.back().spans.push_back({r.x, r.x + r.w});
  }
  return out;
}

// Collects bands in order, joining a band to the one just above when it
// starts where that one ends and has the same spans.
class BandWriter {
 public:
  void add(int32_t top, int32_t bottom, const std::vector<Span>& spans) {
    if (spans.empty() || bottom <= top) return;
    if (lastBottom_ == top && spans == lastSpans_) {
      for (size_t i = lastStart_; i < out_.size(); ++i) out_[i].h = bottom - out_[i].y;
    } else {
      lastStart_ = out_.size();
      lastSpans_ = spans;
      for (const Span& s : spans) out_.push_back({s.x0, top, s.x1 - s.x0, bottom - top});
    }
    lastBottom_ = bottom;
  }
  std::vector<BandRect> take() { return std::move(out_); }

 private:
  std::vector<BandRect> out_;
  std::vector<Span> lastSpans_;
  size_t lastStart_ = 0;
  int32_t lastBottom_ = INT32_MIN;
};

}  // namespace

BandDiff diffBands(const std::vector<BandRect>& before, const std::vector<BandRect>& after) {
  const std::vector<Band> a = bandsOf(before), b = bandsOf(after);
  const std::vector<Span> none;
  BandWriter added, removed;
  std::vector<Span> piece;
  size_t i = 0, j = 0;
  int32_t y = INT32_MIN;
  while (i < a.size() || j < b.size()) {
    // The next stretch of rows over which neither shape changes its spans.
    int32_t start = INT32_MAX;
    if (i < a.size()) start = std::min(start, std::max(y, a[i].top));
    if (j < b.size()) start = std::min(start, std::max(y, b[j].top));
    const bool inA = i < a.size() && a[i].top <= start;
    const bool inB = j < b.size() && b[j].top <= start;
    int32_t end = INT32_MAX;
    if (i < a.size()) end = std::min(end, inA ? a[i].bottom : a[i].top);
    if (j < b.size()) end = std::min(end, inB ? b[j].bottom : b[j].top);
    const std::vector<Span>& sa = inA ? a[i].spans : none;
    const std::vector<Span>& sb = inB ? b[j].spans : none;
    subtractSpans(sb, sa, piece);
    added.add(start, end, piece);
    subtractSpans(sa, sb, piece);
    removed.add(start, end, piece);
    y = end;
    if (inA && a[i].bottom <= y) ++i;
    if (inB && b[j].bottom <= y) ++j;
  }
  return {added.take(), removed.take()};
}

void ShapeMask::reset(int32_t width, int32_t height) {
  w_ = width;
  h_ = height;
  rows_.assign(size_t(std::max(0, height)), {});
}

bool ShapeMask::update(const Image& image, Rect r, uint32_t key) {
  r = clipTo(r, std::min(w_, image.width()), std::min(h_, image.height()));
  if (r.empty()) return false;
  const int32_t n = r.right - r.left;
  if (shown_.size() < size_t(n)) shown_.resize(size_t(n));
  bool changed = false;
  for (int32_t y = r.top; y < r.bottom; ++y) {
    auto& runs = rows_[size_t(y)];
    scratch_.clear();
    for (const Span& s : runs) {
      if (s.x0 >= r.left) break;
      appendSpan(scratch_, {s.x0, std::min(s.x1, r.left)});
    }
    // One byte a pixel first, in a loop that vectorises; then the runs are
    // found with memchr, which skips long runs many bytes at a time.
    const uint32_t* px = image.row(y) + r.left;
    uint8_t* shown = shown_.data();
    for (int32_t i = 0; i < n; ++i) shown[i] = px[i] != key;
    for (int32_t x = 0; x < n;) {
      const void* on = std::memchr(shown + x, 1, size_t(n - x));
      if (!on) break;
      const int32_t start = int32_t(static_cast<const uint8_t*>(on) - shown);
      const void* off = std::memchr(shown + start, 0, size_t(n - start));
      x = off ? int32_t(static_cast<const uint8_t*>(off) - shown) : n;
      appendSpan(scratch_, {r.left + start, r.left + x});
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
