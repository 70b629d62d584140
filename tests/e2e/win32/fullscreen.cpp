// A stand-in for a full-screen game or video player, for the Wine suite:
// `fullscreen.exe full|max LOG` shows a borderless window over the whole
// screen (full) or an ordinary maximised one (max), and appends a line to LOG
// for each left press it gets.
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {
const wchar_t* logPath = L"";

LRESULT CALLBACK proc(HWND h, UINT m, WPARAM w, LPARAM l) {
  switch (m) {
    case WM_LBUTTONDOWN:
      if (FILE* f = _wfopen(logPath, L"a")) {
        std::fputs("press\n", f);
        std::fclose(f);
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(h, m, w, l);
  }
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  const bool full = argc < 2 || std::wcscmp(argv[1], L"max") != 0;
  if (argc >= 3) logPath = argv[2];
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hbrBackground = CreateSolidBrush(RGB(40, 60, 90));
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = L"FullScreenStandIn";
  RegisterClassExW(&wc);
  HWND h =
      full ? CreateWindowExW(0, wc.lpszClassName, L"full screen", WS_POPUP, 0, 0,
                             GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr,
                             nullptr, instance, nullptr)
           : CreateWindowExW(0, wc.lpszClassName, L"maximised", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                             CW_USEDEFAULT, 640, 480, nullptr, nullptr, instance, nullptr);
  ShowWindow(h, full ? SW_SHOW : SW_MAXIMIZE);
  SetForegroundWindow(h);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}
