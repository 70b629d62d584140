#pragma once
// The tray icon, its menu and its balloons, on a hidden window of their own,
// which also takes the requests of another start of the program (the window's
// handle is left in the data folder's lock file for it).
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/win32/autostart.h"
#include "platform/win32/win32_platform.h"

namespace pet {
class Form2;
}

namespace pet::win32 {

constexpr UINT kTrayMessage = WM_APP + 1;
constexpr UINT kNoticeMessage = WM_APP + 2;
// From another start of the program on the same folder: wParam is a Request.
constexpr UINT kRequestMessage = WM_APP + 4;
constexpr UINT kTrayId = 1;

// What a second start asks of the running program.
enum class Request : WPARAM { OpenList = 0, ShowInfo = 1, Quit = 2 };

class Tray {
 public:
  Tray(HINSTANCE instance, pet::Form2& form, pet::win32::Win32Platform& platform,
       const pet::win32::Autostart& autostart, std::function<void()> quit,
       std::function<void()> wake);
  ~Tray() { remove(); }
  HWND window() const { return window_; }

  void add();
  void remove();
  // Tells the user of a problem once the current message is handled (a
  // problem is reported in the middle of a tick): a balloon from the icon
  // once it is known to work, else a message box.
  void notice(std::string_view text, bool problem = true);
  // The tooltip follows the number of pets.
  void update();

 private:
  NOTIFYICONDATAW data(UINT flags);

  static LRESULT CALLBACK proc(HWND h, UINT m, WPARAM w, LPARAM l);

  void showNotices();

  void onRequest(Request request);

  void onIcon(UINT mouse);

  pet::Form2& form_;
  pet::win32::Win32Platform& platform_;
  const pet::win32::Autostart& autostart_;
  std::function<void()> quit_;
  std::function<void()> wake_;
  HWND window_ = nullptr;
  UINT taskbarCreated_ = 0;
  bool shown_ = false;
  int16_t count_ = -1;
  std::vector<std::pair<std::wstring, bool>> notices_;  // text, whether a problem
};

}  // namespace pet::win32
