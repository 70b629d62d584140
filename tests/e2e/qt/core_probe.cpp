// Tells the desktop end-to-end tests where the core puts its panels, by
// running the same core on the headless platform. Prints one JSON object.
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "model/datafile.h"
#include "platform/headless/headless_platform.h"
#include "shell/form2.h"

namespace {

using pet::ControlId;

struct Program {
  std::string dir;
  pet::HeadlessPlatform platform;
  pet::Form2 form{platform};

  explicit Program(bool withPet) : dir(makeDir()), platform(dir) {
    platform.setClock(pet::HeadlessPlatform::localMs(2026, 12, 10, 9, 30, 0));
    if (withPet) {
      pet::State s;
      s.petCount = 1;
      s.growthPeriod[1] = 1;
      s.posX[1] = 100;
      s.posY[1] = 100;
      s.zoom[1] = 100;
      s.speed[1] = 5;
      s.createdOn[1] = "2026/01/01";
      platform.writeFileAtomic(pet::kDataFileName, pet::formatData(s));
    }
    form.Form_Load();
  }
  ~Program() { std::filesystem::remove_all(dir); }
  static std::string makeDir() {
    std::string t = (std::filesystem::temp_directory_path() / "deskpet-probe-XXXXXX").string();
    return ::mkdtemp(t.data());
  }
  void tick(int n) {
    for (int i = 0; i < n && !form.ended(); ++i) {
      platform.advance(16);
      form.Fpss_Timer();
      form.Timer1_Timer();
    }
  }
  void runUntilRunning() {
    for (int i = 0; i < 2000 && form.state().runState != 10; ++i) tick(1);
    tick(3);
  }
  // The window-level panels showing, with their places in twips.
  std::string panels() const {
    std::string out = "[";
    for (const auto& c : pet::kControls) {
      if (c.parent != ControlId::Count) continue;
      const auto& st = platform.controlState(c.id);
      if (!st.visible) continue;
      if (out.size() > 1) out += ",";
      out += "{\"name\":\"" + std::string(c.name) + "\",\"left\":" + std::to_string(st.left) +
             ",\"top\":" + std::to_string(st.top) + ",\"width\":" + std::to_string(c.width) +
             ",\"height\":" + std::to_string(c.height) + "}";
    }
    return out + "]";
  }
};

}  // namespace

int main() {
  std::string slotList, info, welcome, afterWelcome;
  {
    Program p(true);
    p.runUntilRunning();
    p.form.requestPanel(200);
    p.tick(5);
    slotList = p.panels();
  }
  {
    Program p(true);
    p.runUntilRunning();
    p.form.requestPanel(100);
    p.tick(5);
    info = p.panels();
  }
  {
    Program p(false);
    p.tick(5);
    welcome = p.panels();
    p.form.controlClicked(ControlId::Command5);
    p.tick(5);
    afterWelcome = p.panels();
  }
  std::printf("{\"slotList\":%s,\"info\":%s,\"welcome\":%s,\"afterWelcome\":%s}\n",
              slotList.c_str(), info.c_str(), welcome.c_str(), afterWelcome.c_str());
  return 0;
}
