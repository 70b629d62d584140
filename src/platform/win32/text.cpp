#include "platform/win32/text.h"

#include <cmath>
#include <map>
#include <utility>

namespace pet::win32 {

std::wstring widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring out(size_t(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), out.data(), n);
  return out;
}

std::string narrow(std::wstring_view utf16) {
  if (utf16.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), int(utf16.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, utf16.data(), int(utf16.size()), out.data(), n, nullptr, nullptr);
  return out;
}

int fontPixels(double points) {
  return std::max(1, int(std::lround(points * 96.0 / 72.0)));
}

namespace {

HFONT create(const wchar_t* face, int pixels, bool aliased) {
  return CreateFontW(-pixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                     aliased ? NONANTIALIASED_QUALITY : DEFAULT_QUALITY, FIXED_PITCH | FF_ROMAN,
                     face);
}

// True when the system gave the face asked for (or a replacement it maps
// that name to), not some other face it substitutes.
bool matches(HFONT font, const wchar_t* face) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  wchar_t got[LF_FACESIZE] = {};
  GetTextFaceW(dc, LF_FACESIZE, got);
  SelectObject(dc, old);
  DeleteDC(dc);
  return lstrcmpiW(got, face) == 0;
}

}  // namespace

HFONT minchoFont(int pixels, bool aliased) {
  static std::map<std::pair<int, bool>, HFONT> cache;
  const auto key = std::make_pair(pixels, aliased);
  if (auto it = cache.find(key); it != cache.end()) return it->second;
  static const wchar_t* const faces[] = {L"ＭＳ 明朝", L"MS Mincho", L"IPAMincho", L"IPA明朝"};
  HFONT chosen = nullptr;
  for (const wchar_t* face : faces) {
    HFONT f = create(face, pixels, aliased);
    if (f && matches(f, face)) {
      chosen = f;
      break;
    }
    if (f) DeleteObject(f);
  }
  if (!chosen) chosen = create(faces[0], pixels, aliased);
  cache.emplace(key, chosen);
  return chosen;
}

int textWidth(HWND window, std::wstring_view text) {
  HDC dc = GetDC(window);
  HGDIOBJ prev = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)));
  SIZE size{};
  GetTextExtentPoint32W(dc, text.data(), int(text.size()), &size);
  SelectObject(dc, prev);
  ReleaseDC(window, dc);
  return int(size.cx);
}

}  // namespace pet::win32
