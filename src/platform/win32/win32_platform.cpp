#include "platform/win32/win32_platform.h"

#include <windowsx.h>
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
#include "shell/form2.h"

namespace pet::win32 {

namespace {

constexpr int kTwips = 15;
// The overlay's own timer (the tick timer is the program's, number 1).
constexpr UINT_PTR kHandBackTimer = 2;
constexpr int kDefaultFontTenths = 98;  // 9.75 pt when the table names no size
constexpr int kFirstChildId = 100;
constexpr wchar_t kOverlayClass[] = L"DeskpetOverlay";
constexpr wchar_t kPanelClass[] = L"DeskpetPanel";

int px(int32_t twips) {
  return int(std::lround(double(twips) / kTwips));
}

template <typename F>
F systemFunction(const wchar_t* dll, const char* name) {
  HMODULE m = GetModuleHandleW(dll);
  if (!m) m = LoadLibraryW(dll);
  return m ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name))) : nullptr;
}

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

COLORREF colorRef(uint32_t rgb) {
  return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

bool isWindowLevel(ControlId id) {
  return control(id).parent == ControlId::Count;
}

int shiftState(WPARAM keys) {
  return ((keys & MK_SHIFT) ? 1 : 0) | ((keys & MK_CONTROL) ? 2 : 0) |
         (GetKeyState(VK_MENU) < 0 ? 4 : 0);
}

int buttonMask(WPARAM keys) {
  return ((keys & MK_LBUTTON) ? 1 : 0) | ((keys & MK_RBUTTON) ? 2 : 0) |
         ((keys & MK_MBUTTON) ? 4 : 0);
}

std::wstring caption(std::string_view utf8) {
  std::wstring s = widen(utf8);
  std::erase(s, L'\r');
  return s;
}

// The header of a 32-bit top-down image of w x h pixels.
BITMAPINFO topDown(int w, int h) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  return bi;
}

// A 32-bit top-down DIB section of w x h pixels.
HBITMAP dibSection(int w, int h, uint32_t** bits) {
  const BITMAPINFO bi = topDown(w, h);
  void* p = nullptr;
  HBITMAP b = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0);
  *bits = static_cast<uint32_t*>(p);
  return b;
}

}  // namespace

bool Win32Platform::underWine() {
  static const bool wine =
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  return wine;
}

Win32Platform::Win32Platform(HINSTANCE instance) : instance_(instance) {
  panelBrush_ = CreateSolidBrush(colorRef(kPanelColour));
  refreshScreen();
  registerClasses();
  createWindow();
  refreshScreen();
  createControls();
}

Win32Platform::~Win32Platform() {
  if (watchThread_) {
    PostThreadMessageW(watchThreadId_, WM_QUIT, 0, 0);
    WaitForSingleObject(watchThread_, 1000);
    CloseHandle(watchThread_);
  }
  if (watcher_ == this) watcher_ = nullptr;
  if (window_) DestroyWindow(window_);
  if (textDc_) {
    SelectObject(textDc_, textOld_);
    DeleteDC(textDc_);
    DeleteObject(textBitmap_);
  }
  for (auto& [size, icon] : icons_) DestroyIcon(icon);
  DeleteObject(panelBrush_);
}

void Win32Platform::registerClasses() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = overlayProc;
  wc.hInstance = instance_;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kOverlayClass;
  // Double-clicks: on a pet they open the slot list while the tray icon is no
  // way there; on panels the slot list opens a pet's settings.
  wc.style = CS_DBLCLKS;
  RegisterClassExW(&wc);
  wc.lpfnWndProc = panelProc;
  wc.lpszClassName = kPanelClass;
  RegisterClassExW(&wc);
}

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

void Win32Platform::createControls() {
  // Table order: parents before children; later siblings stack above earlier ones.
  for (const ControlSpec& c : kControls) {
    if (c.kind == ControlKind::FileList) continue;  // the files come from the working directory
    boxes_[size_t(c.id)] = {c.left, c.top, c.width, c.height};
    const int tenths = c.fontTenths > 0 ? c.fontTenths : kDefaultFontTenths;
    // Text at the screen's real resolution, so it stays crisp when scaled.
    HFONT font = minchoFont(fontPixels(tenths / 10.0 * scale_), false);
    if (c.kind == ControlKind::Label) {
      labels_[size_t(c.id)] = {
          c.visibleAtStart,
          RECT{dev(c.left), dev(c.top), dev(c.left) + dev(c.width), dev(c.top) + dev(c.height)},
          caption(c.caption), font};
      continue;
    }
    HWND parent = c.parent == ControlId::Count ? window_ : hwnd(c.parent);
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (c.visibleAtStart ? WS_VISIBLE : 0);
    const wchar_t* cls = nullptr;
    switch (c.kind) {
      case ControlKind::Panel:
      case ControlKind::Picture:
        cls = kPanelClass;
        style |= WS_CLIPCHILDREN | (c.bordered ? WS_BORDER : 0);
        break;
      case ControlKind::Button:
        cls = L"BUTTON";
        style |= BS_PUSHBUTTON | WS_TABSTOP;
        break;
      case ControlKind::Label:
        break;
      case ControlKind::HScroll:
        cls = L"SCROLLBAR";
        style |= SBS_HORZ;
        break;
      case ControlKind::VScroll:
        cls = L"SCROLLBAR";
        style |= SBS_VERT;
        break;
      case ControlKind::List:
        cls = L"LISTBOX";
        // A line wider than the box (a long name and a large count) can be
        // scrolled to; a list box has no width of its own for that.
        style |= WS_BORDER | WS_VSCROLL | WS_HSCROLL | LBS_NOINTEGRALHEIGHT;
        break;
      case ControlKind::FileList:
        break;
    }
    const int index = int(c.id);
    HWND h = CreateWindowExW(0, cls, caption(c.caption).c_str(), style, dev(c.left), dev(c.top),
                             dev(c.width), dev(c.height), parent,
                             reinterpret_cast<HMENU>(INT_PTR(kFirstChildId + index)), instance_,
                             nullptr);
    if (!h) continue;
    if (cls == kPanelClass) SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    controls_[size_t(index)] = h;
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  for (const ScrollSpec& s : kScrollSpecs) {
    Scroll& sc = scrolls_[size_t(s.id)];
    sc = {s.min, s.max, s.smallChange, s.largeChange, s.value};
    SCROLLINFO si{sizeof si,
                  SIF_RANGE | SIF_POS | SIF_DISABLENOSCROLL,
                  std::min(s.min, s.max),
                  std::max(s.min, s.max),
                  0,
                  s.value,
                  0};
    if (HWND h = hwnd(s.id)) SetScrollInfo(h, SB_CTL, &si, FALSE);
  }
}

ControlId Win32Platform::idOf(HWND h) const {
  const int index = GetDlgCtrlID(h) - kFirstChildId;
  if (index < 0 || index >= kControlCount || controls_[size_t(index)] != h) return ControlId::Count;
  return ControlId(index);
}

// ---------------------------------------------------------------- window

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

// ---------------------------------------------------------------- panels

LRESULT CALLBACK Win32Platform::panelProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  auto* self = reinterpret_cast<Win32Platform*>(GetWindowLongPtrW(h, GWLP_USERDATA));
  if (!self) return DefWindowProcW(h, m, w, l);
  return self->onPanel(self->idOf(h), h, m, w, l);
}

LRESULT Win32Platform::onPanel(ControlId panel, HWND h, UINT m, WPARAM w, LPARAM l) {
  switch (m) {
    case WM_MOUSEWHEEL:
      // The wheel over the slot list's rows turns its scroll bar, a row a notch.
      if (panel == ControlId::Picture4 && IsWindowVisible(hwnd(ControlId::VScroll1))) {
        wheelRest_ += GET_WHEEL_DELTA_WPARAM(w);
        const int notches = wheelRest_ / WHEEL_DELTA;
        wheelRest_ -= notches * WHEEL_DELTA;
        if (notches)
          changeScroll(ControlId::VScroll1, scrolls_[size_t(ControlId::VScroll1)].value - notches);
        return 0;
      }
      break;
    case WM_ERASEBKGND:
      return 1;
    case WM_NCPAINT:
      // A flat black line, whatever colour the system gives window frames.
      if (GetWindowLongPtrW(h, GWL_STYLE) & WS_BORDER) {
        HDC dc = GetWindowDC(h);
        RECT r;
        GetWindowRect(h, &r);
        OffsetRect(&r, -r.left, -r.top);
        FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        ReleaseDC(h, dc);
        return 0;
      }
      break;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      const bool filled = panel != ControlId::Count && control(panel).kind == ControlKind::Panel;
      FillRect(dc, &ps.rcPaint, filled ? panelBrush_ : GetSysColorBrush(COLOR_BTNFACE));
      if (panel != ControlId::Count) {
        if (const Image* img = pictures_[size_t(panel)]) {
          const BITMAPINFO bi = topDown(img->width(), img->height());
          // Nearest neighbour: the picture's pixels stay sharp squares.
          SetStretchBltMode(dc, COLORONCOLOR);
          StretchDIBits(dc, 0, 0, img->width() * scale_, img->height() * scale_, 0, 0, img->width(),
                        img->height(), img->data(), &bi, DIB_RGB_COLORS, SRCCOPY);
          paintPrints(dc, *img);
        }
      }
      if (panel != ControlId::Count) paintLabels(panel, dc);
      EndPaint(h, &ps);
      return 0;
    }
    case WM_COMMAND:
      if (HIWORD(w) == BN_CLICKED && l) {
        const ControlId id = idOf(reinterpret_cast<HWND>(l));
        if (id != ControlId::Count && form_) form_->controlClicked(id);
        return 0;
      }
      break;
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (l) onScroll(reinterpret_cast<HWND>(l), LOWORD(w));
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    // Only the left button double-clicks; another button's second press is a press.
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
      if (panel == ControlId::Picture4 && form_) {
        const int button = m == WM_LBUTTONDOWN                            ? 1
                           : m == WM_RBUTTONDOWN || m == WM_RBUTTONDBLCLK ? 2
                                                                          : 4;
        form_->panelMouseDown(button, fromDevice(GET_X_LPARAM(l)), fromDevice(GET_Y_LPARAM(l)));
      }
      return 0;
    case WM_LBUTTONDBLCLK:
      if (panel == ControlId::Picture4 && form_) form_->panelDblClick();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(h, m, w, l);
}

void Win32Platform::onScroll(HWND bar, int code) {
  const ControlId id = idOf(bar);
  if (id == ControlId::Count) return;
  const Scroll& s = scrolls_[size_t(id)];
  int v = s.value;
  switch (code) {
    case SB_LINELEFT:
      v -= s.small;
      break;
    case SB_LINERIGHT:
      v += s.small;
      break;
    case SB_PAGELEFT:
      v -= s.large;
      break;
    case SB_PAGERIGHT:
      v += s.large;
      break;
    case SB_LEFT:
      v = std::min(s.min, s.max);
      break;
    case SB_RIGHT:
      v = std::max(s.min, s.max);
      break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      SCROLLINFO si{};
      si.cbSize = sizeof si;
      si.fMask = SIF_TRACKPOS;
      GetScrollInfo(bar, SB_CTL, &si);
      v = si.nTrackPos;
      break;
    }
    default:
      return;
  }
  changeScroll(id, v);
}

void Win32Platform::changeScroll(ControlId id, int value) {
  Scroll& s = scrolls_[size_t(id)];
  const int v = std::clamp(value, int(std::min(s.min, s.max)), int(std::max(s.min, s.max)));
  if (v == s.value) return;
  s.value = int16_t(v);
  if (HWND h = hwnd(id)) SetScrollPos(h, SB_CTL, v, TRUE);
  // As a user's change would: before this returns.
  if (form_) form_->scrollChanged(id);
}

// ---------------------------------------------------------------- controls

void Win32Platform::paintLabels(ControlId panel, HDC dc) {
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colorRef(kWindowTextColour));
  HGDIOBJ old = nullptr;
  for (const ControlSpec& c : kControls) {
    const Label& l = labels_[size_t(c.id)];
    if (c.kind != ControlKind::Label || c.parent != panel || !l.visible) continue;
    RECT r = l.rect;
    if (c.bordered) {
      for (int i = 0; i < scale_; ++i) {
        FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        InflateRect(&r, -1, -1);
      }
      InflateRect(&r, -scale_, -scale_);  // a pixel of air inside the frame
    }
    HGDIOBJ prev = SelectObject(dc, l.font);
    if (!old) old = prev;
    DrawTextW(dc, l.text.c_str(), int(l.text.size()), &r,
              DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
  }
  if (old) SelectObject(dc, old);
}

void Win32Platform::invalidateLabel(ControlId id) {
  if (HWND parent = hwnd(control(id).parent))
    InvalidateRect(parent, &labels_[size_t(id)].rect, FALSE);
}

void Win32Platform::updateActivation() {
  bool any = false;
  // The panel's own visibility: the overlay itself may be hidden.
  for (const ControlSpec& c : kControls)
    if (isWindowLevel(c.id) && hwnd(c.id) && (GetWindowLongW(hwnd(c.id), GWL_STYLE) & WS_VISIBLE))
      any = true;
  if (any == activatable_) return;
  activatable_ = any;
  LONG_PTR ex = GetWindowLongPtrW(window_, GWL_EXSTYLE);
  ex = any ? (ex & ~LONG_PTR(WS_EX_NOACTIVATE)) : (ex | WS_EX_NOACTIVATE);
  SetWindowLongPtrW(window_, GWL_EXSTYLE, ex);
  syncOverlayShown();
  if (!IsWindowVisible(window_)) return;  // makeTopmostAndShow takes it
  // A panel takes the keyboard when it appears (for its buttons and for
  // Escape) and gives it back to the window that had it when the last goes.
  // One panel often follows another a tick later: the keyboard goes back
  // only once no panel has shown for a moment, so it does not bounce.
  if (any) {
    KillTimer(window_, kHandBackTimer);
    takeFocus();
  } else {
    SetTimer(window_, kHandBackTimer, 250, nullptr);
  }
}

void Win32Platform::handFocusBack() {
  KillTimer(window_, kHandBackTimer);
  if (activatable_) return;
  if (GetForegroundWindow() == window_) {
    if (focusOwner_ && IsWindow(focusOwner_)) {
      SetForegroundWindow(focusOwner_);
    } else if (underWine()) {
      // Wine confines the pointer to a foreground window that covers the
      // screen, as for a game: the overlay would take every click, and the
      // tray's icon would answer none. With no panel it is nobody's
      // foreground window.
      SetForegroundWindow(GetDesktopWindow());
    }
  }
  focusOwner_ = nullptr;
}

void Win32Platform::takeFocus() {
  // Wine (8) changes its own idea of the foreground window but never asks
  // the X window manager, so the keys the user types would go to neither
  // window: there the keyboard moves only by the user's clicks.
  if (underWine()) return;
  HWND owner = GetForegroundWindow();
  if (owner != window_) focusOwner_ = owner;
  SetForegroundWindow(window_);
}

void Win32Platform::showControl(ControlId id, bool visible) {
  if (control(id).kind == ControlKind::Label) {
    if (labels_[size_t(id)].visible == visible) return;
    labels_[size_t(id)].visible = visible;
    invalidateLabel(id);
    return;
  }
  HWND h = hwnd(id);
  if (!h || bool(GetWindowLongPtrW(h, GWL_STYLE) & WS_VISIBLE) == visible) return;
  ShowWindow(h, visible ? SW_SHOWNA : SW_HIDE);
  if (isWindowLevel(id)) updateActivation();
}

void Win32Platform::moveControl(ControlId id, int32_t l, int32_t t) {
  boxes_[size_t(id)].left = l;
  boxes_[size_t(id)].top = t;
  if (control(id).kind == ControlKind::Label) {
    Label& label = labels_[size_t(id)];
    if (label.rect.left == dev(l) && label.rect.top == dev(t)) return;
    invalidateLabel(id);
    OffsetRect(&label.rect, dev(l) - label.rect.left, dev(t) - label.rect.top);
    invalidateLabel(id);
    return;
  }
  if (HWND h = hwnd(id))
    SetWindowPos(h, nullptr, dev(l), dev(t), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Platform::setCaption(ControlId id, std::string_view t) {
  const std::wstring s = caption(t);
  if (control(id).kind == ControlKind::Label) {
    if (labels_[size_t(id)].text == s) return;
    labels_[size_t(id)].text = s;
    invalidateLabel(id);
    return;
  }
  HWND h = hwnd(id);
  if (!h) return;
  // Only a changed text: a repaint every tick would flicker.
  const int n = GetWindowTextLengthW(h);
  std::wstring old(size_t(n) + 1, L'\0');
  GetWindowTextW(h, old.data(), n + 1);
  old.resize(size_t(n));
  if (old != s) SetWindowTextW(h, s.c_str());
}

void Win32Platform::setEnabled(ControlId id, bool enabled) {
  if (HWND h = hwnd(id)) EnableWindow(h, enabled);
}

void Win32Platform::setScrollRange(ControlId id, int16_t min, int16_t max) {
  Scroll& s = scrolls_[size_t(id)];
  s.min = min;
  s.max = max;
  // A range alone raises no change event.
  s.value = int16_t(std::clamp(int(s.value), int(std::min(min, max)), int(std::max(min, max))));
  if (HWND h = hwnd(id)) {
    SCROLLINFO si{sizeof si,
                  SIF_RANGE | SIF_POS | SIF_DISABLENOSCROLL,
                  std::min(min, max),
                  std::max(min, max),
                  0,
                  s.value,
                  0};
    SetScrollInfo(h, SB_CTL, &si, TRUE);
  }
}

void Win32Platform::setScrollValue(ControlId id, int16_t value) {
  changeScroll(id, value);
}

int16_t Win32Platform::scrollValue(ControlId id) const {
  return scrolls_[size_t(id)].value;
}

void Win32Platform::setScrollSteps(ControlId id, int16_t smallChange, int16_t largeChange) {
  scrolls_[size_t(id)].small = smallChange;
  scrolls_[size_t(id)].large = largeChange;
}

void Win32Platform::listClear(ControlId id) {
  if (HWND h = hwnd(id)) {
    SendMessageW(h, LB_RESETCONTENT, 0, 0);
    SendMessageW(h, LB_SETHORIZONTALEXTENT, 0, 0);
  }
}

void Win32Platform::listAdd(ControlId id, std::string_view line) {
  HWND h = hwnd(id);
  if (!h) return;
  const std::wstring text = caption(line);
  SendMessageW(h, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  // The scrollable width follows the widest line, in the list's own font,
  // with room for the margins the list box draws an item with.
  const LRESULT width = textWidth(h, text) + 6 * scale_;
  if (width > SendMessageW(h, LB_GETHORIZONTALEXTENT, 0, 0))
    SendMessageW(h, LB_SETHORIZONTALEXTENT, WPARAM(width), 0);
}

void Win32Platform::setFocus(ControlId id) {
  if (HWND h = hwnd(id); h && activatable_) SetFocus(h);
}

void Win32Platform::showPicture(ControlId id, const Image& image) {
  pictures_[size_t(id)] = &image;
  if (HWND h = hwnd(id)) InvalidateRect(h, nullptr, FALSE);
}

// ---------------------------------------------------------------- text

void Win32Platform::drawText(Image& image, int32_t x, int32_t y, double points, uint32_t rgb,
                             std::string_view t) {
  const std::wstring s = caption(t);
  if (s.empty()) return;
  if (!textDc_) {
    textDc_ = CreateCompatibleDC(nullptr);
    textBitmap_ = dibSection(64, 64, &textBits_);
    textOld_ = SelectObject(textDc_, textBitmap_);
    textW_ = textH_ = 64;
    SetBkMode(textDc_, TRANSPARENT);
    SetTextAlign(textDc_, TA_LEFT | TA_TOP | TA_NOUPDATECP);
  }
  HFONT font = minchoFont(fontPixels(points), true);
  SelectObject(textDc_, font);
  SIZE size{};
  GetTextExtentPoint32W(textDc_, s.c_str(), int(s.size()), &size);
  // Glyphs may reach a little past the advance (overhangs).
  const int margin = fontPixels(points) / 2 + 2;
  const Rect touched = clipTo(Rect{x - margin, y, x + size.cx + margin, y + size.cy + margin},
                              image.width(), image.height());
  if (touched.empty()) return;
  const int w = touched.right - touched.left, h = touched.bottom - touched.top;
  if (w > textW_ || h > textH_) {
    const int nw = std::max(w, textW_), nh = std::max(h, textH_);
    SelectObject(textDc_, textOld_);
    DeleteObject(textBitmap_);
    textBitmap_ = dibSection(nw, nh, &textBits_);
    textOld_ = SelectObject(textDc_, textBitmap_);
    SelectObject(textDc_, font);
    textW_ = nw;
    textH_ = nh;
  }
  // Prints no longer there are dropped before this one changes the pixels.
  if (scale_ > 1)
    std::erase_if(prints_, [&](const Print& p) { return p.image == &image && !intact(p); });
  GdiFlush();
  std::vector<uint32_t> before;
  if (scale_ > 1) before.reserve(size_t(w) * size_t(h));
  for (int row = 0; row < h; ++row) {
    const uint32_t* from = image.row(touched.top + row) + touched.left;
    std::memcpy(textBits_ + size_t(row) * size_t(textW_), from, size_t(w) * sizeof(uint32_t));
    if (scale_ > 1) before.insert(before.end(), from, from + w);
  }
  SetTextColor(textDc_, colorRef(rgb));
  TextOutW(textDc_, x - touched.left, y - touched.top, s.c_str(), int(s.size()));
  GdiFlush();
  // GDI may leave its own bits in the top byte; the core compares 0x00RRGGBB.
  for (int row = 0; row < h; ++row) {
    const uint32_t* from = textBits_ + size_t(row) * size_t(textW_);
    uint32_t* to = image.row(touched.top + row) + touched.left;
    for (int col = 0; col < w; ++col) to[col] = from[col] & 0x00FFFFFFu;
  }
  if (scale_ > 1) keepPrint(image, touched, std::move(before), points, rgb, x, y, s);
}

bool Win32Platform::intact(const Print& p) {
  const Image& img = *p.image;
  if (p.rect.right > img.width() || p.rect.bottom > img.height()) return false;
  const size_t w = size_t(p.rect.right - p.rect.left);
  for (int32_t y = p.rect.top; y < p.rect.bottom; ++y)
    if (std::memcmp(img.row(y) + p.rect.left, p.after.data() + size_t(y - p.rect.top) * w,
                    w * sizeof(uint32_t)) != 0)
      return false;
  return true;
}

void Win32Platform::keepPrint(const Image& image, const Rect& rect, std::vector<uint32_t> before,
                              double points, uint32_t rgb, int32_t x, int32_t y,
                              const std::wstring& text) {
  // One still there under the new one lends its own background, so neither
  // shows twice.
  const size_t w = size_t(rect.right - rect.left);
  for (Print& p : prints_) {
    if (p.image != &image) continue;
    const Rect o{std::max(p.rect.left, rect.left), std::max(p.rect.top, rect.top),
                 std::min(p.rect.right, rect.right), std::min(p.rect.bottom, rect.bottom)};
    const size_t pw = size_t(p.rect.right - p.rect.left);
    // The older print stays whole with the new one beside it.
    for (int32_t row = o.top; row < o.bottom; ++row)
      for (int32_t col = o.left; col < o.right; ++col) {
        const size_t at = size_t(row - p.rect.top) * pw + size_t(col - p.rect.left);
        before[size_t(row - rect.top) * w + size_t(col - rect.left)] = p.before[at];
        p.after[at] = image.row(row)[col];
      }
  }
  // The same text printed again in the same place replaces the older print.
  std::erase_if(prints_, [&](const Print& p) {
    return p.image == &image && p.x == x && p.y == y && p.points == points && p.rgb == rgb &&
           p.text == text;
  });
  Print print{&image, rect, std::move(before), {}, points, rgb, x, y, text};
  for (int32_t row = rect.top; row < rect.bottom; ++row)
    print.after.insert(print.after.end(), image.row(row) + rect.left, image.row(row) + rect.right);
  prints_.push_back(std::move(print));
  // A few slot list pages' worth; older ones go first.
  if (prints_.size() > 96) prints_.erase(prints_.begin());
}

void Win32Platform::paintPrints(HDC dc, const Image& image) {
  const int s = scale_;
  if (s < 2) return;
  SetBkMode(dc, TRANSPARENT);
  SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
  HGDIOBJ old = nullptr;
  std::vector<const Print*> shown;
  for (const Print& p : prints_)
    if (p.image == &image && intact(p)) shown.push_back(&p);
  // Every background first: prints that touch must not wipe each other out.
  for (const Print* q : shown) {
    const Print& p = *q;
    const int w = p.rect.right - p.rect.left, h = p.rect.bottom - p.rect.top;
    const BITMAPINFO bi = topDown(w, h);
    StretchDIBits(dc, p.rect.left * s, p.rect.top * s, w * s, h * s, 0, 0, w, h, p.before.data(),
                  &bi, DIB_RGB_COLORS, SRCCOPY);
  }
  for (const Print* q : shown) {
    const Print& p = *q;
    HGDIOBJ prev = SelectObject(dc, minchoFont(fontPixels(p.points * s), false));
    if (!old) old = prev;
    SetTextColor(dc, colorRef(p.rgb));
    TextOutW(dc, p.x * s, p.y * s, p.text.c_str(), int(p.text.size()));
  }
  if (old) SelectObject(dc, old);
}

// ---------------------------------------------------------------- icons

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

// ---------------------------------------------------------------- the rest

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

double Win32Platform::secondsToNextSecond() const {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return 1.0 - t.wMilliseconds / 1000.0;
}

LocalTime Win32Platform::now() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  if (tickAge_ > 0) {
    FILETIME f;
    SystemTimeToFileTime(&t, &f);
    ULARGE_INTEGER u;
    u.LowPart = f.dwLowDateTime;
    u.HighPart = f.dwHighDateTime;
    u.QuadPart -= uint64_t(tickAge_ * 1e7);  // 100 ns units
    f.dwLowDateTime = u.LowPart;
    f.dwHighDateTime = u.HighPart;
    FileTimeToSystemTime(&f, &t);
  }
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

std::string Win32Platform::shortDate() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  // The user's own short date format.
  wchar_t text[64];
  const int n = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, text, 64);
  if (n > 1) {
    char out[256];
    const int m = WideCharToMultiByte(CP_UTF8, 0, text, n - 1, out, sizeof out, nullptr, nullptr);
    if (m > 0) return std::string(out, size_t(m));
  }
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04u/%02u/%02u", unsigned(t.wYear) % 10000u,
                unsigned(t.wMonth) % 100u, unsigned(t.wDay) % 100u);
  return buf;
}

void Win32Platform::seedRandom(double secondsSinceMidnight) {
  rng_.seed(static_cast<uint64_t>(std::llround(secondsSinceMidnight * 1000.0)));
}

double Win32Platform::random() {
  return static_cast<double>(rng_() >> 11) * 0x1.0p-53;
}

std::vector<std::string> Win32Platform::listFiles() {
  if (!folder_) return {};
  return win32::listFiles();
}
std::optional<std::string> Win32Platform::readFile(const std::string& name) {
  if (!folder_) return std::nullopt;
  return win32::readFile(name);
}
bool Win32Platform::writeFileAtomic(const std::string& name, std::string_view bytes) {
  return folderHere() && win32::writeFileAtomic(name, bytes);
}
bool Win32Platform::writeCopy(const std::string& original, const std::string& copyName,
                              std::string_view bytes) {
  return folderHere() && win32::writeCopy(original, copyName, bytes);
}

bool Win32Platform::folderHere() {
  if (!folder_) return false;
  std::wstring error;
  const std::string where = narrow(folder_->path());
  switch (folder_->keep(&error)) {
    case DataFolder::Check::Same:
      return true;
    case DataFolder::Check::Remade:
      reportProblem("データフォルダ「" + where + "」がなくなっていたので、作り直しました。");
      return true;
    case DataFolder::Check::Failed:
      break;
  }
  if (error != folderTold_)
    reportProblem("データフォルダ「" + where + "」がなくなり、作り直せません（" + narrow(error) +
                  "）。");
  folderTold_ = error;
  return false;
}

void Win32Platform::announce(std::string_view t) {
  if (onAnnounce_) onAnnounce_(t);
}

void Win32Platform::reportProblem(std::string_view t) {
  std::string line = "deskpet: ";
  line.append(t);
  line += "\n";
  OutputDebugStringW(widen(line).c_str());
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  if (err && err != INVALID_HANDLE_VALUE) {
    DWORD n = 0;
    WriteFile(err, line.data(), DWORD(line.size()), &n, nullptr);
  }
  if (onProblem_) onProblem_(t);
}

void Win32Platform::endProgram() {
  if (onEnd_) onEnd_();
  // At once: the data file is either saved already or must stay as it is.
  ExitProcess(0);
}

}  // namespace pet::win32
