#pragma once
// The Linux desktop platform: Qt 6 widgets on X11, or natively in a KDE
// Plasma Wayland session (or any Qt platform without the shape, e.g.
// offscreen). Files are the working directory's, which main() makes the data
// folder; the program's writes go through its subclass there, which keeps the
// folder (made again should it be deleted).
#include <QFont>
#include <QIcon>
#include <QRect>
#include <QTimer>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <vector>

#include "platform/drag_follow.h"
#include "platform/platform.h"
#include "platform/qt/kwin_script.h"
#include "platform/qt/shape_mask.h"
#include "platform/qt/wayland_overlay.h"
#include "platform/qt/widgets.h"
#include "platform/qt/x11_window.h"

class QWidget;

namespace pet {
class Form2;
}

namespace pet::qt {

class QtPlatform : public Platform {
 public:
  QtPlatform();
  ~QtPlatform() override;

  // Events go to `form` from now on.
  void attach(Form2* form);
  OverlayWindow* window() const { return window_; }
  const QIcon& icon() const { return icon_; }
  // Whether a double-click on a pet opens the slot list (no tray icon shown).
  void setTrayShown(bool shown) { trayShown_ = shown; }
  // After each tick: a drag in progress follows the cursor samples the ticks
  // take after the last move event (a move event uses an older sample, so
  // without this a pet would stop short of where the cursor stopped).
  void afterTick();
  // Whether the pointer has been still long enough that the last reading is
  // where it is (no move seen since, no drag following it).
  bool pointerSettled() const { return pointer_.settled() && !drag_.following(); }
  // Called when the pointer moves anywhere on the desktop.
  void setOnPointerMoved(std::function<void()> f) { pointer_.setOnMoved(std::move(f)); }
  // While a tick slept through runs late: how long ago it was due. The clock
  // reads that much earlier, and the cursor is where the last tick found it.
  void setTickAge(double seconds) { tickAge_ = seconds; }
  // Until the clock's second changes.
  double secondsToNextSecond() const;
  // Called when the window manager closes the overlay (a quit request: the
  // program saves and ends, as for a signal).
  void setOnClose(std::function<void()> f) { window_->setCloseHandler(std::move(f)); }
  // Called with each problem report (besides standard error), to show it.
  void setOnProblem(std::function<void(std::string_view)> f) { onProblem_ = std::move(f); }
  // Called by endProgram just before the process ends.
  void setOnEnd(std::function<void()> f) { onEnd_ = std::move(f); }
  // Called with each piece of news for the user (pets that evolved).
  void setOnAnnounce(std::function<void(std::string_view)> f) { onAnnounce_ = std::move(f); }
  // Hides the pets or shows them again (the user's choice). Hidden pets go on
  // living; nothing of the overlay but an open panel shows or takes clicks.
  // They also step aside, the same way, while the active window is full screen.
  void setPetsHidden(bool hidden) { hideFor(kByUser, hidden); }
  bool petsHidden() const { return (hiddenFor_ & kByUser) != 0; }
  // Whether the pets show now (neither hidden by the user nor stepped aside).
  bool petsShown() const { return hiddenFor_ == 0; }
  // Without a usable data folder no file is read or written at all: the
  // program never falls back to another folder.
  void setFilesUsable(bool usable) { filesUsable_ = usable; }
  // Pets on every monitor (the box around them all) or on the primary only.
  void setEveryMonitor(bool on);
  bool everyMonitor() const { return everyMonitor_; }
  // Reads the screens again: the play area, the monitors and the scale.
  // Then Form2::screenChanged() takes what changed.
  void readScreens();
  // Device pixels to a core pixel: the screen's scale rounded to a whole
  // number, so pixel art stays sharp and click-through exact.
  int scale() const { return scale_; }
  // The program's face at `pixels` high, optionally without anti-aliasing.
  static QFont mincho(int pixels, bool antialiased);

  // ---- Platform.
  int32_t screenWidthTwips() const override;
  int32_t screenHeightTwips() const override;
  const std::vector<Rect>& monitors() const override { return monitors_; }
  void setKeyPreview(bool on) override { keyPreview_ = on; }
  void setBackgroundColour(uint32_t rgb) override { background_ = rgb; }
  void placeWindow(int32_t leftTwips, int32_t topTwips, int32_t widthTwips,
                   int32_t heightTwips) override;
  void setColourKey(uint32_t rgb) override { key_ = rgb; }
  void makeTopmostAndShow() override;
  Point32 cursorPos() override;
  LocalTime now() override;
  std::string shortDate() override;
  void seedRandom(double secondsSinceMidnight) override;
  double random() override;
  std::vector<std::string> listFiles() override;
  std::optional<std::string> readFile(const std::string& name) override;
  bool writeFileAtomic(const std::string& name, std::string_view bytes) override;
  void reportProblem(std::string_view text) override;
  void announce(std::string_view text) override;
  void showControl(ControlId id, bool visible) override;
  void moveControl(ControlId id, int32_t leftTwips, int32_t topTwips) override;
  void setCaption(ControlId id, std::string_view text) override;
  void setEnabled(ControlId id, bool enabled) override;
  void setScrollRange(ControlId id, int16_t min, int16_t max) override;
  void setScrollValue(ControlId id, int16_t value) override;
  void setScrollSteps(ControlId id, int16_t smallChange, int16_t largeChange) override;
  int16_t scrollValue(ControlId id) const override;
  void listClear(ControlId id) override;
  void listAdd(ControlId id, std::string_view line) override;
  void setFocus(ControlId id) override;
  void drawText(Image& image, int32_t x, int32_t y, double points, uint32_t rgb,
                std::string_view text) override;
  void presentOverlay(const Image& overlay, const std::vector<Rect>& changed) override;
  void showPicture(ControlId id, const Image& image) override;
  void setIcons(const std::vector<const Image*>& icons) override;
  void endProgram() override;

  // What the overlay cost, for DESKPET_STATS.
  struct Counters {
    long presents = 0, rects = 0, shapes = 0, shapeRects = 0;
    long long pixels = 0;  // presented
  };
  const Counters& counters() const { return counters_; }
  long pointerQueries() const { return pointer_.queries(); }

  // Key presses of the window and its controls, before the control sees them.
  bool keyPreview() const { return keyPreview_; }

 private:
  // Which overlay DESKPET_OVERLAY asks for; Auto follows the compositor.
  enum class OverlayChoice { Auto, Shape, ShapeDiff, Argb };
  static OverlayChoice overlayChoice();
  bool wantTranslucent();
  // Makes the native window, shapes it and maps it.
  void showWindow();
  // Rebuilds the window as the other kind, keeping its pixels, panels and
  // shape; called when a compositor comes or goes.
  void switchOverlay(bool translucent);
  void createControls();
  QWidget* widget(ControlId id) const { return widgets_[size_t(id)]; }
  QWidget* container(ControlId parent) const;
  // Rebuilds the window shape from the pixels and the visible panels and
  // sends it when it differs from the last one sent.
  void applyShape();
  // Core pixels to device pixels.
  std::vector<BandRect> scaled(const std::vector<BandRect>& rects) const;
  std::vector<Rect> visiblePanels() const;
  void updateFocusAcceptance();
  void takeFocus();
  void onMouse(OverlayWindow::MouseKind kind, int button, int shift, QPoint pos);

  // A KDE Plasma Wayland session: the overlay is a native window there, and
  // KWin tells the pointer and the full-screen window.
  void startWayland();
  Form2* form_ = nullptr;
  bool wayland_;
  WaylandOverlay waylandOverlay_;
  std::unique_ptr<KWinScript> kwin_;
  OverlayChoice choice_;
  CompositorWatch compositor_;
  OverlayWindow* window_ = nullptr;
  QObject* keyFilter_ = nullptr;
  bool shown_ = false;
  int watchTicks_ = 0;
  std::array<QWidget*, kControlCount> widgets_{};
  std::array<PanelWidget*, kControlCount> panels_{};
  ShapeMask mask_;
  std::vector<BandRect> sentShape_;
  bool shapeSent_ = false;
  bool acceptsFocus_ = false;
  // The window that had the keyboard when a panel took it, to give it back
  // once no panel has shown for a moment (one panel often follows another a
  // tick later: the keyboard should not bounce between them).
  unsigned int focusOwner_ = 0;
  QTimer handBack_;
  void handFocusBack();
  bool keyPreview_ = false;
  bool trayShown_ = false;
  DragFollow drag_;
  uint32_t background_ = kKeyColour;
  uint32_t key_ = kKeyColour;
  std::mt19937_64 rng_;
  std::map<int, QFont> textFonts_;
  PrintedTexts printed_;
  QIcon icon_;
  std::function<void()> onEnd_;
  std::function<void(std::string_view)> onProblem_;
  std::function<void(std::string_view)> onAnnounce_;
  // Why the pets are hidden: a set of reasons; shown when there is none.
  static constexpr unsigned kByUser = 1, kForFullScreen = 2;
  unsigned hiddenFor_ = 0;
  void hideFor(unsigned reason, bool on);
  FullScreenWatch fullScreen_;
  ShapeMask noPets_;  // an empty mask: the shape of the panels alone
  bool filesUsable_ = true;
  Counters counters_;
  int64_t nextZoneCheck_ = 0;
  PointerReader pointer_;
  // The play area in device pixels on the desktop, and its monitors in core
  // pixels (empty for the primary screen alone).
  QRect area_;
  std::vector<Rect> monitors_;
  int scale_ = 1;
  bool everyMonitor_ = false;
  double tickAge_ = 0;
  Point32 lastCursor_{};
  bool readThisTick_ = false;
};

}  // namespace pet::qt
