// The tray icon, its menu and balloons, and the requests of another start.
#include "platform/win32/tray.h"

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
#include "shell/settings.h"

namespace pet::win32 {

namespace {

enum MenuCommand : UINT {
  kOpenList = 1,
  kShowInfo,
  kHidePets,
  kEveryMonitor,
  kAtLogin,
  kSaveAndQuit
};

}  // namespace

Tray::Tray(HINSTANCE instance, pet::Form2& form, pet::win32::Win32Platform& platform,
           const pet::win32::Autostart& autostart, std::function<void()> quit,
           std::function<void()> wake)
    : form_(form),
      platform_(platform),
      autostart_(autostart),
      quit_(std::move(quit)),
      wake_(std::move(wake)) {
  taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.lpszClassName = L"DeskpetTray";
  RegisterClassExW(&wc);
  window_ = CreateWindowExW(WS_EX_TOOLWINDOW, L"DeskpetTray", L"もこぽん", WS_POPUP, 0, 0, 0, 0,
                            nullptr, nullptr, instance, nullptr);
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void Tray::add() {
  NOTIFYICONDATAW nid = data(NIF_MESSAGE | NIF_ICON | NIF_TIP);
  shown_ = Shell_NotifyIconW(NIM_ADD, &nid);
  if (!shown_) platform_.setTrayWorking(false);
}

void Tray::remove() {
  if (!shown_) return;
  NOTIFYICONDATAW nid = data(0);
  Shell_NotifyIconW(NIM_DELETE, &nid);
  shown_ = false;
}

void Tray::notice(std::string_view text, bool problem) {
  notices_.push_back({pet::win32::widen(text), problem});
  PostMessageW(window_, kNoticeMessage, 0, 0);
}

void Tray::update() {
  if (form_.state().petCount == count_) return;
  if (!shown_) return add();
  NOTIFYICONDATAW nid = data(NIF_TIP);
  Shell_NotifyIconW(NIM_MODIFY, &nid);
}

NOTIFYICONDATAW Tray::data(UINT flags) {
  NOTIFYICONDATAW nid{};
  nid.cbSize = sizeof nid;
  nid.hWnd = window_;
  nid.uID = kTrayId;
  nid.uFlags = flags;
  nid.uCallbackMessage = kTrayMessage;
  nid.hIcon = platform_.icon(GetSystemMetrics(SM_CXSMICON));
  count_ = form_.state().petCount;
  std::swprintf(nid.szTip, sizeof nid.szTip / sizeof nid.szTip[0], L"もこぽん（%d匹）",
                int(count_));
  return nid;
}

LRESULT CALLBACK Tray::proc(HWND h, UINT m, WPARAM w, LPARAM l) {
  auto* self = reinterpret_cast<Tray*>(GetWindowLongPtrW(h, GWLP_USERDATA));
  if (self) {
    // The core sees the ticks due before what the user does here.
    if (m == kTrayMessage || m == WM_CLOSE) self->wake_();
    if (m == kTrayMessage) {
      // Wine reports success with a tray host that never shows the icon nor
      // passes its clicks on: only a message from the icon proves it works.
      self->platform_.setTrayWorking(true);
      self->onIcon(UINT(l));
      return 0;
    }
    if (m == kNoticeMessage) {
      self->showNotices();
      return 0;
    }
    if (m == kRequestMessage) {
      self->wake_();
      self->onRequest(Request(w));
      return 1;
    }
    if (m == self->taskbarCreated_) {  // the shell came back: show the icon again
      self->shown_ = false;
      self->add();
      return 0;
    }
    if (m == WM_CLOSE) {
      self->quit_();
      return 0;
    }
  }
  return DefWindowProcW(h, m, w, l);
}

void Tray::showNotices() {
  while (!notices_.empty()) {
    const auto [text, problem] = std::move(notices_.front());
    notices_.erase(notices_.begin());
    // A problem must reach the user: as a balloon only from an icon known to
    // work. News may go unseen: a balloon from any icon shown.
    if (shown_ && (platform_.trayWorking() || !problem)) {
      NOTIFYICONDATAW nid = data(NIF_INFO);
      nid.dwInfoFlags = problem ? NIIF_WARNING : NIIF_INFO;
      wcsncpy(nid.szInfoTitle, L"もこぽん", sizeof nid.szInfoTitle / sizeof(wchar_t) - 1);
      wcsncpy(nid.szInfo, text.c_str(), sizeof nid.szInfo / sizeof(wchar_t) - 1);
      Shell_NotifyIconW(NIM_MODIFY, &nid);
    } else if (problem) {
      // News needs no box: without a tray the evolution on the desktop says it.
      MessageBoxW(nullptr, text.c_str(), L"もこぽん", MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
    }
  }
}

void Tray::onRequest(Request request) {
  if (request == Request::Quit) return quit_();
  if (!form_.panelRequestsWait()) form_.requestPanel(request == Request::ShowInfo ? 100 : 200);
}

void Tray::onIcon(UINT mouse) {
  const UINT panels = form_.panelRequestsWait() ? MF_GRAYED : MF_ENABLED;
  if (mouse == WM_LBUTTONUP) {
    if (panels == MF_ENABLED) form_.requestPanel(200);
  } else if (mouse == WM_RBUTTONUP || mouse == WM_CONTEXTMENU) {
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING | panels, kOpenList, L"一覧を開く");
    AppendMenuW(menu, MF_STRING | panels, kShowInfo, L"情報を表示");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    // Hiding is for now only: every start shows the pets.
    AppendMenuW(menu, MF_STRING, kHidePets,
                platform_.petsHidden() ? L"ペットを表示" : L"ペットを隠す");
    AppendMenuW(menu, MF_STRING | (platform_.everyMonitor() ? MF_CHECKED : MF_UNCHECKED),
                kEveryMonitor, L"すべての画面で遊ぶ");
    AppendMenuW(menu, MF_STRING | (autostart_.enabled() ? MF_CHECKED : MF_UNCHECKED), kAtLogin,
                L"ログイン時に起動");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kSaveAndQuit, L"保存して終了");
    POINT p;
    GetCursorPos(&p);
    // The menu closes when the user clicks elsewhere only if its owner is
    // in the foreground.
    SetForegroundWindow(window_);
    const UINT cmd = UINT(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, p.x,
                                         p.y, 0, window_, nullptr));
    PostMessageW(window_, WM_NULL, 0, 0);
    DestroyMenu(menu);
    if (cmd == kOpenList) form_.requestPanel(200);
    if (cmd == kShowInfo) form_.requestPanel(100);
    if (cmd == kHidePets) platform_.setPetsHidden(!platform_.petsHidden());
    if (cmd == kEveryMonitor) {
      const bool on = !platform_.everyMonitor();
      platform_.setEveryMonitor(on);
      form_.screenChanged();
      if (!platform_.writeFileAtomic(pet::kSettingsFile, pet::settingsText({on})))
        notice("設定を保存できませんでした。");
    }
    if (cmd == kAtLogin && !autostart_.setEnabled(!autostart_.enabled()))
      notice("ログイン時に起動する設定を変えられませんでした。");
    if (cmd == kSaveAndQuit) form_.requestQuit();
  }
}

}  // namespace pet::win32
