// The overlay: the full-screen, topmost layered window whose colour-key
// pixels are see-through and let the mouse through; presenting the core's
// picture onto it, its mouse and keys, hiding the pets, and the pointer
// (read each tick; a low-level hook on a thread of its own tells of moves);
// the program's icons, from the core's pictures, for the window and the tray.
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

void Win32Platform::createWindow() {
  // Out of the taskbar (tool window), and it takes no activation until a
  // panel needs the keyboard: the pets never take the focus from the user.
  window_ =
      CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, kOverlayClass,
                      L"もこぽん", WS_POPUP | WS_CLIPCHILDREN, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                      GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, instance_, nullptr);
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  activatable_ = false;
}

void Win32Platform::setBackgroundColour(uint32_t rgb) {
  background_ = rgb;
}

void Win32Platform::placeWindow(int32_t l, int32_t t, int32_t w, int32_t h) {
  placed_ = {l, t, w, h};
  placedOnce_ = true;
  SetWindowPos(window_, nullptr, origin_.x + dev(l), origin_.y + dev(t), dev(w), dev(h),
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}

void Win32Platform::setColourKey(uint32_t rgb) {
  key_ = rgb;
  SetWindowLongPtrW(window_, GWL_EXSTYLE, GetWindowLongPtrW(window_, GWL_EXSTYLE) | WS_EX_LAYERED);
  SetLayeredWindowAttributes(window_, colorRef(rgb), 0, LWA_COLORKEY);
}

void Win32Platform::makeTopmostAndShow() {
  // Shown active when a panel is already up (the splash, the welcome): the
  // keyboard is the program's from the start (not under Wine: see takeFocus).
  const bool active = activatable_ && !underWine();
  if (active) focusOwner_ = GetForegroundWindow();
  SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | (active ? 0 : SWP_NOACTIVATE));
  UpdateWindow(window_);
  shownOnce_ = true;
  syncOverlayShown();
  if (active) takeFocus();
}

void Win32Platform::syncOverlayShown() {
  // With the pets hidden and no panel up the overlay leaves the screen: a
  // window of nothing but the colour key would still take clicks under Wine.
  if (!shownOnce_) return;
  const bool want = !hiddenFor_ || activatable_;
  if (want == bool(IsWindowVisible(window_))) return;
  if (want)
    SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
  else
    ShowWindow(window_, SW_HIDE);
}

void Win32Platform::paintOverlay(HDC dc, const RECT& r) {
  // Straight from the core's picture: no copy of the whole screen of our own
  // (Wine keeps one already for the layered window). Hidden, or where the
  // picture does not reach yet (a new screen size before the next present),
  // every pixel is the colour key, so nothing shows and clicks go through.
  // `r` is in device pixels; each of the picture's pixels is a square of
  // scale_ x scale_ (nearest neighbour).
  const int s = scale_;
  const Image* img = hiddenFor_ ? nullptr : lastOverlay_;
  const Rect c = img ? clipTo(Rect{floorDiv(r.left, s), floorDiv(r.top, s),
                                   floorDiv(r.right + s - 1, s), floorDiv(r.bottom + s - 1, s)},
                              img->width(), img->height())
                     : Rect{};
  if (c.empty() || c.left * s > r.left || c.top * s > r.top || c.right * s < r.right ||
      c.bottom * s < r.bottom) {
    SetDCBrushColor(dc, colorRef(hiddenFor_ || lastOverlay_ ? key_ : background_));
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
  }
  if (c.empty()) return;
  // The rows of the rectangle as an image of their own: the source's first
  // row is then the same whichever way a top-down image is counted.
  const BITMAPINFO bi = topDown(img->width(), c.bottom - c.top);
  const int w = c.right - c.left, h = c.bottom - c.top;
  SetStretchBltMode(dc, COLORONCOLOR);
  StretchDIBits(dc, c.left * s, c.top * s, w * s, h * s, c.left, 0, w, h, img->row(c.top), &bi,
                DIB_RGB_COLORS, SRCCOPY);
}

void Win32Platform::presentOverlay(const Image& overlay, const std::vector<Rect>& changed) {
  const bool resized = !lastOverlay_ || overlay.width() != lastOverlay_->width() ||
                       overlay.height() != lastOverlay_->height();
  lastOverlay_ = &overlay;
  if (hiddenFor_) return;
  if (resized) {
    InvalidateRect(window_, nullptr, FALSE);
    return;
  }
  HDC dc = nullptr;
  for (const Rect& r : changed) {
    const Rect c = clipTo(r, overlay.width(), overlay.height());
    if (c.empty()) continue;
    if (!dc) dc = GetDC(window_);
    paintOverlay(dc, RECT{c.left * scale_, c.top * scale_, c.right * scale_, c.bottom * scale_});
  }
  if (dc) ReleaseDC(window_, dc);
}

void Win32Platform::hideFor(unsigned reason, bool on) {
  const unsigned was = hiddenFor_;
  hiddenFor_ = on ? hiddenFor_ | reason : hiddenFor_ & ~reason;
  const bool hidden = hiddenFor_ != 0;
  if (hidden == (was != 0)) return;
  if (hidden) letGo();
  InvalidateRect(window_, nullptr, FALSE);
  syncOverlayShown();
}

void Win32Platform::afterTick() {
  if (form_)
    drag_.afterTick(
        [this](int b, int shift, int x, int y) { form_->Form_MouseMove(b, shift, x, y); });
}

void Win32Platform::letGo() {
  // A pet held as it disappears is let go where it is.
  drag_.clear();
  if (!pressed_) return;
  pressed_ = false;
  ReleaseCapture();
  if (form_) form_->Form_MouseUp(1, 0, 0, 0);
}

LRESULT CALLBACK Win32Platform::overlayProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  auto* self = reinterpret_cast<Win32Platform*>(GetWindowLongPtrW(h, GWLP_USERDATA));
  if (!self) return DefWindowProcW(h, m, w, l);
  return self->onOverlay(h, m, w, l);
}

LRESULT Win32Platform::onOverlay(HWND h, UINT m, WPARAM w, LPARAM l) {
  LRESULT result = 0;
  if (hook_ && hook_(m, w, l, result)) return result;
  const int32_t x = fromDevice(GET_X_LPARAM(l)), y = fromDevice(GET_Y_LPARAM(l));
  switch (m) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      paintOverlay(dc, ps.rcPaint);
      EndPaint(h, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_TIMER:
      if (w != kHandBackTimer) break;
      handFocusBack();
      return 0;
    case WM_MOUSEACTIVATE:
      return activatable_ ? MA_ACTIVATE : MA_NOACTIVATE;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    // The second press of a double-click is a press like the first: two
    // quick right clicks toggle chasing twice, a pet let go is caught again.
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK: {
      // The drag goes on outside the pet's pixels and outside the window.
      SetCapture(h);
      pressed_ = true;
      const bool left = m == WM_LBUTTONDOWN || m == WM_LBUTTONDBLCLK;
      const bool right = m == WM_RBUTTONDOWN || m == WM_RBUTTONDBLCLK;
      if (form_) form_->Form_MouseDown(left ? 1 : right ? 2 : 4, shiftState(w), x, y);
      // Only pets take clicks (the rest is see-through); a double-click on
      // one opens the slot list, whatever the tray does: a way to the panels
      // that no tray can take away.
      if (m == WM_LBUTTONDBLCLK && form_ && !form_->panelRequestsWait()) form_->requestPanel(200);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (form_) form_->Form_MouseMove(buttonMask(w), shiftState(w), x, y);
      drag_.moved(buttonMask(w), shiftState(w), x, y);
      return 0;
    case WM_CAPTURECHANGED:
      // Something else took the mouse mid-drag (a system dialog, Alt+Tab):
      // the release will never come, so the held pets are let go now.
      if (pressed_ && reinterpret_cast<HWND>(l) != h) {
        pressed_ = false;
        drag_.clear();
        if (form_) form_->Form_MouseUp(1, 0, 0, 0);
      }
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      const int button = m == WM_LBUTTONUP ? 1 : m == WM_RBUTTONUP ? 2 : 4;
      drag_.clear();
      if (!(w & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) && pressed_) {
        pressed_ = false;
        ReleaseCapture();
      }
      if (form_) form_->Form_MouseUp(button, shiftState(w), x, y);
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(h, m, w, l);
}

Win32Platform* Win32Platform::watcher_ = nullptr;

void Win32Platform::watchPointer(UINT message) {
  if (watchThread_) return;
  movedMessage_ = message;
  watcher_ = this;
  watchThread_ = CreateThread(nullptr, 0, watchThread, this, 0, &watchThreadId_);
}

DWORD WINAPI Win32Platform::watchThread(LPVOID) {
  HHOOK hook = SetWindowsHookExW(WH_MOUSE_LL, mouseHook, GetModuleHandleW(nullptr), 0);
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
  if (hook) UnhookWindowsHookEx(hook);
  return 0;
}

LRESULT CALLBACK Win32Platform::mouseHook(int code, WPARAM w, LPARAM l) {
  // Kept short: the system drops a hook that keeps the mouse waiting.
  Win32Platform* self = watcher_;
  if (code == HC_ACTION && self && !self->pointerMoved_.exchange(true))
    PostMessageW(self->window_, self->movedMessage_, 0, 0);
  return CallNextHookEx(nullptr, code, w, l);
}

Point32 Win32Platform::cursorPos() {
  if (tickAge_ > 0) return lastCursor_;
  // Cleared before the reading: a move after it is seen again.
  pointerMoved_ = false;
  POINT p{};
  GetCursorPos(&p);
  lastCursor_ = {floorDiv(p.x - origin_.x, scale_), floorDiv(p.y - origin_.y, scale_)};
  return lastCursor_;
}

void Win32Platform::setIcons(const std::vector<const Image*>& images) {
  for (auto& [size, icon] : icons_) DestroyIcon(icon);
  icons_.clear();
  for (const Image* img : images) {
    uint32_t* bits = nullptr;
    HBITMAP colour = dibSection(img->width(), img->height(), &bits);
    if (!colour) continue;
    std::memcpy(bits, img->data(), size_t(img->width()) * size_t(img->height()) * 4);
    // The alpha channel decides; the mask only matters to old displays.
    std::vector<uint8_t> zeros(size_t((img->width() + 15) / 16 * 2) * size_t(img->height()), 0);
    HBITMAP mask = CreateBitmap(img->width(), img->height(), 1, 1, zeros.data());
    ICONINFO ii{TRUE, 0, 0, mask, colour};
    if (HICON icon = CreateIconIndirect(&ii)) icons_.emplace_back(img->width(), icon);
    DeleteObject(mask);
    DeleteObject(colour);
  }
  if (HICON small = icon(GetSystemMetrics(SM_CXSMICON)))
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  if (HICON big = icon(GetSystemMetrics(SM_CXICON)))
    SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
}

HICON Win32Platform::icon(int pixels) const {
  HICON best = nullptr;
  int bestDiff = 0;
  for (const auto& [size, icon] : icons_) {
    const int diff = std::abs(size - pixels) + (size < pixels ? 1 : 0);
    if (!best || diff < bestDiff) {
      best = icon;
      bestDiff = diff;
    }
  }
  return best;
}

}  // namespace pet::win32
