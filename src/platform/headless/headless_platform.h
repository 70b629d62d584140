#pragma once
// A platform without a window: a clock you set, a cursor you place, controls
// recorded as data and images you can read. Files are real, in a working directory.
#include <array>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace pet {

class HeadlessPlatform : public Platform {
 public:
  struct ControlState {
    bool visible = false;
    int32_t left = 0, top = 0;
    std::string caption;
    bool enabled = true;
    int16_t min = 0, max = 0, value = 0, smallChange = 1, largeChange = 1;
    std::vector<std::string> items;
  };

  explicit HeadlessPlatform(std::string workDir = ".");

  // ---- Set-up by tests and the replay tool.
  // Local clock, as milliseconds since 1970-01-01 00:00 of the local calendar.
  void setClock(int64_t localMs) { clockMs_ = localMs; }
  int64_t clock() const { return clockMs_; }
  void advance(int64_t ms) { clockMs_ += ms; }
  static int64_t localMs(int year, int month, int day, int hour, int minute, int second);
  void setScreenPixels(int32_t w, int32_t h) { screenW_ = w, screenH_ = h; }
  void setCursor(int32_t x, int32_t y) { cursor_ = {x, y}; }
  void setMonitors(std::vector<Rect> monitors) { monitors_ = std::move(monitors); }
  void setSeed(uint64_t seed) { seedBase_ = seed; }
  // Values that random() returns, in order, before the generator takes over again.
  void queueRandom(std::vector<double> values) {
    queued_.insert(queued_.end(), values.begin(), values.end());
  }
  // Makes every file write fail, as a full disk would.
  void setWritesFail(bool fail) { writesFail_ = fail; }
  // Receives every change of a scroll bar's value, as the window's change
  // events would (the core's Form2::scrollChanged).
  void onScrollChange(std::function<void(ControlId)> f) { scrollChange_ = std::move(f); }
  // A user's click and a user's move of a scroll bar.
  ControlId focus() const { return focus_; }

  // ---- Readings.
  const ControlState& controlState(ControlId id) const { return controls_[size_t(id)]; }
  bool endCalled() const { return endCalled_; }
  const std::vector<std::string>& problems() const { return problems_; }
  const std::vector<std::string>& announcements() const { return announcements_; }
  const std::vector<std::string>& windowCalls() const { return windowCalls_; }
  const std::vector<Rect>& lastPresented() const { return lastPresented_; }
  int64_t presentCount() const { return presentCount_; }
  // What a window showing the overlay would show: the presented rectangles
  // copied from it, the whole picture when its size changes.
  const Image& screen() const { return screen_; }
  const std::string& workDir() const { return dir_; }

  // ---- Platform.
  int32_t screenWidthTwips() const override { return screenW_ * 15; }
  int32_t screenHeightTwips() const override { return screenH_ * 15; }
  const std::vector<Rect>& monitors() const override { return monitors_; }
  void setKeyPreview(bool on) override;
  void setBackgroundColour(uint32_t rgb) override;
  void placeWindow(int32_t l, int32_t t, int32_t w, int32_t h) override;
  void setColourKey(uint32_t rgb) override;
  void makeTopmostAndShow() override;
  Point32 cursorPos() override { return cursor_; }
  LocalTime now() override;
  std::string shortDate() override;
  void seedRandom(double secondsSinceMidnight) override;
  double random() override;
  std::vector<std::string> listFiles() override;
  std::optional<std::string> readFile(const std::string& name) override;
  bool writeFileAtomic(const std::string& name, std::string_view bytes) override;
  bool writeCopy(const std::string& original, const std::string& copyName,
                 std::string_view bytes) override;
  void reportProblem(std::string_view text) override { problems_.emplace_back(text); }
  void announce(std::string_view text) override { announcements_.emplace_back(text); }
  void showControl(ControlId id, bool visible) override { ctl(id).visible = visible; }
  void moveControl(ControlId id, int32_t l, int32_t t) override {
    ctl(id).left = l, ctl(id).top = t;
  }
  void setCaption(ControlId id, std::string_view text) override { ctl(id).caption = text; }
  void setEnabled(ControlId id, bool enabled) override { ctl(id).enabled = enabled; }
  void setScrollRange(ControlId id, int16_t min, int16_t max) override;
  void setScrollValue(ControlId id, int16_t value) override;
  int16_t scrollValue(ControlId id) const override { return controls_[size_t(id)].value; }
  void listClear(ControlId id) override { ctl(id).items.clear(); }
  void listAdd(ControlId id, std::string_view line) override { ctl(id).items.emplace_back(line); }
  void setFocus(ControlId id) override { focus_ = id; }
  void setScrollSteps(ControlId id, int16_t small, int16_t large) override {
    ctl(id).smallChange = small, ctl(id).largeChange = large;
  }
  void drawText(Image& image, int32_t x, int32_t y, double points, uint32_t rgb,
                std::string_view text) override;
  void presentOverlay(const Image& overlay, const std::vector<Rect>& changed) override;
  void showPicture(ControlId id, const Image& image) override { pictures_[size_t(id)] = &image; }
  void setIcons(const std::vector<const Image*>& icons) override { iconCount_ = icons.size(); }
  void endProgram() override { endCalled_ = true; }
  const Image* picture(ControlId id) const { return pictures_[size_t(id)]; }

 private:
  ControlState& ctl(ControlId id) { return controls_[size_t(id)]; }

  std::string dir_;
  int64_t clockMs_ = 0;
  int32_t screenW_ = 1920, screenH_ = 1080;
  Point32 cursor_;
  std::vector<Rect> monitors_;
  uint64_t seedBase_ = 0;
  std::mt19937_64 rng_;
  std::vector<double> queued_;
  size_t nextQueued_ = 0;
  bool writesFail_ = false;
  std::function<void(ControlId)> scrollChange_;
  ControlId focus_ = ControlId::Count;
  bool endCalled_ = false;
  std::array<ControlState, kControlCount> controls_;
  std::array<const Image*, kControlCount> pictures_{};
  size_t iconCount_ = 0;
  std::vector<std::string> problems_;
  std::vector<std::string> announcements_;
  std::vector<std::string> windowCalls_;
  std::vector<Rect> lastPresented_;
  Image screen_;
  int64_t presentCount_ = 0;
};

}  // namespace pet
