// Run under Wine by the Windows suite: the start-at-login value is on only for
// the pets it starts. Prints what differs; exit status 1 when anything does.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/win32/autostart.h"

int wmain() {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  const std::wstring program = L"\"" + std::wstring(exe) + L"\"";
  const pet::win32::Autostart defaultPets(program);
  const pet::win32::Autostart otherPets(program + L" --data-dir \"C:\\pets 2\"");
  const pet::win32::Autostart sameOther(program + L" --data-dir \"c:\\PETS 2\"");
  int failed = 0;
  auto expect = [&](bool got, bool want, const char* what) {
    if (got == want) return;
    std::printf("%s: %d, not %d\n", what, int(got), int(want));
    failed = 1;
  };
  defaultPets.setEnabled(false);
  expect(defaultPets.setEnabled(true), true, "written");
  expect(defaultPets.enabled(), true, "on for the default folder");
  expect(otherPets.enabled(), false, "on for another folder");
  expect(otherPets.setEnabled(true), true, "written for another folder");
  expect(otherPets.enabled(), true, "on for that folder");
  expect(sameOther.enabled(), true, "on for that folder in other letter case");
  expect(defaultPets.enabled(), false, "on for the default folder after");
  defaultPets.setEnabled(false);
  std::printf(failed ? "autostart check failed\n" : "autostart check passed\n");
  return failed;
}
