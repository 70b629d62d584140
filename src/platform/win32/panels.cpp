// The panels and their controls: native child windows built from the control
// table, their captions, scroll bars and lists, the keyboard taken while a
// panel shows and given back after, and text printed into the core's
// pictures with GDI (printed again sharp over a picture shown scaled up).
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

}  // namespace pet::win32
