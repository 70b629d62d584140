#include "platform/qt/wayland_overlay.h"

#include <qpa/qplatformnativeinterface.h>
#include <wayland-client.h>

#include <QGuiApplication>
#include <QRegion>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cstring>

#include "plasma-shell-client-protocol.h"

namespace pet::qt {

namespace {

// The plasma shell's roles and flags, as KWin reads them.
constexpr uint32_t kRoleNotification = 4;
constexpr uint32_t kTakesFocusSince = 4, kSkipSwitcherSince = 5;
constexpr uint32_t kVersionWanted = 6;

struct Found {
  wl_registry* registry = nullptr;
  org_kde_plasma_shell* shell = nullptr;
  uint32_t name = 0, version = 0;
};

void onGlobal(void* data, wl_registry*, uint32_t name, const char* interface, uint32_t version) {
  auto* f = static_cast<Found*>(data);
  if (std::strcmp(interface, org_kde_plasma_shell_interface.name) == 0) {
    f->name = name;
    f->version = version;
  }
}
void onGlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistryListener = {onGlobal, onGlobalRemove};

QPlatformNativeInterface* native() {
  return QGuiApplication::platformNativeInterface();
}

}  // namespace

bool onWayland() {
  return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

bool compositorHasPlasmaShell() {
  wl_display* d = wl_display_connect(nullptr);
  if (!d) return false;
  Found f;
  f.registry = wl_display_get_registry(d);
  wl_registry_add_listener(f.registry, &kRegistryListener, &f);
  const bool answered = wl_display_roundtrip(d) >= 0;
  wl_registry_destroy(f.registry);
  wl_display_disconnect(d);
  return answered && f.name != 0;
}

WaylandOverlay::~WaylandOverlay() {
  if (surface_) org_kde_plasma_surface_destroy(surface_);
  if (shell_) org_kde_plasma_shell_destroy(shell_);
  if (display_) flush();
  if (queue_) wl_event_queue_destroy(queue_);
}

void WaylandOverlay::flush() {
  wl_display_flush(display_);
}

bool WaylandOverlay::attach(QWidget* window, QPoint at) {
  QWindow* handle = window->windowHandle();
  if (!handle || !native()) return false;
  void* surface = native()->nativeResourceForWindow("surface", handle);
  if (!surface) return false;
  if (!display_) {
    display_ = static_cast<wl_display*>(native()->nativeResourceForIntegration("wl_display"));
    if (!display_) return false;
    // A queue of the program's own, so that Qt's dispatching never sees the
    // answers to these questions.
    queue_ = wl_display_create_queue(display_);
    auto* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display_));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), queue_);
    Found f;
    f.registry = wl_display_get_registry(wrapper);
    wl_proxy_wrapper_destroy(wrapper);
    wl_registry_add_listener(f.registry, &kRegistryListener, &f);
    wl_display_roundtrip_queue(display_, queue_);
    if (f.name) {
      version_ = std::min(f.version, kVersionWanted);
      shell_ = static_cast<org_kde_plasma_shell*>(
          wl_registry_bind(f.registry, f.name, &org_kde_plasma_shell_interface, version_));
    }
    wl_registry_destroy(f.registry);
  }
  if (!shell_) return false;
  if (surface == forSurface_) {
    if (at != at_) org_kde_plasma_surface_set_position(surface_, at.x(), at.y());
    at_ = at;
    flush();
    return true;
  }
  at_ = at;
  if (surface_) org_kde_plasma_surface_destroy(surface_);
  forSurface_ = surface;
  surface_ = org_kde_plasma_shell_get_surface(shell_, static_cast<wl_surface*>(surface));
  org_kde_plasma_surface_set_role(surface_, kRoleNotification);
  org_kde_plasma_surface_set_position(surface_, at.x(), at.y());
  org_kde_plasma_surface_set_skip_taskbar(surface_, 1);
  if (version_ >= kSkipSwitcherSince) org_kde_plasma_surface_set_skip_switcher(surface_, 1);
  if (version_ >= kTakesFocusSince)
    org_kde_plasma_surface_set_panel_takes_focus(surface_, takesKeyboard_ ? 1 : 0);
  flush();
  return true;
}

void WaylandOverlay::setTakesKeyboard(bool on) {
  takesKeyboard_ = on;
  if (!surface_ || version_ < kTakesFocusSince) return;
  org_kde_plasma_surface_set_panel_takes_focus(surface_, on ? 1 : 0);
  flush();
}

void WaylandOverlay::setInputRegion(QWidget* window, const std::vector<BandRect>& rects) {
  QWindow* handle = window->windowHandle();
  if (!handle) return;
  // An empty mask would be no input region at all, which Wayland reads as
  // the whole surface: one pixel off the surface takes nothing instead.
  if (rects.empty()) {
    handle->setMask(QRegion(-2, -2, 1, 1));
    return;
  }
  std::vector<QRect> qrects;
  qrects.reserve(rects.size());
  for (const BandRect& r : rects) qrects.emplace_back(r.x, r.y, r.w, r.h);
  QRegion region;
  region.setRects(qrects.data(), int(qrects.size()));
  handle->setMask(region);
}

}  // namespace pet::qt
