#pragma once
// The few things Qt does not do for the overlay on X11: keeping it out of the
// taskbar and pager, and setting its shape from banded rectangles.
#include <vector>

#include "platform/qt/shape_mask.h"

class QWidget;
#include <QAbstractNativeEventFilter>
#include <QPoint>
#include <cstdint>
#include <functional>

namespace pet::qt {

// True when the program runs on an X server (the xcb platform plugin).
bool onX11();
// Adds _NET_WM_STATE_SKIP_TASKBAR and _SKIP_PAGER to the native window; call
// after the window exists and before it is shown.
void keepOutOfTaskbar(QWidget* window);
// The window the window manager has made active (_NET_ACTIVE_WINDOW), 0 if
// none or not on X.
unsigned int activeWindow();
// Asks the window manager to make `window` active again, as a pager would.
void activate(unsigned int window);

// Which shape setShape sets: the bounding shape (what shows, and so also
// what takes clicks) or the input shape alone (what takes clicks; the window
// shows whole, see-through where its alpha says so under a compositor).
enum class ShapeKind { Bounding, Input };
// Sets the window's shape of `kind`; no rectangles: nothing of the window
// shows (bounding) or takes clicks (input), and every click goes through.
void setShape(QWidget* window, const std::vector<BandRect>& rects,
              ShapeKind kind = ShapeKind::Bounding);
// Changes the window's bounding shape by uniting `diff.added` with it and
// taking `diff.removed` away, instead of sending the whole shape again.
void changeShape(QWidget* window, const BandDiff& diff);

// Whether a compositing manager runs: the _NET_WM_CM_S<screen> selection has
// an owner. `poll` answers from the question sent at the previous poll and
// sends the next, so it never waits for the server; `now` asks and waits.
// Without X there is never one.
class CompositorWatch {
 public:
  ~CompositorWatch();
  bool now();
  bool poll();

 private:
  bool ask();
  unsigned int atom_ = 0;
  bool pending_ = false;
  unsigned int cookie_ = 0;
  bool last_ = false;
};

// Whether the active window (_NET_ACTIVE_WINDOW) is full screen
// (_NET_WM_STATE_FULLSCREEN), asked of the window manager and the X server
// without waiting: each poll takes the answers to the questions the previous
// one sent. No window manager, no answer, or `own` active: not full screen.
class FullScreenWatch {
 public:
  ~FullScreenWatch();
  bool poll(unsigned int own);

 private:
  unsigned int activeAtom_ = 0, stateAtom_ = 0, fullAtom_ = 0;
  bool activePending_ = false, statePending_ = false;
  unsigned int activeCookie_ = 0, stateCookie_ = 0;
  bool last_ = false;
};

// The pointer's place on the screen as the program saw it a tick ago: each
// reading takes the answer to the question sent at the previous one, so the
// program never waits for the server. Between moves nothing is asked: the X
// server tells of every move of a pointer device (XInput 2 raw motion on the
// root window, wherever the pointer is), and after one the pointer is asked
// for at every reading until two readings after the last move. A warp moves
// the pointer without a raw event; `look` asks anyway (a few times a second,
// with the program's other periodic questions). Without X the pointer is
// what the session tells (`told`), or else what Qt last saw of it.
class PointerReader : public QAbstractNativeEventFilter {
 public:
  ~PointerReader() override;
  QPoint read();
  // Asks for the pointer now unless a question is out; the next reading
  // takes the answer.
  void look();
  // The pointer may have moved (a motion event of one of the program's windows).
  void moved() { moved_ = true; }
  // The session's word for where the pointer is now (device pixels of the
  // desktop), each time it moves; without X.
  void told(QPoint p);
  // Whether no move has been seen since the reading that followed the last one.
  bool settled() const { return !moved_ && askTicks_ == 0; }
  // Called for each move of the pointer anywhere (raw motion).
  void setOnMoved(std::function<void()> f) { onMoved_ = std::move(f); }
  // The number of questions sent, for DESKPET_STATS.
  long queries() const { return queries_; }
  bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;

 private:
  void watch();
  bool started_ = false, watching_ = false;
  uint8_t inputOpcode_ = 0;
  bool moved_ = true;
  bool told_ = false;
  int askTicks_ = 0;
  bool pending_ = false;
  unsigned int cookie_ = 0;
  long queries_ = 0;
  QPoint last_;
  std::function<void()> onMoved_;
};

}  // namespace pet::qt
