#pragma once
// The three panels: the slot list (Picture4), the pet settings (Picture1) and
// the information panel (Picture2), with the panel step that serves requests.
#include <string>
#include <string_view>

#include "model/state.h"
#include "platform/platform.h"
#include "render/image.h"

namespace pet {

// Where control `id` goes, in twips, to stand centred on the primary screen.
Point32 centredTwips(const Platform& p, ControlId id);

class Panels {
 public:
  Panels(State& s, Platform& p);

  // The panel step of every running tick.
  void updatePanels();

  // Slot list.
  void openSlotList();
  void drawSlotList();
  void Picture4_MouseDown(int button, int shift, int32_t xTwips, int32_t yTwips);
  void Picture4_DblClick();
  void VScroll1_Change();
  void Command6_Click();
  void Command7_Click();
  void Command9_Click();
  void Command10_Click();
  void Command11_Click();

  // Pet settings.
  void openPetSettings(int n);
  void refreshPetSettings(int n);
  void createPet(int n);
  void HScroll1_Change();
  void HScroll2_Change();
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void Command4_Click();
  void Command8_Click();

  // Information.
  void showInformation();
  void composeReading();
  void addHistoryLine(int k);
  void Command5_Click();

  // The slot list's surface: the panel's inner area, 311 x 399 pixels.
  const Image& picture4() const { return picture4_; }
  // A pet's settings panel is open or about to open.
  bool settingsOpen() const;

 private:
  void centre(ControlId id);
  void setSettingsLabels(int n);
  void setBarsEnabled(bool enabled);
  void showNewPetMode(int n);
  void closeSettings();
  // Prints at (x, y) twips of Picture4 in `points`.
  void print(int32_t xTwips, int32_t yTwips, double points, std::string_view text);

  // Everything the slot list's picture shows; the picture is redrawn and
  // handed over only when this changes (most ticks it does not).
  std::string slotListKey() const;

  State& s_;
  Platform& p_;
  Image picture4_;
  std::string shownKey_;
};

// Texts the panels show, by value.
std::string growthPeriodText(int16_t growthPeriod);  // empty for other values

}  // namespace pet
