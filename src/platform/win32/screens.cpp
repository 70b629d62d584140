// Screens and scale: the play area (the primary monitor, or every monitor),
// the whole-number scale from the primary's DPI, core pixels to device
// pixels, and whether a full-screen program is in front.
#include <windowsx.h>

#include "platform/win32/win32_platform.h"
// After windows.h, which it needs.
#include <shellapi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "platform/play_area.h"
#include "platform/win32/files.h"
#include "platform/win32/text.h"
#include "platform/win32/win32_helpers.h"
#include "shell/form2.h"

namespace pet::win32 {

namespace {

// The monitor's DPI: its own where the system tells it (Windows 8.1 on), else
// the window's, else the system's.
UINT dpiOf(HMONITOR monitor, HWND window) {
  using ForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  using ForWindow = UINT(WINAPI*)(HWND);
  static const auto forMonitor = systemFunction<ForMonitor>(L"shcore.dll", "GetDpiForMonitor");
  static const auto forWindow = systemFunction<ForWindow>(L"user32.dll", "GetDpiForWindow");
  UINT x = 0, y = 0;
  if (forMonitor && monitor && forMonitor(monitor, 0 /* effective */, &x, &y) == S_OK && x > 0)
    return x;
  if (forWindow && window)
    if (const UINT d = forWindow(window); d > 0) return d;
  HDC dc = GetDC(nullptr);
  const int d = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
  if (dc) ReleaseDC(nullptr, dc);
  return d > 0 ? UINT(d) : 96;
}

// The monitors that show something, the primary first.
BOOL CALLBACK collectMonitor(HMONITOR m, HDC, LPRECT, LPARAM list) {
  auto& out = *reinterpret_cast<std::vector<Rect>*>(list);
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  if (!GetMonitorInfoW(m, &mi)) return TRUE;
  const RECT& r = mi.rcMonitor;
  if (mi.dwFlags & MONITORINFOF_PRIMARY)
    out.insert(out.begin(), Rect{r.left, r.top, r.right, r.bottom});
  else
    out.push_back(Rect{r.left, r.top, r.right, r.bottom});
  return TRUE;
}

}  // namespace

int Win32Platform::dev(int32_t twips) const {
  return px(twips) * scale_;
}

int32_t Win32Platform::fromDevice(int devicePixels) const {
  return floorDiv(devicePixels, scale_) * kTwips;
}

void Win32Platform::setEveryMonitor(bool on) {
  everyMonitor_ = on;
  refreshScreen();
}

void Win32Platform::refreshScreen() {
  // One scale for the whole overlay: the primary monitor's.
  HMONITOR primary = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  std::vector<Rect> shown;
  if (everyMonitor_) EnumDisplayMonitors(nullptr, nullptr, collectMonitor, LPARAM(&shown));
  PlayArea a = playArea(Rect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)},
                        shown, dpiOf(primary, window_), everyMonitor_);
  const int scale = a.scale;
  const POINT origin{a.originX, a.originY};
  const SIZE area{a.width, a.height};
  std::vector<Rect> monitors = std::move(a.monitors);
  const bool rescaled = scale != scale_;
  const bool moved = rescaled || origin.x != origin_.x || origin.y != origin_.y;
  scale_ = scale;
  origin_ = origin;
  area_ = area;
  monitors_ = std::move(monitors);
  if (rescaled) layoutControls();
  if (moved && placedOnce_) {
    placeWindow(placed_.left, placed_.top, placed_.width, placed_.height);
    InvalidateRect(window_, nullptr, FALSE);
  }
}

void Win32Platform::layoutControls() {
  for (const ControlSpec& c : kControls) {
    const Box& b = boxes_[size_t(c.id)];
    const int tenths = c.fontTenths > 0 ? c.fontTenths : kDefaultFontTenths;
    HFONT font = minchoFont(fontPixels(tenths / 10.0 * scale_), false);
    const RECT r{dev(b.left), dev(b.top), dev(b.left) + dev(b.width), dev(b.top) + dev(b.height)};
    if (c.kind == ControlKind::Label) {
      labels_[size_t(c.id)].rect = r;
      labels_[size_t(c.id)].font = font;
      continue;
    }
    HWND h = hwnd(c.id);
    if (!h) continue;
    SetWindowPos(h, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    InvalidateRect(h, nullptr, FALSE);
  }
}

int32_t Win32Platform::screenWidthTwips() const {
  return area_.cx / scale_ * kTwips;
}

int32_t Win32Platform::screenHeightTwips() const {
  return area_.cy / scale_ * kTwips;
}

bool Win32Platform::fullScreenInFront() const {
  // The shell knows of full-screen Direct3D programs and presentation mode.
  QUERY_USER_NOTIFICATION_STATE state{};
  if (SHQueryUserNotificationState(&state) == S_OK &&
      (state == QUNS_RUNNING_D3D_FULL_SCREEN || state == QUNS_PRESENTATION_MODE))
    return true;
  // Others: a window in front with no caption that covers its whole monitor
  // (a borderless game, a video player, a browser in F11). The shell's "busy"
  // is not enough: it also says so for a maximised window when the taskbar
  // hides itself.
  HWND front = GetForegroundWindow();
  if (!front || front == GetDesktopWindow() || front == GetShellWindow() ||
      !IsWindowVisible(front) || IsIconic(front))
    return false;
  DWORD pid = 0;
  GetWindowThreadProcessId(front, &pid);
  if (pid == GetCurrentProcessId()) return false;
  wchar_t cls[64] = L"";
  GetClassNameW(front, cls, 64);
  for (const wchar_t* shell : {L"Progman", L"WorkerW", L"Shell_TrayWnd", L"Shell_SecondaryTrayWnd"})
    if (std::wcscmp(cls, shell) == 0) return false;
  if ((GetWindowLongW(front, GWL_STYLE) & WS_CAPTION) == WS_CAPTION) return false;
  RECT r{};
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  if (!GetWindowRect(front, &r) ||
      !GetMonitorInfoW(MonitorFromWindow(front, MONITOR_DEFAULTTONEAREST), &mi))
    return false;
  const RECT& m = mi.rcMonitor;
  return r.left <= m.left && r.top <= m.top && r.right >= m.right && r.bottom >= m.bottom;
}

}  // namespace pet::win32
