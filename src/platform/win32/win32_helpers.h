#pragma once
// What the Windows platform's files share: the control table's units, the
// window classes, conversions of messages' keys and colours, and 32-bit
// top-down pictures. For src/platform/win32/*.cpp only.
#include <windows.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "panels/controls.h"
#include "platform/win32/text.h"

namespace pet::win32 {

constexpr int kTwips = 15;
// The overlay's own timer (the tick timer is the program's, number 1).
constexpr UINT_PTR kHandBackTimer = 2;
constexpr int kDefaultFontTenths = 98;  // 9.75 pt when the table names no size
constexpr int kFirstChildId = 100;
constexpr wchar_t kOverlayClass[] = L"DeskpetOverlay";
constexpr wchar_t kPanelClass[] = L"DeskpetPanel";

inline int px(int32_t twips) {
  return int(std::lround(double(twips) / kTwips));
}

template <typename F>
F systemFunction(const wchar_t* dll, const char* name) {
  HMODULE m = GetModuleHandleW(dll);
  if (!m) m = LoadLibraryW(dll);
  return m ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name))) : nullptr;
}

inline COLORREF colorRef(uint32_t rgb) {
  return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

inline bool isWindowLevel(ControlId id) {
  return control(id).parent == ControlId::Count;
}

inline int shiftState(WPARAM keys) {
  return ((keys & MK_SHIFT) ? 1 : 0) | ((keys & MK_CONTROL) ? 2 : 0) |
         (GetKeyState(VK_MENU) < 0 ? 4 : 0);
}

inline int buttonMask(WPARAM keys) {
  return ((keys & MK_LBUTTON) ? 1 : 0) | ((keys & MK_RBUTTON) ? 2 : 0) |
         ((keys & MK_MBUTTON) ? 4 : 0);
}

inline std::wstring caption(std::string_view utf8) {
  std::wstring s = widen(utf8);
  std::erase(s, L'\r');
  return s;
}

// The header of a 32-bit top-down image of w x h pixels.
inline BITMAPINFO topDown(int w, int h) {
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
inline HBITMAP dibSection(int w, int h, uint32_t** bits) {
  const BITMAPINFO bi = topDown(w, h);
  void* p = nullptr;
  HBITMAP b = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0);
  *bits = static_cast<uint32_t*>(p);
  return b;
}

}  // namespace pet::win32
