#pragma once
// Operations on the slot table as a whole.
#include "model/state.h"

namespace pet {

// Copies every moved array's element `from` into element `to`.
void copySlot(State& s, int from, int to);
// Removes empty slots among 1..petCount, keeping the pets' order.
void compactSlots(State& s);
// Empties slot `slot` in every moved array and compacts; an empty slot is left alone.
// Returns whether a pet was deleted.
bool deletePet(State& s, int slot);
// Exchanges slots `slot` and `slot`+1 through the scratch slot 0.
void exchangeSlots(State& s, int slot);

}  // namespace pet
