#pragma once
// The overlay as a native window of a KDE Plasma (KWin) Wayland session.
// Qt's own wayland platform draws it, translucent; KWin's plasma shell gives
// it what a Wayland client cannot ask for through Qt: a place of its own at
// the output's corner, a layer above every ordinary window (the one KWin's
// own notifications use), no taskbar or switcher entry, and no keyboard
// unless a panel shows. Its input region takes the clicks the X11 overlay's
// shape takes.
#include <QPoint>
#include <vector>

#include "platform/qt/shape_mask.h"

class QWidget;
struct wl_display;
struct wl_event_queue;
struct org_kde_plasma_shell;
struct org_kde_plasma_surface;

namespace pet::qt {

// Whether the program runs on Qt's wayland platform.
bool onWayland();

// Whether the Wayland compositor named by the environment (WAYLAND_DISPLAY)
// offers KWin's plasma shell; asked on a connection of its own, before Qt starts.
bool compositorHasPlasmaShell();

class WaylandOverlay {
 public:
  ~WaylandOverlay();
  // Gives `window` its role; call once its native surface exists (after
  // show). False when the compositor has no plasma shell.
  bool attach(QWidget* window, QPoint at);
  // Whether the overlay may take the keyboard (a panel shows): KWin then
  // lets it become the active window, and otherwise never.
  void setTakesKeyboard(bool on);
  // The part of the window that takes the pointer, in its own (logical)
  // pixels; nothing at all when `rects` is empty.
  static void setInputRegion(QWidget* window, const std::vector<BandRect>& rects);

 private:
  void flush();
  wl_display* display_ = nullptr;
  wl_event_queue* queue_ = nullptr;
  org_kde_plasma_shell* shell_ = nullptr;
  org_kde_plasma_surface* surface_ = nullptr;
  void* forSurface_ = nullptr;  // the wl_surface the role was given to
  QPoint at_;
  bool takesKeyboard_ = false;
  unsigned version_ = 0;
};

}  // namespace pet::qt
