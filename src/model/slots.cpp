#include "model/slots.h"

namespace pet {

void copySlot(State& s, int from, int to) {
  for (const auto& f : kIntFields)
    if (f.moved) (s.*f.array)[to] = (s.*f.array)[from];
  for (const auto& f : kTextFields)
    if (f.moved) (s.*f.array)[to] = (s.*f.array)[from];
}

void compactSlots(State& s) {
  const int n = s.petCount;
  if (n <= 0) {
    s.petCount = 0;
    return;
  }
  int16_t kept = 0;
  for (int k = 0; k < n; ++k) {
    const int slot = n - k;
    if (s.inUse(slot)) {
      ++kept;
    } else {
      // Everything above moves down one; slot n takes slot n+1's empty values.
      for (int j = slot; j <= n; ++j) copySlot(s, j + 1, j);
    }
  }
  s.petCount = kept;
}

bool deletePet(State& s, int slot) {
  if (slot < 1 || slot > kMaxPets || !s.inUse(slot)) return false;
  for (const auto& f : kIntFields)
    if (f.moved) (s.*f.array)[slot] = 0;
  for (const auto& f : kTextFields)
    if (f.moved) (s.*f.array)[slot].clear();
  compactSlots(s);
  return true;
}

void exchangeSlots(State& s, int slot) {
  s.innerIndex = static_cast<int16_t>(slot);
  copySlot(s, slot, 0);
  copySlot(s, slot + 1, slot);
  copySlot(s, 0, slot + 1);
}

}  // namespace pet
