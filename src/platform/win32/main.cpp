// The Windows desktop program and its session: its pets in a data folder (the
// user's when installed, beside the program when portable), one instance per
// data folder (a second start hands its request to the first), about 64 ticks
// a second (tick_pacer.h), the tray (tray.h), and quit requests from the
// window and the session.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "platform/tick_schedule.h"
#include "platform/win32/autostart.h"
#include "platform/win32/files.h"
#include "platform/win32/text.h"
#include "platform/win32/tick_pacer.h"
#include "platform/win32/tray.h"
#include "platform/win32/win32_platform.h"
#include "shell/form2.h"
#include "shell/settings.h"

namespace {

using pet::win32::kRequestMessage;
using pet::win32::Request;
using pet::win32::Tray;

constexpr UINT_PTR kTickTimer = 1;
constexpr UINT kPointerMoved = WM_APP + 3;
// How long a second start waits for the running program's answer.
constexpr UINT kRequestTimeoutMs = 3000;

constexpr UINT kDpiChanged = 0x02E0;  // WM_DPICHANGED, from Windows 8.1 on
constexpr int kWatchTicks =
    15;  // a look at the screen and the window in front, about every quarter second

// The manifest asks for per-monitor awareness (v2); where it is not read,
// the same is asked here, and on systems without it plain DPI awareness.
void declareDpiAware() {
  using SetContext = BOOL(WINAPI*)(HANDLE);
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  const auto setContext = user32 ? reinterpret_cast<SetContext>(reinterpret_cast<void*>(
                                       GetProcAddress(user32, "SetProcessDpiAwarenessContext")))
                                 : nullptr;
  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2; refused when the manifest already said so.
  if (setContext &&
      (setContext(reinterpret_cast<HANDLE>(INT_PTR(-4))) || GetLastError() == ERROR_ACCESS_DENIED))
    return;
  SetProcessDPIAware();
}

void writeStderr(const char* text) {
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  if (!err || err == INVALID_HANDLE_VALUE) return;
  DWORD n = 0;
  WriteFile(err, text, DWORD(std::char_traits<char>::length(text)), &n, nullptr);
}

std::wstring fullPath(const std::wstring& path) {
  wchar_t full[32768];
  const DWORD n = GetFullPathNameW(path.c_str(), 32768, full, nullptr);
  std::wstring out = n > 0 && n < 32768 ? std::wstring(full, n) : path;
  while (out.size() > 3 && (out.back() == L'\\' || out.back() == L'/')) out.pop_back();
  return out;
}

// Where the pets live: `--data-dir DIR`; else, for a copy the installer put
// in place (its uninstaller beside it), %APPDATA%\deskpet; else, a portable
// copy, the program's own folder.
struct DataFolder {
  std::wstring path;
  std::wstring program;  // this program's full path
  bool given = false;    // by --data-dir
  // Asked of the program already running there: --show-info, --quit, or
  // (by default, as a start from the menu) --open-list.
  Request request = Request::OpenList;
};

DataFolder chooseDataFolder() {
  DataFolder f;
  std::vector<wchar_t> exe(32768);
  const DWORD n = GetModuleFileNameW(nullptr, exe.data(), DWORD(exe.size()));
  f.program.assign(exe.data(), n);
  int argc = 0;
  if (LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc)) {
    for (int i = 1; i < argc; ++i) {
      const std::wstring a = argv[i];
      if (a == L"--data-dir" && i + 1 < argc) f = {argv[++i], f.program, true, f.request};
      if (a.rfind(L"--data-dir=", 0) == 0) f = {a.substr(11), f.program, true, f.request};
      if (a == L"--show-info") f.request = Request::ShowInfo;
      if (a == L"--quit") f.request = Request::Quit;
    }
    LocalFree(argv);
  }
  if (f.given) {
    f.path = fullPath(f.path);
    return f;
  }
  const std::wstring beside = f.program.substr(0, f.program.find_last_of(L"\\/"));
  const DWORD attributes = GetFileAttributesW((beside + L"\\uninstall.exe").c_str());
  wchar_t appData[32768];
  const DWORD m = GetEnvironmentVariableW(L"APPDATA", appData, 32768);
  if (attributes != INVALID_FILE_ATTRIBUTES && m > 0 && m < 32768)
    f.path = fullPath(std::wstring(appData, m) + L"\\deskpet");
  else
    f.path = fullPath(beside);
  return f;
}

// Whether a new file can be made in the working directory.
bool folderWritable() {
  const wchar_t* probe = L".deskpet-write-test";
  HANDLE h = CreateFileW(probe, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

double steadySeconds() {
  static const double perSecond = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return double(f.QuadPart);
  }();
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  return double(c.QuadPart) / perSecond;
}

// DESKPET_STATS=1: the ticks a second the program had, told when it ends.
struct TickStats {
  bool enabled = GetEnvironmentVariableW(L"DESKPET_STATS", nullptr, 0) > 0;
  double start = steadySeconds();
  long ticks = 0;
  long wakes = 0;  // ticks the program woke for (the others ran late, slept through)
  void report(int16_t frameRate) const {
    if (!enabled) return;
    const double seconds = steadySeconds() - start;
    char line[200];
    std::snprintf(
        line, sizeof line,
        "deskpet: %ld ticks in %.1f s, %.1f a second (frameRate %d), woke %.1f a second\n", ticks,
        seconds, seconds > 0 ? ticks / seconds : 0.0, int(frameRate),
        seconds > 0 ? wakes / seconds : 0.0);
    writeStderr(line);
  }
};

// Hands `request` to the program running on the working directory's folder,
// through its tray window, whose handle it left in the lock file. False when
// there is none of ours, or it does not answer in time.
bool sendRequest(Request request) {
  const std::string tag = pet::win32::DataFolder::readTag();
  if (tag.rfind("tray=", 0) != 0) return false;
  HWND window =
      reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(tag.c_str() + 5, nullptr, 10)));
  wchar_t name[32] = {};
  if (!IsWindow(window) || !GetClassNameW(window, name, 32) ||
      std::wcscmp(name, L"DeskpetTray") != 0)
    return false;
  // The panel it opens may take the keyboard, as this start, the user's, may.
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  AllowSetForegroundWindow(pid);
  DWORD_PTR answer = 0;
  return SendMessageTimeoutW(window, kRequestMessage, WPARAM(request), 0,
                             SMTO_ABORTIFHUNG | SMTO_BLOCK, kRequestTimeoutMs, &answer) &&
         answer == 1;
}

int refuseSecondInstance() {
  writeStderr(
      "deskpet: another deskpet is already running with this data folder and cannot be asked to "
      "open its panels; this one ends without touching its data.\n");
  // Goes away by itself, so a second start from a script never hangs: the
  // box's own loop ends on WM_QUIT.
  SetTimer(nullptr, 0, 5000, [](HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(1); });
  MessageBoxW(nullptr, L"もこぽんは既に起動しています。", L"もこぽん",
              MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND | MB_TOPMOST);
  return 1;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  declareDpiAware();
  const DataFolder folder = chooseDataFolder();
  pet::win32::DataFolder dataFolder(folder.path);
  const std::wstring folderError = dataFolder.enter();
  // Without its folder the program keeps no lock: it reads and writes nothing.
  // A second start on the folder hands its request to the program running
  // there (the slot list, the information panel, or save and quit) and ends.
  if (folderError.empty() && !dataFolder.lock())
    return sendRequest(folder.request) ? 0 : refuseSecondInstance();
  // Asked to save and quit with none running: nothing to do, and no start.
  if (folder.request == Request::Quit) {
    writeStderr("deskpet: no deskpet runs with this data folder.\n");
    return 0;
  }

  pet::win32::Win32Platform platform(instance);
  pet::Form2 form(platform);
  platform.attach(&form);
  platform.setDataFolder(folderError.empty() ? &dataFolder : nullptr);

  // Started at login as it was started now: the same program, the same pets.
  std::wstring command = L"\"" + folder.program + L"\"";
  if (folder.given) command += L" --data-dir \"" + folder.path + L"\"";
  const pet::win32::Autostart autostart(command);

  // A quit request saves on the next tick. Before the data file is loaded
  // (run states 0 and 8) a save would write empty slots over it, so the
  // request waits until then.
  bool quitPending = false;
  auto applyQuit = [&] {
    if (quitPending && form.holdsUsersPets()) form.requestQuit();
  };
  auto requestQuit = [&] {
    quitPending = true;
    applyQuit();
  };

  // The tick: about 64 a second while something may change. Otherwise the
  // program sleeps until the core's next tick that can change anything (a
  // step, a new second) and runs the ticks it slept through when it wakes,
  // each at the time it was due. That needs every move of the mouse to wake
  // it, which the low-level hook gives on Windows; under Wine the hook sees
  // no move over other programs' windows, so there the program wakes for
  // every tick (DESKPET_SLEEP=1 sleeps there too, for tests).
  const bool sleeps = !pet::win32::Win32Platform::underWine() ||
                      GetEnvironmentVariableW(L"DESKPET_SLEEP", nullptr, 0) > 0;
  const UINT tickMs = pet::win32::Win32Platform::underWine() ? pet::win32::TickPacer::kExactTimerMs
                                                             : pet::win32::TickPacer::kTimerMs;
  pet::win32::TickPacer pacer;
  pet::TickSchedule schedule(1.0 / pet::win32::TickPacer::kTicksPerSecond);
  TickStats stats;
  int watchTicks = 0;
  bool timerAsleep = false;
  bool ticking = false;  // messages sent to the overlay by a tick wake nothing
  auto tick = [&] {
    ticking = true;
    ++stats.ticks;
    ++watchTicks;
    applyQuit();
    form.Fpss_Timer();
    form.Timer1_Timer();
    platform.afterTick();
    ticking = false;
  };
  auto runLate = [&](double dueAt) {
    // A quiet tick slept through: the clock reads the time it was due, the
    // cursor is where the last tick found it.
    platform.setTickAge(steadySeconds() - dueAt);
    tick();
    platform.setTickAge(0);
  };
  auto arm = [&](double now) {
    if (schedule.sleeping()) {
      const double ms = std::ceil((schedule.wakeAt() - now) * 1000);
      SetTimer(platform.window(), kTickTimer, UINT(std::max(1.0, ms)), nullptr);
      timerAsleep = true;
    } else if (timerAsleep) {
      SetTimer(platform.window(), kTickTimer, tickMs, nullptr);
      timerAsleep = false;
    }
  };
  auto wake = [&] {
    if (ticking || !schedule.sleeping()) return;
    const double now = steadySeconds();
    schedule.interrupt(now, runLate);
    // The next firing of the regular timer is the next tick.
    pacer.resume(schedule.wakeAt() - schedule.period());
    arm(now);
  };
  if (sleeps) platform.watchPointer(kPointerMoved);

  Tray tray(instance, form, platform, autostart, requestQuit, wake);
  dataFolder.setTag("tray=" + std::to_string(reinterpret_cast<uintptr_t>(tray.window())));
  platform.setOnProblem([&](std::string_view t) { tray.notice(t); });
  platform.setOnAnnounce([&](std::string_view t) { tray.notice(t, false); });
  platform.setOnEnd([&] {
    stats.report(form.state().frameRate);
    tray.remove();
  });

  platform.setMessageHook([&](UINT m, WPARAM w, LPARAM, LRESULT& result) {
    // Messages from the system, not from the program's own timer: the core
    // sees the ticks due before them first.
    if (m != WM_TIMER && m != WM_PAINT && m != WM_NCHITTEST && m != WM_SETCURSOR) wake();
    switch (m) {
      case kPointerMoved:
        return true;
      case WM_TIMER: {
        if (w != kTickTimer) return false;
        const double now = steadySeconds();
        if (timerAsleep) {
          // A timer a little early sleeps again for the rest.
          if (now < schedule.wakeAt() - 0.001) {
            arm(now);
            return true;
          }
          schedule.catchUp(now, runLate);
          pacer.resume(now);
          ++stats.wakes;
        } else if (!pacer.due(now)) {
          return true;
        } else {
          ++stats.wakes;
        }
        tick();
        tray.update();
        if (watchTicks >= kWatchTicks) {
          watchTicks = 0;
          platform.checkFullScreen();
          // Also here: under Wine the screen's new size may not be known yet
          // when the messages below arrive.
          platform.refreshScreen();
          form.screenChanged();
        }
        // Ticks that sample no cursor (the splash) still read it, so that the
        // reading is good for ticks run late.
        if (sleeps && !platform.pointerSettled()) platform.cursorPos();
        const int quiet =
            sleeps && platform.pointerSettled() ? form.quietTicks(platform.petsShown()) : 0;
        schedule.ranDue(now, quiet, now + platform.secondsToNextSecond());
        arm(now);
        return true;
      }
      case WM_DISPLAYCHANGE:
      case kDpiChanged:
      case WM_SETTINGCHANGE:
        // A new resolution, scale, monitor or work area: the overlay takes the
        // play area's new size (nothing happens when it is the same).
        platform.refreshScreen();
        form.screenChanged();
        return false;
      case WM_CLOSE:
        requestQuit();
        return true;
      case WM_QUERYENDSESSION:
        requestQuit();
        result = TRUE;
        return true;
      case WM_ENDSESSION:
        // The session ends when this returns: save now, not on a tick.
        if (w) {
          requestQuit();
          if (form.holdsUsersPets()) form.Timer1_Timer();
          platform.endProgram();
        }
        return true;
      default:
        return false;
    }
  });

  // The user's choices beside the pets; a damaged or unreadable file is the defaults.
  platform.setEveryMonitor(
      pet::parseSettings((folderError.empty()
                              ? pet::win32::readFile(pet::kSettingsFile, pet::kSettingsLimit)
                              : std::nullopt)
                             .value_or(""))
          .everyMonitor);
  form.Form_Load();
  tray.add();
  const std::string where = pet::win32::narrow(folder.path);
  if (!folderError.empty())
    platform.reportProblem("データフォルダ「" + where + "」を作れません（" +
                           pet::win32::narrow(folderError) + "）。ペットは保存されません。");
  else if (!folderWritable())
    platform.reportProblem("データフォルダ「" + where +
                           "」に書き込めません。ペットは保存されません。");
  SetTimer(platform.window(), kTickTimer, tickMs, nullptr);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    // Input and requests to any of the program's windows (the overlay's own
    // messages go through its hook above).
    if (msg.hwnd != platform.window() && msg.message != WM_TIMER && msg.message != WM_PAINT) wake();
    // Key preview: the window sees a key before the child control with the
    // focus does.
    if ((msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) && platform.keyPreview() &&
        platform.acceptsKeys()) {
      const int shift = (GetKeyState(VK_SHIFT) < 0 ? 1 : 0) |
                        (GetKeyState(VK_CONTROL) < 0 ? 2 : 0) | (GetKeyState(VK_MENU) < 0 ? 4 : 0);
      form.Form_KeyDown(int(msg.wParam), shift);
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  // The loop ended with no tick to come: save now.
  requestQuit();
  form.Timer1_Timer();
  platform.endProgram();
}
