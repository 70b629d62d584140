#include "shell/form2.h"

#include <algorithm>
#include <cmath>

#include "input/mouse.h"
#include "model/numbers.h"
#include "model/slots.h"
#include "render/assets.h"
#include "shell/timetext.h"
#include "sim/life.h"

namespace pet {

namespace {
constexpr int kEscape = 27;
constexpr int32_t kTwipsPerPixel = 15;
}  // namespace

Form2::Form2(Platform& platform, bool incrementalDrawing)
    : p_(platform), data_(platform), panels_(s_, platform), incremental_(incrementalDrawing) {}

void Form2::Form_Load() {
  p_.setKeyPreview(true);
  p_.setBackgroundColour(kKeyColour);
  p_.placeWindow(0, 0, p_.screenWidthTwips(), p_.screenHeightTwips());
  p_.setColourKey(kKeyColour);
  p_.makeTopmostAndShow();
  monitors_ = p_.monitors();
  overlay_ = Overlay(p_.screenWidthTwips() / kTwipsPerPixel,
                     p_.screenHeightTwips() / kTwipsPerPixel, incremental_);
  const Assets& art = assets();
  p_.showPicture(ControlId::Picture3, art.splash);
  std::vector<const Image*> icons;
  for (const auto& icon : art.icons) icons.push_back(&icon);
  p_.setIcons(icons);
}

void Form2::screenChanged() {
  if (ended_) return;
  const int32_t w = p_.screenWidthTwips() / kTwipsPerPixel;
  const int32_t h = p_.screenHeightTwips() / kTwipsPerPixel;
  // A screen of no size is reported for a moment while monitors change.
  if (w <= 0 || h <= 0) return;
  const bool sameSize = w == overlay_.image().width() && h == overlay_.image().height();
  if (sameSize && p_.monitors() == monitors_) return;
  monitors_ = p_.monitors();
  p_.placeWindow(0, 0, w * kTwipsPerPixel, h * kTwipsPerPixel);
  recentrePanels();
  if (sameSize) return;
  overlay_ = Overlay(w, h, incremental_);
  drewFrame_ = false;
  // The platform may hold on to the old picture's pixels: hand it the new one
  // whole now; the next frame draws the pets into it.
  p_.presentOverlay(overlay_.image(), {Rect{0, 0, w, h}});
}

void Form2::placeAboutInWelcome() {
  // The about picture sits inside the welcome panel, 24 and 152 pixels in.
  const Point32 welcome = centredTwips(p_, ControlId::Picture2);
  p_.moveControl(ControlId::Picture3, welcome.x + 24 * kTwipsPerPixel,
                 welcome.y + 152 * kTwipsPerPixel);
}

void Form2::recentrePanels() {
  // Every panel opens centred; one open as the screen changes would
  // otherwise stay where the old screen's middle was, perhaps out of reach.
  // A hidden one is centred again as it opens.
  for (ControlId id : {ControlId::Picture1, ControlId::Picture2, ControlId::Picture4}) centre(id);
  if (s_.runState >= 1 && s_.runState <= 3)
    placeAboutInWelcome();
  else
    centre(ControlId::Picture3);
}

void Form2::Form_KeyDown(int keyCode, int /*shift*/) {
  if (ended_) return;
  // At once, but not losing what changed since the last minute's save.
  if (keyCode == kEscape) saveAndEnd();
}

void Form2::endNow() {
  ended_ = true;
  p_.endProgram();
}

void Form2::saveAndEnd() {
  if (holdsUsersPets() && !nothingToKeep()) data_.saveData(s_);
  endNow();
}

void Form2::Timer1_Timer() {
  if (ended_) return;
  drewFrame_ = false;
  if (s_.owaru == 1) {
    saveAndEnd();
    return;
  }
  switch (s_.runState) {
    case 0:
      startUp();
      break;
    case 1:
      centre(ControlId::Picture2);
      p_.showControl(ControlId::Picture2, true);
      placeAboutInWelcome();
      p_.showControl(ControlId::Picture3, true);
      s_.runState = 2;
      break;
    case 2:
      break;  // waits for OK
    case 3:
      p_.showControl(ControlId::Picture3, false);
      s_.forceFirstPet = 1;
      s_.settei = 1;
      s_.runState = 10;
      break;
    case 8:
      loadBehindSplash();
      break;
    case 9:
      splashWait();
      break;
    case 10:
      runningTick();
      break;
    default:
      break;
  }
}

void Form2::startUp() {
  LocalTime now = p_.now();
  p_.seedRandom(secondsSinceMidnight(now));
  s_.lastMinute = hhnnText(now);
  s_.scratch = 0;
  for (const auto& name : p_.listFiles())
    if (name == kDataFileName) s_.scratch = 1;
  s_.runState = s_.scratch == 1 ? 8 : 1;
  firstRun_ = s_.scratch != 1;
}

void Form2::loadBehindSplash() {
  data_.probeDataVersion(s_);
  bool converted = true;
  if (s_.fileVersion == "VER100") {
    data_.loadLegacyData(s_);
    compactSlots(s_);
    // If the converted file could not be written, the old file must not be
    // read as the new layout: go on with what the conversion loaded.
    converted = data_.saveData(s_);
  }
  if (converted) data_.loadData(s_);
  resumeInterruptedEvolutions(s_);
  s_.lastMinute = timeOfDayText(p_.now());
  s_.scratch = 0;
  centre(ControlId::Picture3);
  p_.showControl(ControlId::Picture3, true);
  s_.runState = 9;
}

void Form2::splashWait() {
  std::string now = timeOfDayText(p_.now());
  if (now == s_.lastMinute) return;
  s_.lastMinute = now;
  bump(s_.scratch);
  if (s_.scratch == 3) {
    p_.showControl(ControlId::Picture3, false);
    s_.runState = 10;
  }
}

void Form2::centre(ControlId id) {
  const Point32 at = centredTwips(p_, id);
  p_.moveControl(id, at.x, at.y);
}

void Form2::runningTick() {
  updatePanels();
  minuteStep();
  frameStep();
}

void Form2::updatePanels() {
  panels_.updatePanels();
}

void Form2::minuteStep() {
  LocalTime now = p_.now();
  std::string hhnn = hhnnText(now);
  if (hhnn == s_.lastMinute) return;
  minuteBookkeeping(s_, now.hour);
  s_.lastMinute = hhnn;
  data_.saveData(s_);
  if (!news_.empty()) tellNews();
}

void Form2::frameStep() {
  // Pets in the last phase of the shrink take their new species this frame.
  evolving_.clear();
  for (int slot = 1; slot <= s_.petCount && slot < kSlots; ++slot)
    if (s_.evoPhase[size_t(slot)] == 11) evolving_.push_back(slot);
  FrameContext ctx{p_, overlay_, timeOfDayText(p_.now())};
  const SlotInts phases = s_.evoPhase;
  pet::frameStep(s_, ctx);
  drewFrame_ = true;
  // A pet's picture follows its phase a tick late.
  phaseMoved_ = phases != s_.evoPhase;
  if (!evolving_.empty() || !news_.empty()) gatherNews(evolving_);
}

void Form2::gatherNews(const std::vector<int>& evolving) {
  for (int slot : evolving)
    if (s_.evoPhase[size_t(slot)] == 12) news_.emplace_back(slot, s_.speciesName[size_t(slot)]);
  // Pets that started evolving in the same minute finish within seconds of
  // each other: one message for all of them.
  for (int slot = 1; slot <= s_.petCount && slot < kSlots; ++slot)
    if (s_.evoPhase[size_t(slot)] >= 1 && s_.evoPhase[size_t(slot)] <= 11) return;
  if (!news_.empty()) tellNews();
}

void Form2::tellNews() {
  std::string text;
  if (news_.size() == 1) {
    text = "スロット" + std::to_string(news_[0].first) + "のペットが「" + news_[0].second +
           "」に進化しました。";
  } else {
    for (size_t i = 0; i < news_.size(); ++i)
      text += (i ? "、スロット" : "スロット") + std::to_string(news_[i].first) + "が「" +
              news_[i].second + "」に";
    text += "進化しました。";
  }
  news_.clear();
  p_.announce(text);
}

namespace {
constexpr int kQuietForever = 32767;

// Ticks before the pet in `slot` takes a step: its tick counter grows by one
// a tick (stopping at 32767) and it steps once the counter reaches the frame
// rate over its speed.
int ticksBeforeStep(const State& s, int slot) {
  const double need = std::ceil(double(s.frameRate) / double(s.speed[size_t(slot)]));
  if (!(need <= 32767)) return kQuietForever;  // never (or a speed of 0)
  const int64_t j = std::max<int64_t>(1, int64_t(need) - s.moveTicks[size_t(slot)]);
  return int(std::min<int64_t>(j - 1, kQuietForever));
}
}  // namespace

int Form2::quietTicks(bool petsShown) const {
  if (ended_ || s_.owaru == 1) return 0;
  // The welcome panel waits for its button, the splash for the clock's second.
  if (s_.runState == 2 || s_.runState == 9) return kQuietForever;
  if (s_.runState != 10) return 0;
  // Requests and open panels are served on the next tick; news waits for it.
  if (s_.settei != 0 || s_.panelSlot != 0 || !news_.empty()) return 0;
  int quiet = kQuietForever;
  for (int slot = 1; slot <= s_.petCount && slot < kSlots; ++slot) {
    if (!s_.inUse(slot)) continue;
    const int16_t phase = s_.evoPhase[size_t(slot)];
    // The new species and its news come at their own tick.
    if (phase >= 10 && phase <= 12) return 0;
    if (!petsShown) continue;
    // Countdown and regrowth phases move on with the clock's second only.
    if ((phase >= 3 && phase <= 9) || (phase >= 31 && phase <= 34)) continue;
    if (phase != 0) return 0;
    if (s_.grabbed[size_t(slot)] == 0) quiet = std::min(quiet, ticksBeforeStep(s_, slot));
  }
  // The picture shows the pets as they are only once a frame was drawn since
  // the splash went or the screen changed, and a pet's picture follows its
  // phase a tick late.
  if (petsShown && (!drewFrame_ || phaseMoved_)) return 0;
  return quiet;
}

void Form2::Fpss_Timer() {
  if (ended_) return;
  bump(s_.fpsCount);
  std::string now = timeOfDayText(p_.now());
  if (now != s_.fpsSecond) {
    s_.fpsSecond = now;
    s_.frameRate = s_.fpsCount;
    s_.fpsCount = 0;
  }
}

void Form2::Command5_Click() {
  if (!ended_) panels_.Command5_Click();
}

}  // namespace pet

namespace pet {

void Form2::controlClicked(ControlId id) {
  if (ended_) return;
  using C = ControlId;
  switch (id) {
    case C::Command1:
      panels_.Command1_Click();
      break;
    case C::Command2:
      panels_.Command2_Click();
      break;
    case C::Command3:
      panels_.Command3_Click();
      break;
    case C::Command4:
      panels_.Command4_Click();
      break;
    case C::Command5:
      panels_.Command5_Click();
      break;
    case C::Command6:
      panels_.Command6_Click();
      break;
    case C::Command7:
      panels_.Command7_Click();
      break;
    case C::Command8:
      panels_.Command8_Click();
      break;
    case C::Command9:
      panels_.Command9_Click();
      break;
    case C::Command10:
      panels_.Command10_Click();
      break;
    case C::Command11:
      panels_.Command11_Click();
      break;
    default:
      break;
  }
}

void Form2::scrollChanged(ControlId id) {
  if (ended_) return;
  if (id == ControlId::HScroll1) panels_.HScroll1_Change();
  if (id == ControlId::HScroll2) panels_.HScroll2_Change();
  if (id == ControlId::VScroll1) panels_.VScroll1_Change();
}

void Form2::panelMouseDown(int button, int32_t xTwips, int32_t yTwips) {
  if (!ended_) panels_.Picture4_MouseDown(button, 0, xTwips, yTwips);
}

void Form2::panelDblClick() {
  if (!ended_) panels_.Picture4_DblClick();
}

void Form2::Form_MouseDown(int button, int, int, int) {
  if (!ended_) mouseDown(s_, button);
}
void Form2::Form_MouseMove(int, int, int, int) {
  if (!ended_) mouseMove(s_);
}
void Form2::Form_MouseUp(int, int, int, int) {
  if (!ended_) mouseUp(s_);
}

}  // namespace pet
