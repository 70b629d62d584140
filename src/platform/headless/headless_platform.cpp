#include "platform/headless/headless_platform.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/posix/files.h"

namespace pet {

using namespace std::chrono;

HeadlessPlatform::HeadlessPlatform(std::string workDir) : dir_(std::move(workDir)) {
  for (const auto& c : kControls) {
    auto& st = controls_[size_t(c.id)];
    st.visible = c.visibleAtStart;
    st.left = c.left;
    st.top = c.top;
    st.caption = c.caption;
  }
  for (const auto& sc : kScrollSpecs) {
    auto& st = controls_[size_t(sc.id)];
    st.min = sc.min, st.max = sc.max, st.value = sc.value;
    st.smallChange = sc.smallChange, st.largeChange = sc.largeChange;
  }
}

int64_t HeadlessPlatform::localMs(int year, int month, int day, int hour, int minute, int second) {
  auto days = sys_days{std::chrono::year{year} / month / day};
  return duration_cast<milliseconds>(days.time_since_epoch()).count() +
         ((hour * 60LL + minute) * 60LL + second) * 1000LL;
}

LocalTime HeadlessPlatform::now() {
  auto ms = milliseconds{clockMs_};
  auto days = floor<std::chrono::days>(ms);
  year_month_day ymd{sys_days{days}};
  int64_t rest = (ms - days).count();
  LocalTime t;
  t.year = int(ymd.year());
  t.month = int(unsigned(ymd.month()));
  t.day = int(unsigned(ymd.day()));
  t.hour = int(rest / 3600000);
  t.minute = int(rest / 60000 % 60);
  t.second = int(rest / 1000 % 60);
  t.millisecond = int(rest % 1000);
  return t;
}

std::string HeadlessPlatform::shortDate() {
  LocalTime t = now();
  char b[16];
  std::snprintf(b, sizeof b, "%04d/%02d/%02d", t.year, t.month, t.day);
  return b;
}

void HeadlessPlatform::seedRandom(double secondsSinceMidnight) {
  // Same clock and same seed give the same pets' walks.
  rng_.seed(seedBase_ * 1000003ULL +
            static_cast<uint64_t>(std::llround(secondsSinceMidnight * 1000)));
}

double HeadlessPlatform::random() {
  if (nextQueued_ < queued_.size()) return queued_[nextQueued_++];
  return static_cast<double>(rng_() >> 11) * 0x1.0p-53;
}

void HeadlessPlatform::setKeyPreview(bool on) {
  windowCalls_.push_back(on ? "keyPreview on" : "keyPreview off");
}
void HeadlessPlatform::setBackgroundColour(uint32_t rgb) {
  windowCalls_.push_back("background " + std::to_string(rgb));
}
void HeadlessPlatform::placeWindow(int32_t l, int32_t t, int32_t w, int32_t h) {
  windowCalls_.push_back("place " + std::to_string(l) + " " + std::to_string(t) + " " +
                         std::to_string(w) + " " + std::to_string(h));
}
void HeadlessPlatform::setColourKey(uint32_t rgb) {
  windowCalls_.push_back("colourKey " + std::to_string(rgb));
}
void HeadlessPlatform::makeTopmostAndShow() {
  windowCalls_.push_back("topmost");
}

std::vector<std::string> HeadlessPlatform::listFiles() {
  return posix::listFiles(dir_);
}
std::optional<std::string> HeadlessPlatform::readFile(const std::string& name) {
  return posix::readFile(dir_, name);
}
bool HeadlessPlatform::writeFileAtomic(const std::string& name, std::string_view bytes) {
  if (writesFail_) return false;
  return posix::writeFileAtomic(dir_, name, bytes);
}
bool HeadlessPlatform::writeCopy(const std::string& original, const std::string& copyName,
                                 std::string_view bytes) {
  if (writesFail_) return false;
  return posix::writeCopy(dir_, original, copyName, bytes);
}

void HeadlessPlatform::setScrollRange(ControlId id, int16_t min, int16_t max) {
  auto& st = ctl(id);
  st.min = min;
  st.max = max;
  // A value outside the new range moves into it, as a real scroll bar's does.
  setScrollValue(id, st.value);
}
void HeadlessPlatform::setScrollValue(ControlId id, int16_t value) {
  auto& st = ctl(id);
  value = std::clamp(value, st.min, std::max(st.min, st.max));
  if (value == st.value) return;
  st.value = value;
  if (scrollChange_) scrollChange_(id);
}

void HeadlessPlatform::drawText(Image& image, int32_t x, int32_t y, double points, uint32_t rgb,
                                std::string_view text) {
  // A stand-in face: one filled box a character, half as wide as high for
  // single-byte characters, square for the others, one pixel apart.
  const int32_t h = std::max<int32_t>(1, int32_t(std::lround(points * 96.0 / 72.0)));
  int32_t cx = x;
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    int32_t w = len == 1 ? std::max(1, h / 2) : h;
    if (c != ' ') image.fill(Rect{cx, y, cx + w - 1, y + h}, rgb);
    cx += w;
    i += len;
  }
}

void HeadlessPlatform::presentOverlay(const Image& overlay, const std::vector<Rect>& changed) {
  lastPresented_ = changed;
  if (screen_.width() != overlay.width() || screen_.height() != overlay.height()) {
    screen_ = overlay;
  } else {
    for (const Rect& r : changed) {
      const Rect c = clipTo(r, overlay.width(), overlay.height());
      for (int32_t y = c.top; y < c.bottom; ++y)
        std::copy(overlay.row(y) + c.left, overlay.row(y) + c.right, screen_.row(y) + c.left);
    }
  }
  ++presentCount_;
}

}  // namespace pet
