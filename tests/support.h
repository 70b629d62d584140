#pragma once
// Shared helpers of the tests: a fresh working directory and a started program.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/headless/headless_platform.h"
#include "shell/form2.h"

namespace pet::test {

// A temporary working directory, removed with its contents afterwards.
class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "deskpet-XXXXXX").string();
    path_ = ::mkdtemp(tmpl.data());
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream(file(name), std::ios::binary) << bytes;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(file(name), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  bool exists(const std::string& name) const { return std::filesystem::exists(file(name)); }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (auto& e : std::filesystem::directory_iterator(path_)) out.push_back(e.path().filename());
    std::sort(out.begin(), out.end());
    return out;
  }

 private:
  std::string path_;
};

// Lines of a data file in the current layout, written from the layout table
// (not by the program), so the program's reader and writer are checked against it.
struct SlotLines {
  int growthPeriod = 0, posX = 0, posY = 0, dayScore = 0, mouseLevel = 0, stageMinutes = 0,
      mouseTravel = 0, species = 0, zoom = 0, speed = 0, chaseMouse = 0, growthStage = 0,
      chaseMinutes = 0;
  std::string createdOn;
  int criterionMode = 0;
};

inline std::string num(long v) {
  return (v < 0 ? "" : " ") + std::to_string(v) + " ";
}

inline std::vector<std::string> slotLines(const SlotLines& p, bool legacy) {
  std::vector<std::string> l = {num(p.growthPeriod), num(p.posX),       num(p.posY),
                                num(p.dayScore),     num(p.mouseLevel), num(p.stageMinutes),
                                num(p.mouseTravel),  num(p.species),    num(p.zoom),
                                num(p.speed),        num(p.chaseMouse), num(p.growthStage),
                                num(p.chaseMinutes)};
  if (!legacy) {
    l.push_back(p.createdOn);
    l.push_back(num(p.criterionMode));
  }
  return l;
}

struct DataLines {
  std::string tag = "VER110";  // empty: the legacy layout
  int evolutionCount = 0;
  std::vector<int> log = std::vector<int>(501, 0);
  std::vector<int> tally = std::vector<int>(101, 0);
  int petCount = 0;
  std::vector<SlotLines> slots = std::vector<SlotLines>(50);

  std::vector<std::string> lines() const {
    bool legacy = tag.empty();
    std::vector<std::string> l;
    if (!legacy) l.push_back(tag);
    l.push_back(num(evolutionCount));
    for (int v : log) l.push_back(num(v));
    for (int v : tally) l.push_back(num(v));
    if (!legacy) l.push_back(num(petCount));
    for (int i = 0; i < (legacy ? 5 : 50); ++i)
      for (auto& x : slotLines(slots[size_t(i)], legacy)) l.push_back(x);
    return l;
  }
  std::string bytes(const std::string& eol = "\r\n") const { return join(lines(), eol); }
  // The file with some lines (counted from 1) replaced.
  std::string with(const std::vector<std::pair<size_t, std::string>>& changes) const {
    std::vector<std::string> l = lines();
    for (const auto& [line, text] : changes) l[line - 1] = text;
    return join(l);
  }
  static std::string join(const std::vector<std::string>& lines, const std::string& eol = "\r\n") {
    std::string out;
    for (auto& x : lines) out += x + eol;
    return out;
  }
};

inline SlotLines pet(int growthPeriod, int posX, int posY, const std::string& date = "2026/01/01") {
  SlotLines p;
  p.growthPeriod = growthPeriod;
  p.posX = posX;
  p.posY = posY;
  p.zoom = 100;
  p.speed = 5;
  p.createdOn = date;
  return p;
}

// The program on the headless platform in a temporary directory, clock at
// 2026-12-10 09:30:00 unless a test moves it.
struct Program {
  TempDir dir;
  HeadlessPlatform platform{dir.path()};
  Form2 form{platform};
  State& s = form.state();

  Program() {
    platform.setClock(HeadlessPlatform::localMs(2026, 12, 10, 9, 30, 0));
    platform.onScrollChange([this](ControlId id) { form.scrollChanged(id); });
  }
  void load() { form.Form_Load(); }
  void tick(int n = 1, int ms = 16) {
    for (int i = 0; i < n && !form.ended(); ++i) {
      platform.advance(ms);
      form.Fpss_Timer();
      form.Timer1_Timer();
    }
  }
  // Starts with `bytes` as the data file, up to the running state.
  void startWith(const std::string& bytes) {
    dir.write("zpdata.mrdt", bytes);
    load();
    runUntilRunning();
  }
  // Ticks until the running state, at most `limit` ticks.
  void runUntilRunning(int limit = 1000) {
    for (int i = 0; i < limit && s.runState != 10 && !form.ended(); ++i) tick();
  }
};

}  // namespace pet::test
