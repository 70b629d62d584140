// Run under Wine by the Windows suite: the information panel's history list
// as the Windows program builds it, filled with every species at the largest
// count. Measures with GDI, in the list's own font, that the widest line can
// be scrolled to in full. Prints the figures; exit status 1 when it cannot.
#include <windows.h>

#include <cstdio>
#include <string>

#include "model/numbers.h"
#include "platform/win32/text.h"
#include "platform/win32/win32_platform.h"
#include "sim/pet_kinds.h"

namespace {

HWND findList(HWND parent) {
  HWND found = nullptr;
  EnumChildWindows(
      parent,
      [](HWND h, LPARAM out) -> BOOL {
        wchar_t cls[32];
        GetClassNameW(h, cls, 32);
        if (lstrcmpiW(cls, L"ListBox") != 0) return TRUE;
        *reinterpret_cast<HWND*>(out) = h;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

}  // namespace

int main() {
  pet::win32::Win32Platform platform(GetModuleHandleW(nullptr));
  HWND list = findList(platform.window());
  if (!list) {
    std::printf("no list box\n");
    return 1;
  }
  platform.showControl(pet::ControlId::Picture2, true);
  platform.listClear(pet::ControlId::List1);
  int widest = 0;
  std::wstring widestLine;
  for (int k = 1; k < pet::kSpeciesCount; ++k) {
    const std::string line =
        std::string(pet::kSpecies[size_t(k)].name) + "：" + pet::numberText(32767) + "回";
    platform.listAdd(pet::ControlId::List1, line);
    const std::wstring wide = pet::win32::widen(line);
    if (int w = pet::win32::textWidth(list, wide); w > widest) widest = w, widestLine = wide;
  }
  RECT inner;
  GetClientRect(list, &inner);
  SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE, 0, 0, 0, 0, 0};
  const bool bar =
      GetScrollInfo(list, SB_HORZ, &si) && (GetWindowLongW(list, GWL_STYLE) & WS_HSCROLL);
  const int reach = bar ? si.nMax - si.nMin + 1 : int(inner.right);
  std::printf("widest line: %d px; list inside: %ld px; scrollable: %d px\n", widest, inner.right,
              reach);
  return reach >= widest ? 0 : 1;
}
