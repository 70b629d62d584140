#pragma once
// Picking pets up, dragging them, and the right-click chase toggle. Works on
// the cursor position the last running tick sampled, not on event coordinates.
#include "model/state.h"

namespace pet {

enum MouseButton : int { kLeftButton = 1, kRightButton = 2, kMiddleButton = 4 };

// Whether the cursor sample lies on the pet in `slot` (both ends included).
bool petUnderCursor(const State& s, int slot);
void mouseDown(State& s, int button);
void mouseMove(State& s);
void mouseUp(State& s);
void toggleChaseAll(State& s);

}  // namespace pet
