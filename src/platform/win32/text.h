#pragma once
// Texts cross into Windows as UTF-16 and come back as UTF-8; the program's
// Mincho face for controls and for text printed into images.
#include <windows.h>

#include <string>
#include <string_view>

namespace pet::win32 {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

// Pixels high of a face of `points` at 96 pixels an inch.
int fontPixels(double points);

// The Mincho face `pixels` high (cell height), Shift-JIS character set, so
// Japanese shows whatever the system's locale. Never anti-aliased when
// `aliased`: edge pixels would blend with the colour key. Cached for the
// process's life.
HFONT minchoFont(int pixels, bool aliased);

// Pixels wide of `text` in the font of the control `window`.
int textWidth(HWND window, std::wstring_view text);

}  // namespace pet::win32
