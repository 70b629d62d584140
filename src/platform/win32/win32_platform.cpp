// The Windows platform's making and unmaking, and the plain parts of what the
// core asks of it: the clock, the random source, the data folder's files, and
// problems and news for the user (shown by the program: the tray or a box).
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
#include "platform/win32/win32_helpers.h"
#include "shell/form2.h"

namespace pet::win32 {

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
