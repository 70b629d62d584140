#pragma once
// The Windows platform: one full-screen, borderless, topmost layered window
// whose colour-key pixels are see-through and let the mouse through, native
// child controls built from the control table, GDI text. Its parts, by file:
//   overlay_window.cpp  the overlay window, presenting, mouse and keys, the
//                       pointer, hiding the pets, the icons;
//   panels.cpp          the panels and their controls, the keyboard, text;
//   screens.cpp         the play area, monitors, scale, full-screen programs;
//   win32_platform.cpp  making and unmaking, the clock, random numbers, files,
//                       problems and news for the user.
// The tray is tray.h; the program (start, tick, session) is main.cpp.
#include <windows.h>

#include <array>
#include <atomic>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/drag_follow.h"
#include "platform/platform.h"
#include "platform/win32/files.h"

namespace pet {
class Form2;
}

namespace pet::win32 {

class Win32Platform final : public Platform {
 public:
  explicit Win32Platform(HINSTANCE instance);
  ~Win32Platform() override;

  void attach(Form2* form) { form_ = form; }
  HWND window() const { return window_; }
  bool keyPreview() const { return keyPreview_; }
  // Runs just before the process ends (removes the tray icon).
  void setOnEnd(std::function<void()> f) { onEnd_ = std::move(f); }
  // Whether the tray icon is known to answer clicks; until then problems are
  // told in a message box, not a balloon.
  void setTrayWorking(bool working) { trayWorking_ = working; }
  bool trayWorking() const { return trayWorking_; }
  // Called with each problem report (besides the debugger's output), to show it.
  void setOnProblem(std::function<void(std::string_view)> f) { onProblem_ = std::move(f); }
  // The program's own handling of the overlay's messages (timer, close,
  // session end); returns true when it handled the message.
  using MessageHook = std::function<bool(UINT, WPARAM, LPARAM, LRESULT&)>;
  void setMessageHook(MessageHook h) { hook_ = std::move(h); }
  // The icon nearest `pixels` square, or nullptr before setIcons.
  HICON icon(int pixels) const;
  // Called with each piece of news for the user (pets that evolved).
  void setOnAnnounce(std::function<void(std::string_view)> f) { onAnnounce_ = std::move(f); }
  // Hides the pets or shows them again (the user's choice). Hidden pets go on
  // living; nothing of the overlay but an open panel shows or takes clicks.
  void setPetsHidden(bool hidden) { hideFor(kByUser, hidden); }
  bool petsHidden() const { return (hiddenFor_ & kByUser) != 0; }
  // Whether the pets show now (neither hidden by the user nor stepped aside).
  bool petsShown() const { return hiddenFor_ == 0; }
  // Looks whether a full-screen program is in front (a game, a video, a
  // slide show); the pets step aside, as when hidden, while one is.
  void checkFullScreen() { hideFor(kForFullScreen, fullScreenInFront()); }
  // The data folder, entered. Without one (null: it could not be made) no
  // file is read or written at all: the program never falls back to another
  // folder. One deleted while the program runs is made again before the
  // next write, so the pets are saved where the user looks for them.
  void setDataFolder(DataFolder* folder) { folder_ = folder; }
  // Whether key presses are the program's: only while a panel shows. (Under
  // Wine the overlay can keep the keyboard after its last panel closed.)
  bool acceptsKeys() const { return activatable_; }
  // Whether the program runs under Wine, where some things work differently.
  static bool underWine();

  // Pets on every monitor (the play area is the virtual screen) or on the
  // primary one only.
  void setEveryMonitor(bool on);
  bool everyMonitor() const { return everyMonitor_; }
  // The screen as last asked: its scale, the play area and its monitors.
  // Each question is several round trips to the window server under Wine,
  // and every step of a pet needs the size: the program asks again when the
  // system says the screen changed and on its regular look at the screen.
  void refreshScreen();
  // Device pixels to one of the program's (a whole number, 1 at least).
  int scale() const { return scale_; }
  int32_t screenWidthTwips() const override;
  int32_t screenHeightTwips() const override;
  const std::vector<Rect>& monitors() const override { return monitors_; }
  void setKeyPreview(bool on) override { keyPreview_ = on; }
  void setBackgroundColour(uint32_t rgb) override;
  void placeWindow(int32_t leftTwips, int32_t topTwips, int32_t widthTwips,
                   int32_t heightTwips) override;
  void setColourKey(uint32_t rgb) override;
  void makeTopmostAndShow() override;

  // Watches the pointer with a low-level mouse hook, which sees every move
  // of the mouse on the desktop (on Windows; under Wine only those over the
  // program's own windows): the first move after a reading posts `message`
  // to the overlay. The hook runs on a thread of its own, so that the mouse
  // never waits for the program (a save, a tick).
  void watchPointer(UINT message);
  // Whether the pointer has not moved since the last reading, and no drag
  // follows it.
  bool pointerSettled() const { return !pointerMoved_ && !pressed_ && !drag_.following(); }
  // After each tick: the last move of a drag again, so that a held pet
  // catches up with the cursor's sample.
  void afterTick();
  // While a tick slept through runs late: how long ago it was due. The clock
  // reads that much earlier, and the cursor is where the last tick found it.
  void setTickAge(double seconds) { tickAge_ = seconds; }
  // Until the clock's second changes.
  double secondsToNextSecond() const;

  Point32 cursorPos() override;
  LocalTime now() override;
  std::string shortDate() override;
  void seedRandom(double secondsSinceMidnight) override;
  double random() override;

  std::vector<std::string> listFiles() override;
  std::optional<std::string> readFile(const std::string& name) override;
  bool writeFileAtomic(const std::string& name, std::string_view bytes) override;
  bool writeCopy(const std::string& original, const std::string& copyName,
                 std::string_view bytes) override;
  void reportProblem(std::string_view text) override;
  void announce(std::string_view text) override;

  void showControl(ControlId id, bool visible) override;
  void moveControl(ControlId id, int32_t leftTwips, int32_t topTwips) override;
  void setCaption(ControlId id, std::string_view text) override;
  void setEnabled(ControlId id, bool enabled) override;
  void setScrollRange(ControlId id, int16_t min, int16_t max) override;
  void setScrollValue(ControlId id, int16_t value) override;
  int16_t scrollValue(ControlId id) const override;
  void setScrollSteps(ControlId id, int16_t smallChange, int16_t largeChange) override;
  void listClear(ControlId id) override;
  void listAdd(ControlId id, std::string_view line) override;
  void setFocus(ControlId id) override;

  void drawText(Image& image, int32_t x, int32_t y, double points, uint32_t rgb,
                std::string_view text) override;
  void presentOverlay(const Image& overlay, const std::vector<Rect>& changed) override;
  void showPicture(ControlId id, const Image& image) override;
  void setIcons(const std::vector<const Image*>& icons) override;
  [[noreturn]] void endProgram() override;

 private:
  // Labels have no window of their own: their panel prints them, so they are
  // see-through and may overlap, later ones over earlier ones.
  struct Label {
    bool visible = false;
    RECT rect{};  // pixels in the panel's inner area
    std::wstring text;
    HFONT font = nullptr;
  };
  struct Scroll {
    int16_t min = 0, max = 0, small = 1, large = 1, value = 0;
  };
  static LRESULT CALLBACK overlayProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK panelProc(HWND, UINT, WPARAM, LPARAM);
  LRESULT onOverlay(HWND, UINT, WPARAM, LPARAM);
  LRESULT onPanel(ControlId panel, HWND, UINT, WPARAM, LPARAM);
  void registerClasses();
  void createWindow();
  void createControls();
  void paintOverlay(HDC dc, const RECT& r);
  void onScroll(HWND bar, int code);
  void changeScroll(ControlId id, int value);
  void updateActivation();
  void takeFocus();
  void handFocusBack();
  void paintLabels(ControlId panel, HDC dc);
  void invalidateLabel(ControlId id);
  HWND hwnd(ControlId id) const { return controls_[size_t(id)]; }
  // The program's pixels and twips to device pixels, and back; the one place
  // the scale applies.
  int dev(int32_t twips) const;
  int32_t fromDevice(int devicePixels) const;
  void layoutControls();
  ControlId idOf(HWND h) const;

  HINSTANCE instance_;
  int scale_ = 1;
  POINT origin_{};  // the play area's top left on the virtual screen, device pixels
  SIZE area_{};     // the play area's size, device pixels
  bool everyMonitor_ = false;
  std::vector<Rect> monitors_;
  // Each control's place and size in twips, as the table and moveControl say.
  struct Box {
    int32_t left = 0, top = 0, width = 0, height = 0;
  };
  std::array<Box, kControlCount> boxes_{};
  Box placed_{};  // the overlay's, as placeWindow said
  bool placedOnce_ = false;
  Form2* form_ = nullptr;
  bool trayWorking_ = false;
  HWND window_ = nullptr;
  bool keyPreview_ = false;
  uint32_t background_ = kKeyColour;
  uint32_t key_ = kKeyColour;
  std::array<HWND, kControlCount> controls_{};
  std::array<const Image*, kControlCount> pictures_{};
  std::array<Scroll, kControlCount> scrolls_{};
  std::array<Label, kControlCount> labels_{};
  HBRUSH panelBrush_ = nullptr;
  // Scratch for text: a DIB section the core image's touched area is copied
  // into, printed on, and copied back from.
  HDC textDc_ = nullptr;
  HBITMAP textBitmap_ = nullptr;
  HGDIOBJ textOld_ = nullptr;
  uint32_t* textBits_ = nullptr;
  int textW_ = 0, textH_ = 0;
  std::vector<std::pair<int, HICON>> icons_;
  std::mt19937_64 rng_;
  bool activatable_ = true;
  // The window that had the keyboard when a panel took it, to give it back.
  HWND focusOwner_ = nullptr;
  bool pressed_ = false;
  DragFollow drag_;
  static LRESULT CALLBACK mouseHook(int code, WPARAM w, LPARAM l);
  static DWORD WINAPI watchThread(LPVOID self);
  static Win32Platform* watcher_;
  HANDLE watchThread_ = nullptr;
  DWORD watchThreadId_ = 0;
  UINT movedMessage_ = 0;
  std::atomic<bool> pointerMoved_{true};
  double tickAge_ = 0;
  Point32 lastCursor_{};
  int wheelRest_ = 0;  // wheel delta not yet a whole notch
  std::function<void()> onEnd_;
  std::function<void(std::string_view)> onProblem_;
  std::function<void(std::string_view)> onAnnounce_;
  // Why the pets are hidden: a set of reasons; shown when there is none.
  static constexpr unsigned kByUser = 1, kForFullScreen = 2;
  unsigned hiddenFor_ = 0;
  void hideFor(unsigned reason, bool on);
  bool fullScreenInFront() const;
  bool shownOnce_ = false;
  void syncOverlayShown();
  DataFolder* folder_ = nullptr;
  std::wstring folderTold_;  // the last folder problem told
  bool folderHere();
  const Image* lastOverlay_ = nullptr;  // the core's overlay, what the window shows
  void letGo();
  MessageHook hook_;
  // Text printed into a picture while the screen is scaled up: kept, to be
  // printed again sharp over the scaled picture while it is still there.
  struct Print {
    const Image* image = nullptr;
    Rect rect;                     // the image pixels the print touched
    std::vector<uint32_t> before;  // those pixels without it, and with it
    std::vector<uint32_t> after;
    double points = 0;
    uint32_t rgb = 0;
    int32_t x = 0, y = 0;
    std::wstring text;
  };
  std::vector<Print> prints_;
  static bool intact(const Print& p);
  void keepPrint(const Image& image, const Rect& rect, std::vector<uint32_t> before, double points,
                 uint32_t rgb, int32_t x, int32_t y, const std::wstring& text);
  void paintPrints(HDC dc, const Image& image);
};

}  // namespace pet::win32
