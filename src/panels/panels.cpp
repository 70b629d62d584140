#include "panels/panels.h"

#include <cmath>

#include "model/numbers.h"
#include "model/slots.h"
#include "render/assets.h"
#include "render/draw.h"
#include "sim/life.h"
#include "sim/pet_kinds.h"

namespace pet {

namespace {

constexpr int32_t kTwips = 15;
constexpr int16_t kSlotListRequest = 200;
constexpr int16_t kInformationRequest = 100;

bool isSettingsSlot(int16_t v) {
  return v >= 1 && v <= kMaxPets;
}

// A two-state switch: 0 and 1 swap, any other value stays.
void flip(int16_t& v) {
  if (v == 0)
    v = 1;
  else if (v == 1)
    v = 0;
}

// The outline of a box with both corners included, in pixels.
void frameBox(Image& img, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour) {
  img.fill(Rect{x1, y1, x2 + 1, y1 + 1}, colour);
  img.fill(Rect{x1, y2, x2 + 1, y2 + 1}, colour);
  img.fill(Rect{x1, y1, x1 + 1, y2 + 1}, colour);
  img.fill(Rect{x2, y1, x2 + 1, y2 + 1}, colour);
}

}  // namespace

std::string growthPeriodText(int16_t growthPeriod) {
  switch (growthPeriod) {
    case 1:
      return "設定成長期間：５分";
    case 2:
      return "設定成長期間：１５分";
    case 3:
      return "設定成長期間：３０分";
    case 4:
      return "設定成長期間：５時間";
    default:
      return {};
  }
}

Panels::Panels(State& s, Platform& p) : s_(s), p_(p) {}

Point32 centredTwips(const Platform& p, ControlId id) {
  const ControlSpec& c = control(id);
  const TwipsBox b = primaryScreenTwips(p);
  return {b.left + int32_t(roundHalfEven(b.width / 2.0 - c.width / 2.0)),
          b.top + int32_t(roundHalfEven(b.height / 2.0 - c.height / 2.0))};
}

void Panels::centre(ControlId id) {
  const Point32 at = centredTwips(p_, id);
  p_.moveControl(id, at.x, at.y);
}

bool Panels::settingsOpen() const {
  return isSettingsSlot(s_.settei) || isSettingsSlot(s_.panelSlot);
}

void Panels::updatePanels() {
  if (isSettingsSlot(s_.settei))
    openPetSettings(s_.settei);
  else if (isSettingsSlot(s_.panelSlot))
    refreshPetSettings(s_.panelSlot);
  else if (s_.settei == kInformationRequest)
    showInformation();
  else if (s_.settei == kSlotListRequest)
    openSlotList();
  else if (s_.panelSlot == kSlotListRequest)
    drawSlotList();
}

// ---- Slot list.

void Panels::openSlotList() {
  centre(ControlId::Picture4);
  p_.showControl(ControlId::Picture4, true);
  s_.settei = 0;
  s_.panelSlot = kSlotListRequest;
  p_.showControl(ControlId::VScroll1, false);
  if (s_.petCount >= 6) {
    p_.setScrollRange(ControlId::VScroll1, 0, int16_t(s_.petCount - 5));
    p_.setScrollSteps(ControlId::VScroll1, 1, 5);
    p_.showControl(ControlId::VScroll1, true);
    p_.setScrollValue(ControlId::VScroll1, 0);
  }
  s_.selectedRow = 0;
  s_.listScroll = 0;
  shownKey_.clear();
}

void Panels::print(int32_t xTwips, int32_t yTwips, double points, std::string_view text) {
  p_.drawText(picture4_, xTwips / kTwips, yTwips / kTwips, points, kWindowTextColour, text);
}

std::string Panels::slotListKey() const {
  std::string key;
  auto add = [&key](int16_t v) { key.append(reinterpret_cast<const char*>(&v), sizeof v); };
  auto addText = [&](const std::string& t) {
    add(int16_t(std::min<size_t>(t.size(), 32767)));
    key += t;
  };
  add(s_.listScroll);
  add(s_.petCount);
  add(s_.selectedRow);
  for (int k = s_.listScroll + 1; k <= s_.listScroll + 5 && k <= s_.petCount; ++k) {
    if (k < 0 || k >= kSlots) continue;
    const size_t i = size_t(k);
    for (int16_t v :
         {s_.species[i], s_.dayScore[i], s_.facing[i], s_.walkFrame[i], s_.speed[i], s_.zoom[i]})
      add(v);
    addText(s_.speciesName[i]);
    addText(s_.createdOn[i]);
  }
  return key;
}

void Panels::drawSlotList() {
  for (int k = s_.listScroll + 1; k <= s_.listScroll + 5; ++k)
    if (k <= s_.petCount) assignSpeciesName(s_, k);
  std::string key = slotListKey();
  if (key == shownKey_) return;
  shownKey_ = std::move(key);
  // Made when the list first shows: half a megabyte that most runs never need.
  if (picture4_.width() == 0)
    picture4_ = Image(control(ControlId::Picture4).width / kTwips - 2,
                      control(ControlId::Picture4).height / kTwips - 2);
  picture4_.fill(kPanelColour);
  for (int k = s_.listScroll + 1; k <= s_.listScroll + 5; ++k) {
    if (k > s_.petCount) continue;
    const int r = k - s_.listScroll - 1;
    print(150, 150, 16, "もこぽん設定");
    drawPetPreview(picture4_, s_, k, 20, 64 * r + 40, assets());
    print(1050, (64 * r + 50) * kTwips, 10,
          "スロット" + printedNumber(k) + ":" + s_.speciesName[size_t(k)]);
    print(1200, (64 * r + 65) * kTwips, 10, "速度" + printedNumber(s_.speed[size_t(k)]));
    print(2400, (64 * r + 65) * kTwips, 10, "拡大率" + printedNumber(s_.zoom[size_t(k)]) + "％");
    print(1200, (64 * r + 80) * kTwips, 10, "作成日：" + s_.createdOn[size_t(k)]);
  }
  if (s_.selectedRow >= 1) {
    const int32_t t = 64 * (s_.selectedRow - 1);
    frameBox(picture4_, 270 / kTwips, t + 38, 4050 / kTwips, t + 106, rgb(250, 100, 100));
    frameBox(picture4_, 255 / kTwips, t + 37, 4065 / kTwips, t + 107, rgb(250, 200, 200));
    frameBox(picture4_, 285 / kTwips, t + 39, 4035 / kTwips, t + 105, rgb(250, 200, 200));
  }
  p_.showPicture(ControlId::Picture4, picture4_);
}

void Panels::Picture4_MouseDown(int, int, int32_t x, int32_t y) {
  if (x < 300 || x > 4050 || y < 570) return;
  const auto row = int16_t(std::floor((y - 570) / 960.0) + 1);
  s_.selectedRow = row;
  const int slot = s_.listScroll + row;
  // Row 6 reaches at most slot 51, the spare slot, which is always empty.
  if (slot < 0 || slot >= kSlots || !s_.inUse(slot)) s_.selectedRow = 0;
}

void Panels::Picture4_DblClick() {
  Command6_Click();
}

void Panels::VScroll1_Change() {
  if (s_.panelSlot == kSlotListRequest && s_.petCount > 5)
    s_.listScroll = p_.scrollValue(ControlId::VScroll1);
  p_.setFocus(ControlId::Picture4);
}

void Panels::Command6_Click() {
  if (s_.selectedRow < 1 || s_.selectedRow > 5) return;
  p_.showControl(ControlId::Picture4, false);
  s_.panelSlot = 0;
  s_.settei = int16_t(s_.listScroll + s_.selectedRow);
}

void Panels::Command7_Click() {
  if (s_.petCount > 49) return;
  p_.showControl(ControlId::Picture4, false);
  s_.panelSlot = 0;
  s_.settei = int16_t(s_.petCount + 1);
}

void Panels::Command9_Click() {
  if (s_.selectedRow < 1 || (s_.listScroll == 0 && s_.selectedRow == 1)) return;
  exchangeSlots(s_, s_.listScroll + s_.selectedRow - 1);
  --s_.selectedRow;
  if (s_.selectedRow == 0) {
    s_.selectedRow = 1;
    --s_.listScroll;
  }
}

void Panels::Command10_Click() {
  const int slot = s_.listScroll + s_.selectedRow;
  if (s_.selectedRow < 1 || s_.selectedRow > 5 || slot >= s_.petCount) return;
  exchangeSlots(s_, slot);
  ++s_.selectedRow;
  if (s_.selectedRow == 6) {
    s_.selectedRow = 5;
    ++s_.listScroll;
  }
}

void Panels::Command11_Click() {
  s_.settei = 0;
  s_.panelSlot = 0;
  p_.showControl(ControlId::Picture4, false);
}

// ---- Pet settings.

void Panels::setSettingsLabels(int n) {
  p_.setCaption(ControlId::Label2, "スロット" + numberText(n) + "：" + s_.speciesName[size_t(n)]);
  p_.setCaption(ControlId::Label1, "速度：" + numberText(s_.speed[size_t(n)]));
  p_.setCaption(ControlId::Label3, "拡大率：" + numberText(s_.zoom[size_t(n)]) + "％");
}

// The new-pet view's mode button; the bars are set by hand only in free mode.
void Panels::showNewPetMode(int n) {
  const int16_t mode = s_.criterionMode[size_t(n)];
  if (mode == 0) p_.setCaption(ControlId::Command8, "自由設定モード");
  if (mode == 1) p_.setCaption(ControlId::Command8, "進化基準モード");
  if (mode == 0 || mode == 1) setBarsEnabled(mode == 0);
}

void Panels::setBarsEnabled(bool enabled) {
  p_.setEnabled(ControlId::HScroll1, enabled);
  p_.setEnabled(ControlId::HScroll2, enabled);
}

namespace {
void captionFromChase(Platform& p, int16_t chase) {
  if (chase == 0) p.setCaption(ControlId::Command3, "マウス追跡：OFF");
  if (chase == 1) p.setCaption(ControlId::Command3, "マウス追跡：ON");
}
void captionFromPeriod(Platform& p, ControlId id, int16_t period) {
  std::string text = growthPeriodText(period);
  if (!text.empty()) p.setCaption(id, text);
}
}  // namespace

void Panels::openPetSettings(int n) {
  const size_t i = size_t(n);
  p_.showControl(ControlId::Picture2, false);
  if (s_.growthPeriod[i] > 0) {
    p_.showControl(ControlId::Command4, false);
    p_.showControl(ControlId::Command8, false);
    p_.setCaption(ControlId::Command2, "削除");
    p_.showControl(ControlId::Command2, true);
    centre(ControlId::Picture1);
    p_.showControl(ControlId::Picture1, true);
    setSettingsLabels(n);
    // The bars show the nearest value in their range (a pet shrinking in
    // its evolution is below 100); panelSlot is still 0, so nothing is stored.
    p_.setScrollValue(ControlId::HScroll1, s_.speed[i]);
    p_.setScrollValue(ControlId::HScroll2, s_.zoom[i]);
    captionFromPeriod(p_, ControlId::Label4, s_.growthPeriod[i]);
    captionFromChase(p_, s_.chaseMouse[i]);
  } else {
    s_.speed[i] = kNewPetSpeed;
    s_.zoom[i] = kNewPetZoom;
    s_.growthChoice = kNewPetGrowthPeriod;
    s_.chaseMouse[i] = 0;
    p_.setCaption(ControlId::Command2, "CANCEL");
    if (s_.forceFirstPet == 1) {
      p_.showControl(ControlId::Command2, false);
      s_.forceFirstPet = 0;
    } else if (s_.forceFirstPet == 0) {
      p_.showControl(ControlId::Command2, true);
    }
    p_.showControl(ControlId::Command4, true);
    p_.setCaption(ControlId::Command4, "設定成長期間：５分");
    centre(ControlId::Picture1);
    p_.showControl(ControlId::Picture1, true);
    setSettingsLabels(n);
    p_.setScrollValue(ControlId::HScroll1, s_.speed[i]);
    p_.setScrollValue(ControlId::HScroll2, s_.zoom[i]);
    p_.showControl(ControlId::Command8, true);
    showNewPetMode(n);
    captionFromPeriod(p_, ControlId::Label4, s_.growthChoice);
    captionFromChase(p_, s_.chaseMouse[i]);
  }
  s_.panelSlot = int16_t(n);
  s_.settei = 0;
}

void Panels::refreshPetSettings(int n) {
  const size_t i = size_t(n);
  if (s_.growthPeriod[i] > 0) {
    setSettingsLabels(n);
    if (s_.criterionMode[i] == 0)
      setBarsEnabled(true);
    else if (s_.criterionMode[i] == 1)
      setBarsEnabled(s_.species[i] != 0);
    captionFromPeriod(p_, ControlId::Label4, s_.growthPeriod[i]);
    captionFromChase(p_, s_.chaseMouse[i]);
  } else {
    centre(ControlId::Picture1);
    p_.showControl(ControlId::Picture1, true);
    setSettingsLabels(n);
    showNewPetMode(n);
    captionFromPeriod(p_, ControlId::Command4, s_.growthChoice);
    captionFromChase(p_, s_.chaseMouse[i]);
  }
}

void Panels::HScroll1_Change() {
  if (s_.panelSlot > 0 && s_.panelSlot < kSlots)
    s_.speed[size_t(s_.panelSlot)] = p_.scrollValue(ControlId::HScroll1);
  p_.setFocus(ControlId::Picture1);
}

void Panels::HScroll2_Change() {
  if (s_.panelSlot > 0 && s_.panelSlot < kSlots)
    s_.zoom[size_t(s_.panelSlot)] = p_.scrollValue(ControlId::HScroll2);
  p_.setFocus(ControlId::Picture1);
}

void Panels::Command3_Click() {
  if (isSettingsSlot(s_.panelSlot)) flip(s_.chaseMouse[size_t(s_.panelSlot)]);
}

void Panels::Command4_Click() {
  s_.growthChoice = int16_t(s_.growthChoice >= 4 ? 1 : s_.growthChoice + 1);
}

void Panels::Command8_Click() {
  if (isSettingsSlot(s_.panelSlot)) flip(s_.criterionMode[size_t(s_.panelSlot)]);
}

void Panels::closeSettings() {
  s_.settei = kSlotListRequest;
  s_.panelSlot = 0;
  p_.showControl(ControlId::Picture1, false);
}

void Panels::Command1_Click() {
  if (isSettingsSlot(s_.panelSlot) && !s_.inUse(s_.panelSlot)) createPet(s_.panelSlot);
  closeSettings();
}

void Panels::Command2_Click() {
  if (isSettingsSlot(s_.panelSlot)) deletePet(s_, s_.panelSlot);  // a free slot: cancel
  closeSettings();
}

void Panels::createPet(int n) {
  const size_t i = size_t(n);
  s_.growthPeriod[i] = s_.growthChoice;
  s_.species[i] = 0;
  const TwipsBox b = primaryScreenTwips(p_);
  s_.posX[i] = toInteger((b.left + b.width / 2.0) / kTwips - s_.zoom[i] / 100.0 * 12);
  s_.posY[i] = toInteger((b.top + b.height / 2.0) / kTwips - s_.zoom[i] / 100.0 * 16);
  assignSpeciesName(s_, n);
  s_.createdOn[i] = p_.shortDate();
  s_.evoPhase[i] = 30;
  ++s_.petCount;
  if (s_.criterionMode[i] == 1) {
    s_.zoom[i] = 100;
    s_.speed[i] = 1;
  }
}

// ---- Information.

void Panels::showInformation() {
  centre(ControlId::Picture2);
  p_.showControl(ControlId::Picture2, true);
  s_.settei = 0;
  p_.listClear(ControlId::List1);
  for (int k = 1; k <= 53; ++k) {
    s_.loopIndex = int16_t(k);
    addHistoryLine(k);
  }
  p_.setCaption(ControlId::ZPjoho9, "今までの累計：" + numberText(s_.evolutionCount));
  if (s_.evolutionCount <= 4)
    p_.setCaption(ControlId::ZPjoho8, "情報が不足しています。５回進化させると表示されます。");
  else
    composeReading();
}

void Panels::addHistoryLine(int k) {
  const int16_t tally = s_.speciesTally[size_t(k)];
  if (tally == 0)
    p_.listAdd(ControlId::List1, "--------");
  else if (tally > 0)
    p_.listAdd(ControlId::List1,
               std::string(kSpecies[size_t(k)].name) + "：" + numberText(tally) + "回");
}

void Panels::composeReading() {
  s_.scratch = 0;
  s_.scratch2 = 0;
  const int n = std::min<int>(s_.evolutionCount, 500);
  for (int i = 1; i <= n; ++i) {
    const double e = s_.evolutionLog[size_t(i)];
    if (e > 42) continue;
    const double level = std::floor((e - 1) / 7);
    s_.scratch = clamp16(int64_t(level) + s_.scratch);
    s_.scratch2 = clamp16(int64_t((e - 1) - level * 7) + s_.scratch2 - 3);
  }
  s_.avgMouseLevel = double(s_.scratch) / s_.evolutionCount;
  s_.avgDayScore = double(s_.scratch2) / s_.evolutionCount;
  const double day = s_.avgDayScore, mouse = s_.avgMouseLevel;
  std::string text;
  if (day < -2.5)
    text += "貴方は深夜によくパソコンを使います。";
  else if (day < -1.5)
    text += "貴方は比較的遅い時間によくパソコンを使います。";
  else if (day > 2.5)
    text += "貴方は昼によくパソコンを使います。";
  else if (day > 1.5)
    text += "貴方は比較的昼頃によくパソコンを使います。";
  else
    text += "貴方がパソコンを使う時間はあまり定まっていません。";
  if (mouse < 1)
    text += "貴方はマウスよりキーボードの方が好きです。";
  else if (mouse >= 3)
    text += "貴方はマウスをよく利用しています。";
  else
    text += "貴方は基本的にマウスを使わない作業をよくしています。";
  if (day < -1 && mouse < 2) text += "貴方はニコニコ動画などの動画サイトで動画をよく見ています。";
  if (day > 1 && mouse > 3) text += "貴方の仕事は情報を審査または収集することです。";
  if (day > 1 && mouse < 3) text += "貴方の仕事はデータを管理したり、計算をすることです。";
  if (day < -1 && mouse > 3) text += "貴方はパソコンに関して比較的ライトな使い方をしています。";
  text += "まぁ、結果的に言えば全て当てずっぽうです。";
  p_.setCaption(ControlId::ZPjoho8, text);
}

void Panels::Command5_Click() {
  p_.showControl(ControlId::Picture2, false);
  if (s_.runState == 2) s_.runState = 3;
}

}  // namespace pet
