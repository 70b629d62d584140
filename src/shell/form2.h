#pragma once
// The program window: owns every variable and routes each event to its handler.
#include <string>
#include <utility>
#include <vector>

#include "model/datafile.h"
#include "model/state.h"
#include "panels/panels.h"
#include "platform/platform.h"
#include "render/overlay.h"

namespace pet {

class Form2 {
 public:
  // incrementalDrawing = false redraws the whole overlay every frame (a
  // reference for tests; the result must be the same).
  explicit Form2(Platform& platform, bool incrementalDrawing = true);

  State& state() { return s_; }
  const State& state() const { return s_; }
  DataStore& dataStore() { return data_; }
  Platform& platform() { return p_; }
  // True once the program has ended (Escape or a served quit request); every
  // entry point then does nothing.
  bool ended() const { return ended_; }

  void Form_Load();
  // The play area changed (a new resolution, another monitor made primary,
  // monitors added or removed, pets let onto every monitor or back to one):
  // the window and its picture take the size the platform now reports. Pets
  // beyond the new edges or off every monitor come back at their next step.
  // Does nothing when neither the size nor the monitors changed.
  void screenChanged();
  void Form_KeyDown(int keyCode, int shift);
  void Timer1_Timer();
  // How many of the ticks that follow (each an Fpss_Timer then a Timer1_Timer)
  // are sure to change nothing but tick counters, provided no event comes,
  // the cursor stays where the last tick found it and the clock stays within
  // its current second. A platform may sleep through them and run them later,
  // back to back, each told the time it was due at; the results are the same.
  // 0 when the next tick may change something. With `petsShown` false (the
  // pets hidden) their pictures and places are seen by no one and do not
  // count: only panels, requests and news do.
  int quietTicks(bool petsShown = true) const;
  void Fpss_Timer();
  void Command5_Click();
  // Mouse events of the overlay itself (over pet pixels, or captured after a
  // press); the coordinates are not used: the last tick's cursor sample is.
  void Form_MouseDown(int button, int shift, int x, int y);
  void Form_MouseMove(int button, int shift, int x, int y);
  void Form_MouseUp(int button, int shift, int x, int y);

  Overlay& overlay() { return overlay_; }
  Panels& panels() { return panels_; }

  // Control events, as a platform delivers them: a button's click, a scroll
  // bar's change (by the user or by the program), a press and a double-click
  // on the slot list surface Picture4 (x, y in twips inside it).
  void controlClicked(ControlId id);
  void scrollChanged(ControlId id);
  void panelMouseDown(int button, int32_t xTwips, int32_t yTwips);
  void panelDblClick();

  // Requests from outside the window (a tray menu, signals): they write the
  // public members as any outside writer would.
  void requestQuit() { s_.owaru = 1; }
  void requestPanel(int16_t request) { s_.settei = request; }
  // Whether a panel request now would be lost: a pet's settings panel is
  // open or about to open, and closing it asks for the slot list over any
  // request that waited (a tray menu greys its panel items meanwhile).
  bool panelRequestsWait() const { return s_.runState != 10 || panels_.settingsOpen(); }
  // Whether memory holds the user's pets, so that ending saves them. Not
  // before the data file is read (the first tick, or found but not yet
  // loaded): a save then would overwrite the pets with empty slots.
  bool holdsUsersPets() const { return s_.runState != 0 && s_.runState != 8; }

 private:
  void endNow();
  // Saves when memory holds the user's pets, then ends.
  void saveAndEnd();
  // A first run that has neither its first pet nor a file yet: nothing is
  // the user's, and a file with no pets would skip the welcome next time,
  // leaving no way to a first pet where there is no tray.
  bool nothingToKeep() const { return firstRun_ && s_.petCount == 0 && !data_.wroteFile(); }
  // Pets that evolved since the news was last told, as (slot, species name);
  // told as one message once no pet is mid-evolution.
  void gatherNews(const std::vector<int>& evolving);
  void tellNews();
  void startUp();
  void loadBehindSplash();
  void splashWait();
  void runningTick();
  void updatePanels();
  void minuteStep();
  void frameStep();
  void centre(ControlId id);
  void recentrePanels();
  void placeAboutInWelcome();

  Platform& p_;
  State s_;
  DataStore data_;
  Overlay overlay_;
  Panels panels_;
  bool ended_ = false;
  bool firstRun_ = false;  // no data file was found at start
  std::vector<std::pair<int, std::string>> news_;
  std::vector<int> evolving_;
  std::vector<Rect> monitors_;  // as the window was last placed for
  bool incremental_ = true;
  bool phaseMoved_ = false;  // a pet's phase changed in the last frame
  bool drewFrame_ = false;   // the last tick drew a frame
};

}  // namespace pet
