#include "input/mouse.h"

#include "model/numbers.h"

namespace pet {

bool petUnderCursor(const State& s, int slot) {
  if (!s.inUse(slot)) return false;
  const double z = s.zoom[slot] / 100.0;
  return s.posX[slot] <= s.mouseX && s.mouseX <= s.posX[slot] + z * 24 &&
         s.posY[slot] <= s.mouseY && s.mouseY <= s.posY[slot] + z * 32;
}

void mouseDown(State& s, int button) {
  for (int slot = 1; slot <= s.petCount; ++slot) {
    if (!petUnderCursor(s, slot)) continue;
    if (button == kLeftButton) {
      s.grabbed[slot] = 1;
      s.grabDX[slot] = clamp16(s.mouseX - s.posX[slot]);
      s.grabDY[slot] = clamp16(s.mouseY - s.posY[slot]);
    } else if (button == kRightButton) {
      toggleChaseAll(s);
    }
  }
}

void mouseMove(State& s) {
  for (int slot = 1; slot <= s.petCount; ++slot) {
    if (s.grabbed[slot] != 1) continue;
    s.posX[slot] = clamp16(s.mouseX - s.grabDX[slot]);
    s.posY[slot] = clamp16(s.mouseY - s.grabDY[slot]);
  }
}

void mouseUp(State& s) {
  for (int slot = 1; slot <= s.petCount; ++slot) s.grabbed[slot] = 0;
}

void toggleChaseAll(State& s) {
  int16_t to;
  if (s.chaseAll == 0)
    to = 1;
  else if (s.chaseAll == 1)
    to = 0;
  else
    return;
  s.chaseAll = to;
  for (int slot = 1; slot <= kMaxPets; ++slot)
    if (s.inUse(slot)) s.chaseMouse[slot] = to;
}

}  // namespace pet
