#include "model/state_json.h"

#include <cstdio>
#include <string_view>

namespace pet {

void appendJsonString(std::string& out, std::string_view text) {
  out += '"';
  for (char ch : text) {
    auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c < 0x20) {
      char b[8];
      std::snprintf(b, sizeof b, "\\u%04x", c);
      out += b;
    } else {
      out += ch;
    }
  }
  out += '"';
}

namespace {
void key(std::string& out, std::string_view name) {
  if (out.back() != '{' && out.back() != '[') out += ',';
  appendJsonString(out, name);
  out += ':';
}
void real(std::string& out, std::string_view name, double v) {
  key(out, name);
  char b[32];
  std::snprintf(b, sizeof b, "%.17g", v);
  out += b;
}
void num(std::string& out, std::string_view name, int64_t v) {
  key(out, name);
  out += std::to_string(v);
}
void text(std::string& out, std::string_view name, std::string_view v) {
  key(out, name);
  appendJsonString(out, v);
}
template <size_t N>
void ints(std::string& out, std::string_view name, const std::array<int16_t, N>& a) {
  key(out, name);
  out += '[';
  for (size_t i = 0; i < N; ++i) {
    if (i) out += ',';
    out += std::to_string(a[i]);
  }
  out += ']';
}
}  // namespace

std::string stateJson(const State& s) {
  std::string o = "{";
  num(o, "settei", s.settei);
  num(o, "owaru", s.owaru);
  num(o, "runState", s.runState);
  num(o, "petCount", s.petCount);
  num(o, "evolutionCount", s.evolutionCount);
  text(o, "fileVersion", s.fileVersion);
  text(o, "lastMinute", s.lastMinute);
  num(o, "growthDue", s.growthDue);
  num(o, "scratch", s.scratch);
  num(o, "scratch2", s.scratch2);
  num(o, "loopIndex", s.loopIndex);
  num(o, "innerIndex", s.innerIndex);
  num(o, "chaseAll", s.chaseAll);
  num(o, "selectedRow", s.selectedRow);
  num(o, "listScroll", s.listScroll);
  num(o, "forceFirstPet", s.forceFirstPet);
  num(o, "growthChoice", s.growthChoice);
  num(o, "panelSlot", s.panelSlot);
  real(o, "avgMouseLevel", s.avgMouseLevel);
  real(o, "avgDayScore", s.avgDayScore);
  num(o, "fpsCount", s.fpsCount);
  num(o, "frameRate", s.frameRate);
  text(o, "fpsSecond", s.fpsSecond);
  num(o, "mouseX", s.mouseX);
  num(o, "mouseY", s.mouseY);
  key(o, "cursorPos");
  o += "{\"x\":" + std::to_string(s.cursorPos.x) + ",\"y\":" + std::to_string(s.cursorPos.y) + "}";
  real(o, "travelAccum", s.travelAccum);
  key(o, "slots");
  o += '[';
  for (int slot = 0; slot < kSlots; ++slot) {
    if (slot) o += ',';
    o += '{';
    for (const auto& f : kIntFields) num(o, f.name, (s.*f.array)[slot]);
    for (const auto& f : kTextFields) text(o, f.name, (s.*f.array)[slot]);
    o += '}';
  }
  o += ']';
  ints(o, "evolutionLog", s.evolutionLog);
  ints(o, "speciesTally", s.speciesTally);
  o += '}';
  return o;
}

}  // namespace pet
