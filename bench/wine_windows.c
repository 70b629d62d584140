/* A synthetic load for comparing ways of showing shaped sprites from a Win32
 * program (meant for Wine): 50 sprites of 24x32 pixels whose two pictures,
 * taking turns at each step as a walk would, have two outlines. At 60 ticks
 * a second (a 15 ms timer, the firings paced to 60 a second, the cursor read
 * once a tick, as the Windows program does under Wine) all sprites step 4
 * pixels in the same tick every 12 ticks, in a direction that changes now
 * and then.
 *
 *   wine_windows one         one full-screen colour-keyed layered popup;
 *                            each step fills each sprite's old place with
 *                            the key and paints its new picture (GetDC +
 *                            StretchDIBits), as the program presents
 *   wine_windows many        one 24x32 colour-keyed layered popup a sprite,
 *                            moved with SetWindowPos, then painted
 *   wine_windows many-defer  the same, the 50 moves in one
 *                            BeginDeferWindowPos/EndDeferWindowPos batch
 *   wine_windows many-alpha  one 24x32 per-pixel alpha layered popup a
 *                            sprite, moved and given its new picture in one
 *                            UpdateLayeredWindow
 *
 * Runs until its windows are closed (taskkill), then writes its ticks a
 * second to stderr.
 *   x86_64-w64-mingw32-gcc -O2 -o wine_windows.exe wine_windows.c \
 *       -lgdi32 -luser32 -mwindows
 */
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "sprite_outline.h"

enum { kSprites = 50, kStepTicks = 12, kStepPixels = 4, kTimerMs = 15 };
static const double kTicksPerSecond = 60.0;
static const COLORREF kKey = RGB(255, 0, 255);
static const UINT32 kKeyPixel = 0x00ff00ffu; /* the key as a DIB's 0x00RRGGBB */

enum Mode { One, Many, ManyDefer, ManyAlpha };
static enum Mode mode;

/* Two pictures of a round head on an oval body on two legs: in the second
 * the head leans a pixel forward and the legs stride apart. Outside the
 * outline the key colour, or alpha 0 for the alpha variant (premultiplied). */
static UINT32 keyed[2][kH * kW], alpha[2][kH * kW];

static void makeSprite(void) {
  for (int f = 0; f < 2; ++f) {
    const int lean = f;
    const UINT32 colour = f ? 0x00c08040u : 0x0040a0e0u;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        const int in = inSpriteOutline(f, x, y);
        /* An eye, so the picture is not one colour. */
        const int eye = y == 6 && x == 15 + lean;
        const UINT32 c = eye ? 0x00202020u : colour;
        keyed[f][y * kW + x] = in ? c : kKeyPixel;
        alpha[f][y * kW + x] = in ? 0xff000000u | c : 0;
      }
  }
}

struct Sprite {
  int x, y, dx, dy;
  HWND window;
};
static struct Sprite sprites[kSprites];
static int frame, screenW, screenH;
static HWND full;
static BITMAPINFO spriteInfo;
static HDC alphaDc[2];

/* A small fixed-seed generator: every run walks the same way. */
static unsigned seed = 12345;
static unsigned nextRandom(void) {
  seed = seed * 1103515245u + 12345u;
  return (seed >> 16) & 0x7fff;
}

static void newDirection(struct Sprite* s) {
  do {
    s->dx = (int)(nextRandom() % 3) - 1;
    s->dy = (int)(nextRandom() % 3) - 1;
  } while (s->dx == 0 && s->dy == 0);
}

static void paintSprite(HDC dc, int x, int y) {
  StretchDIBits(dc, x, y, kW, kH, 0, 0, kW, kH, keyed[frame], &spriteInfo, DIB_RGB_COLORS, SRCCOPY);
}

static void fillKey(HDC dc, int x, int y) {
  const RECT r = {x, y, x + kW, y + kH};
  SetDCBrushColor(dc, kKey);
  FillRect(dc, &r, (HBRUSH)GetStockObject(DC_BRUSH));
}

static void step(void) {
  frame ^= 1;
  int oldX[kSprites], oldY[kSprites];
  for (int i = 0; i < kSprites; ++i) {
    struct Sprite* s = &sprites[i];
    oldX[i] = s->x, oldY[i] = s->y;
    if (nextRandom() % 8 == 0) newDirection(s);
    if (s->x + s->dx * kStepPixels < 0 || s->x + s->dx * kStepPixels + kW > screenW) s->dx = -s->dx;
    if (s->y + s->dy * kStepPixels < 0 || s->y + s->dy * kStepPixels + kH > screenH) s->dy = -s->dy;
    s->x += s->dx * kStepPixels;
    s->y += s->dy * kStepPixels;
  }
  switch (mode) {
    case One: {
      HDC dc = GetDC(full);
      SetStretchBltMode(dc, COLORONCOLOR);
      for (int i = 0; i < kSprites; ++i) fillKey(dc, oldX[i], oldY[i]);
      for (int i = 0; i < kSprites; ++i) paintSprite(dc, sprites[i].x, sprites[i].y);
      ReleaseDC(full, dc);
      break;
    }
    case Many:
    case ManyDefer: {
      const UINT flags = SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOSIZE;
      if (mode == ManyDefer) {
        HDWP batch = BeginDeferWindowPos(kSprites);
        for (int i = 0; i < kSprites && batch; ++i)
          batch = DeferWindowPos(batch, sprites[i].window, NULL, sprites[i].x, sprites[i].y, 0, 0,
                                 flags);
        if (batch) EndDeferWindowPos(batch);
      }
      for (int i = 0; i < kSprites; ++i) {
        if (mode == Many)
          SetWindowPos(sprites[i].window, NULL, sprites[i].x, sprites[i].y, 0, 0, flags);
        HDC dc = GetDC(sprites[i].window);
        paintSprite(dc, 0, 0);
        ReleaseDC(sprites[i].window, dc);
      }
      break;
    }
    case ManyAlpha: {
      BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
      SIZE size = {kW, kH};
      POINT origin = {0, 0};
      for (int i = 0; i < kSprites; ++i) {
        POINT at = {sprites[i].x, sprites[i].y};
        UpdateLayeredWindow(sprites[i].window, NULL, &at, &size, alphaDc[frame], &origin, 0, &blend,
                            ULW_ALPHA);
      }
      break;
    }
  }
}

static LRESULT CALLBACK windowProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  switch (m) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      SetStretchBltMode(dc, COLORONCOLOR);
      if (h == full) {
        SetDCBrushColor(dc, kKey);
        FillRect(dc, &ps.rcPaint, (HBRUSH)GetStockObject(DC_BRUSH));
        for (int i = 0; i < kSprites; ++i) paintSprite(dc, sprites[i].x, sprites[i].y);
      } else {
        paintSprite(dc, 0, 0);
      }
      EndPaint(h, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_CLOSE:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(h, m, w, l);
}

static double seconds(void) {
  static LARGE_INTEGER freq;
  LARGE_INTEGER now;
  if (!freq.QuadPart) QueryPerformanceFrequency(&freq);
  QueryPerformanceCounter(&now);
  return (double)now.QuadPart / (double)freq.QuadPart;
}

static HWND makeWindow(int x, int y, int w, int h) {
  HWND win = CreateWindowExW(WS_EX_LAYERED | WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE,
                             L"WineWindowsModel", L"wine_windows", WS_POPUP, x, y, w, h, NULL, NULL,
                             GetModuleHandleW(NULL), NULL);
  if (mode != ManyAlpha) SetLayeredWindowAttributes(win, kKey, 0, LWA_COLORKEY);
  return win;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE prev, LPSTR args, int show) {
  (void)prev, (void)show;
  while (*args == ' ') ++args;
  if (!strcmp(args, "one"))
    mode = One;
  else if (!strcmp(args, "many"))
    mode = Many;
  else if (!strcmp(args, "many-defer"))
    mode = ManyDefer;
  else if (!strcmp(args, "many-alpha"))
    mode = ManyAlpha;
  else {
    MessageBoxW(NULL, L"usage: wine_windows one|many|many-defer|many-alpha", L"wine_windows", 0);
    return 2;
  }
  screenW = GetSystemMetrics(SM_CXSCREEN);
  screenH = GetSystemMetrics(SM_CYSCREEN);
  makeSprite();
  spriteInfo.bmiHeader = (BITMAPINFOHEADER){.biSize = sizeof(BITMAPINFOHEADER),
                                            .biWidth = kW,
                                            .biHeight = -kH,
                                            .biPlanes = 1,
                                            .biBitCount = 32,
                                            .biCompression = BI_RGB};

  WNDCLASSEXW wc = {.cbSize = sizeof wc};
  wc.lpfnWndProc = windowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
  wc.lpszClassName = L"WineWindowsModel";
  RegisterClassExW(&wc);

  /* Where the desktop benchmark's pets start: ten to a row, 170 apart. */
  for (int i = 0; i < kSprites; ++i) {
    sprites[i] = (struct Sprite){100 + (i % 10) * 170, 150 + (i / 10) * 170, 0, 0, NULL};
    newDirection(&sprites[i]);
  }
  if (mode == ManyAlpha) {
    HDC screen = GetDC(NULL);
    for (int f = 0; f < 2; ++f) {
      void* bits = NULL;
      HBITMAP bmp = CreateDIBSection(screen, &spriteInfo, DIB_RGB_COLORS, &bits, NULL, 0);
      memcpy(bits, alpha[f], sizeof alpha[f]);
      alphaDc[f] = CreateCompatibleDC(screen);
      SelectObject(alphaDc[f], bmp);
    }
    ReleaseDC(NULL, screen);
  }
  if (mode == One) {
    full = makeWindow(0, 0, screenW, screenH);
    ShowWindow(full, SW_SHOWNOACTIVATE);
  } else {
    for (int i = 0; i < kSprites; ++i) {
      struct Sprite* s = &sprites[i];
      s->window = makeWindow(s->x, s->y, kW, kH);
      if (mode == ManyAlpha) {
        BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        SIZE size = {kW, kH};
        POINT at = {s->x, s->y}, origin = {0, 0};
        UpdateLayeredWindow(s->window, NULL, &at, &size, alphaDc[frame], &origin, 0, &blend,
                            ULW_ALPHA);
      }
      ShowWindow(s->window, SW_SHOWNOACTIVATE);
    }
  }

  /* A thread timer, the same in every variant; the firings are paced to
   * 60 ticks a second (credit grows with time, a tick spends one). */
  SetTimer(NULL, 0, kTimerMs, NULL);
  const double start = seconds();
  double last = start, credit = 0;
  long ticks = 0, steps = 0;
  POINT cursor;
  MSG msg;
  while (GetMessageW(&msg, NULL, 0, 0) > 0) {
    if (msg.message == WM_TIMER && !msg.hwnd) {
      const double now = seconds();
      credit += (now - last) * kTicksPerSecond;
      if (credit > 2) credit = 2;
      last = now;
      if (credit < 0.5) continue;
      credit -= 1;
      GetCursorPos(&cursor);
      if (++ticks % kStepTicks == 0) {
        step();
        ++steps;
      }
      continue;
    }
    DispatchMessageW(&msg);
  }
  const double elapsed = seconds() - start;
  char line[160];
  snprintf(line, sizeof line,
           "wine_windows: %ld ticks in %.1f s, %.1f a second, %.1f steps a second\n", ticks,
           elapsed, elapsed > 0 ? ticks / elapsed : 0.0, elapsed > 0 ? steps / elapsed : 0.0);
  DWORD n;
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  if (err && err != INVALID_HANDLE_VALUE) WriteFile(err, line, (DWORD)strlen(line), &n, NULL);
  return 0;
}
