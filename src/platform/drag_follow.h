#pragma once
// A held pet goes where the core's cursor sample is at each move event, and
// the core samples the cursor once a tick, a tick late: after the last move
// of a drag, the sample reaches the cursor only at the ticks that follow,
// with no move event left to apply it, and the pet would stay a tick's travel
// behind the hand. So the desktop programs replay the last move of a drag
// after each of the next two ticks. Shared by both programs; no OS here.
#include <optional>

namespace pet {

class DragFollow {
 public:
  // A move of the pointer with `buttons` held, at (x, y) in twips.
  void moved(int buttons, int shift, int x, int y) {
    if (buttons == 0) return;
    last_ = Move{buttons, shift, x, y};
    ticksLeft_ = 2;
  }
  // The drag ended (released, let go, or the window went).
  void clear() { last_.reset(); }
  bool following() const { return last_.has_value(); }
  // After a tick: `move(buttons, shift, x, y)` again, if the drag is recent.
  template <class Move>
  void afterTick(Move&& move) {
    if (!last_) return;
    move(last_->buttons, last_->shift, last_->x, last_->y);
    if (--ticksLeft_ <= 0) last_.reset();
  }

 private:
  struct Move {
    int buttons = 0, shift = 0, x = 0, y = 0;
  };
  std::optional<Move> last_;
  int ticksLeft_ = 0;
};

}  // namespace pet
