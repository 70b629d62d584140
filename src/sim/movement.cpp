// The frame step: phases, walking and chasing, drawing, the cursor meter.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "model/numbers.h"
#include "render/overlay.h"
#include "sim/life.h"

namespace pet {

namespace {

void updatePet(State& s, int slot, FrameContext& ctx) {
  int16_t& phase = s.evoPhase[slot];
  if (phase >= 10 && phase <= 12) evolutionPhaseWork(s, slot);

  bump(s.moveTicks[slot]);
  const bool due = double(s.moveTicks[slot]) >= double(s.frameRate) / double(s.speed[slot]);
  if (s.grabbed[slot] == 0 && due && phase == 0) {
    s.moveTicks[slot] = 0;
    takeStep(s, slot, ctx.platform);
  }
  if (phase == 1) {
    s.evoClock[slot] = ctx.timeOfDay;
    s.facing[slot] = 0;
    phase = 2;
  }

  ctx.overlay.drawPet(s, slot);

  if (phase == 2) {
    phase = 3;
  } else if (phase >= 3 && phase <= 9) {
    ctx.overlay.drawBadge(s, slot, ctx.platform);
    if (ctx.timeOfDay != s.evoClock[slot]) {
      s.evoClock[slot] = ctx.timeOfDay;
      ++phase;
      if (phase == 8) phase = 10;
    }
  } else if (phase == 30) {
    s.evoClock[slot] = ctx.timeOfDay;
    s.facing[slot] = 0;
    phase = 31;
  } else if (phase >= 31 && phase <= 34) {
    if (ctx.timeOfDay != s.evoClock[slot]) {
      s.evoClock[slot] = ctx.timeOfDay;
      ++phase;
      if (phase == 35) phase = 0;
    }
  }
}

// Step choice by facing: a is drawn first, b second.
void chooseStep(State& s, int slot, Platform& p) {
  const auto a = static_cast<int16_t>(std::floor(6 * p.random()) - 3);
  const auto b = static_cast<int16_t>(std::floor(3 * p.random()) + 3);
  int16_t& sx = s.stepX[slot];
  int16_t& sy = s.stepY[slot];
  switch (s.facing[slot]) {
    case 0:
      sx = a, sy = b;
      break;
    case 1:
      sx = int16_t(-b), sy = a;
      break;
    case 2:
      sx = a, sy = int16_t(-b);
      break;
    default:
      sx = b, sy = a;
      break;
  }
}

}  // namespace

bool bringOntoAMonitor(int16_t& x, int16_t& y, double z, const std::vector<Rect>& monitors) {
  if (monitors.empty()) return false;
  const double cx = x + 12 * z, cy = y + 16 * z;
  double best = 0;
  const Rect* nearest = nullptr;
  for (const Rect& m : monitors) {
    if (m.empty()) continue;
    const double dx = std::max({m.left - cx, 0.0, cx - m.right});
    const double dy = std::max({m.top - cy, 0.0, cy - m.bottom});
    const double d = dx * dx + dy * dy;
    if (d == 0 && cx < m.right && cy < m.bottom) return false;  // shown
    if (!nearest || d < best) best = d, nearest = &m;
  }
  if (!nearest) return false;
  auto into = [](int16_t& v, int32_t lo, int32_t hi, double size) {
    const int32_t last = std::max(lo, int32_t(std::floor(hi - size)));
    v = clamp16(std::clamp(int32_t(v), lo, last));
  };
  const int16_t oldX = x, oldY = y;
  into(x, nearest->left, nearest->right, 24 * z);
  into(y, nearest->top, nearest->bottom, 32 * z);
  return x != oldX || y != oldY;
}

void frameStep(State& s, FrameContext& ctx) {
  ctx.overlay.cls();
  const int n = s.petCount;
  for (int slot = 1; slot <= n; ++slot)
    if (s.inUse(slot)) updatePet(s, slot, ctx);
  ctx.overlay.refresh(ctx.platform);
  sampleCursor(s, ctx.platform);
}

void takeStep(State& s, int slot, Platform& p) {
  const double z = s.zoom[slot] / 100.0;
  const double lx = p.screenWidthTwips() / 15.0 - 24 * z;
  const double ly = p.screenHeightTwips() / 15.0 - 32 * z;
  int16_t& x = s.posX[slot];
  int16_t& y = s.posY[slot];
  int16_t& facing = s.facing[slot];
  int16_t& sx = s.stepX[slot];
  int16_t& sy = s.stepY[slot];

  bool choose = false;
  if (s.chaseMouse[slot] == 1) {
    const double cx = x + 12 * z, cy = y + 16 * z;
    const int64_t distX = roundHalfEven(std::abs(s.mouseX - cx));
    const int64_t distY = roundHalfEven(std::abs(s.mouseY - cy));
    if (distX > distY)
      facing = cx < s.mouseX ? 3 : 1;
    else  // ties go to the vertical rule
      facing = cy < s.mouseY ? 0 : 2;
    choose = true;
  } else if (sx == 0 && sy == 0) {
    facing = static_cast<int16_t>(int(std::floor(100 * p.random())) % 4);
    choose = true;
  }
  if (choose) {
    // Turns and bounces only fire on exact equality with the real limits.
    if (x == 0 && facing == 1) facing = 3;
    if (facing == 2 && y == 0) facing = 0;
    if (x == lx && facing == 3) facing = 1;
    if (y == ly && facing == 0) facing = 2;
    chooseStep(s, slot, p);
    if (x == 0 && sx < 0) sx = int16_t(-sx);
    if (sy < 0 && y == 0) sy = int16_t(-sy);
    if (x == lx && sx > 0) sx = int16_t(-sx);
    if (y == ly && sy > 0) sy = int16_t(-sy);
  }

  x = toInteger(z * sx + x);
  y = toInteger(z * sy + y);

  auto stop = [&] { sx = 0, sy = 0; };
  if (x < 0) x = 0, stop();
  if (y < 0) y = 0, stop();
  if (x > lx) x = toInteger(lx), stop();
  if (y > ly) y = toInteger(ly), stop();
  if (bringOntoAMonitor(x, y, z, p.monitors())) stop();

  int16_t& frame = s.walkFrame[slot];
  frame = int16_t(frame + 1);
  if (frame == 4) frame = 0;
}

void sampleCursor(State& s, Platform& p) {
  s.cursorPos = p.cursorPos();
  const int64_t x = s.cursorPos.x, y = s.cursorPos.y;
  if (s.mouseX != x) s.travelAccum += double(std::llabs(s.mouseX - x));
  if (s.mouseY != y) s.travelAccum += double(std::llabs(s.mouseY - y));
  if (s.travelAccum >= 1000) {
    for (int slot = 1; slot <= s.petCount; ++slot)
      if (s.inUse(slot)) bump(s.mouseTravel[slot]);
    s.travelAccum = 0;  // the excess over 1000 is dropped
  }
  s.mouseX = clamp16(x);
  s.mouseY = clamp16(y);
}

}  // namespace pet
