#pragma once
// The seam between the portable core and a platform. The core asks the
// platform for everything outside itself (clock, cursor, random numbers,
// files, controls, text, the screen) through this interface and nothing else;
// the platform calls the core's Form2 entry points for events.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/point.h"
#include "panels/controls.h"
#include "render/image.h"

namespace pet {

// A local calendar date and time of day, as the user's clock shows it.
struct LocalTime {
  int year = 2000;      // e.g. 2026
  int month = 1;        // 1..12
  int day = 1;          // 1..31
  int hour = 0;         // 0..23
  int minute = 0;       // 0..59
  int second = 0;       // 0..59
  int millisecond = 0;  // 0..999
};

class Platform {
 public:
  virtual ~Platform() = default;

  // ---- Window (the full-screen overlay), called once by Form_Load in this order.
  // Size of the play area in twips (15 twips to a pixel): the primary screen,
  // or the box around every monitor when pets may play on all of them.
  virtual int32_t screenWidthTwips() const = 0;
  virtual int32_t screenHeightTwips() const = 0;
  // The monitors that show the play area, in its pixels (0, 0 being its top
  // left), the primary screen first. Empty when the whole play area is one
  // screen. Pets are kept where a monitor shows them; panels open on the first.
  virtual const std::vector<Rect>& monitors() const {
    static const std::vector<Rect> none;
    return none;
  }
  // Key presses reach the window before any child control with the focus.
  virtual void setKeyPreview(bool on) = 0;
  // Window background colour, 0x00RRGGBB; pixels of this colour in the overlay are see-through.
  virtual void setBackgroundColour(uint32_t rgb) = 0;
  // Window place and size in twips, screen coordinates.
  virtual void placeWindow(int32_t leftTwips, int32_t topTwips, int32_t widthTwips,
                           int32_t heightTwips) = 0;
  // Colour key 0x00RRGGBB: pixels of it are invisible and let the mouse through.
  virtual void setColourKey(uint32_t rgb) = 0;
  // Above all other windows, and shown.
  virtual void makeTopmostAndShow() = 0;

  // ---- Cursor: position in the play area's pixels, (0, 0) its top left.
  virtual Point32 cursorPos() = 0;

  // ---- Clock.
  virtual LocalTime now() = 0;
  // Today's date in the user's short date format (UTF-8), e.g. "2026/12/10".
  virtual std::string shortDate() = 0;

  // ---- Random numbers: uniform in [0, 1). The core seeds once with the
  // seconds since midnight (a real number).
  virtual void seedRandom(double secondsSinceMidnight) = 0;
  virtual double random() = 0;

  // ---- Files, by name relative to the working directory.
  // Names of the ordinary files (no hidden files, no folders), in the platform's order.
  virtual std::vector<std::string> listFiles() = 0;
  // The whole file as bytes, or nothing when it cannot be read.
  virtual std::optional<std::string> readFile(const std::string& name) = 0;
  // Replaces the file with `bytes` so that it is either wholly old or wholly
  // new, whatever happens mid-write (temporary file, flush to disk, rename).
  // Returns false, with the old file untouched, when the write fails.
  virtual bool writeFileAtomic(const std::string& name, std::string_view bytes) = 0;
  // Writes `bytes`, a copy of the file `original` kept aside, as the new file
  // `copyName`, open to no more users than `original` is (the copy of a
  // private file stays private). Returns false when nothing was written.
  virtual bool writeCopy(const std::string& original, const std::string& copyName,
                         std::string_view bytes) = 0;
  // A problem the user should be able to find out about (a failed save, a
  // damaged data file kept aside). UTF-8, one line.
  virtual void reportProblem(std::string_view text) = 0;
  // News the user may like to hear of (pets that evolved), UTF-8, one line:
  // the tray icon tells it where there is one; elsewhere nothing pops up.
  virtual void announce(std::string_view /*text*/) {}

  // ---- Controls, addressed by their ids; places and sizes in twips relative to
  // the parent's inner area; texts UTF-8.
  virtual void showControl(ControlId id, bool visible) = 0;
  virtual void moveControl(ControlId id, int32_t leftTwips, int32_t topTwips) = 0;
  virtual void setCaption(ControlId id, std::string_view text) = 0;
  virtual void setEnabled(ControlId id, bool enabled) = 0;
  // Scroll bars: range and value in the bar's own units. Setting a value that
  // differs from the current one raises the bar's change event at once, before
  // the call returns, as a user's change would.
  virtual void setScrollRange(ControlId id, int16_t min, int16_t max) = 0;
  virtual void setScrollValue(ControlId id, int16_t value) = 0;
  virtual int16_t scrollValue(ControlId id) const = 0;
  // The arrows' and the trough's steps of a scroll bar.
  virtual void setScrollSteps(ControlId /*id*/, int16_t /*smallChange*/, int16_t /*largeChange*/) {}
  // List box lines.
  virtual void listClear(ControlId id) = 0;
  virtual void listAdd(ControlId id, std::string_view line) = 0;
  // Gives the keyboard focus to the control.
  virtual void setFocus(ControlId id) = 0;

  // ---- Pixels.
  // Prints `text` into `image` with its top-left corner at (x, y) image pixels,
  // in the program's Mincho face at `points` (1/72 inch at 96 pixels an inch),
  // colour 0x00RRGGBB, glyphs only (no background), never anti-aliased.
  virtual void drawText(Image& image, int32_t x, int32_t y, double points, uint32_t rgb,
                        std::string_view text) = 0;
  // Shows the changed rectangles (image pixels) of the overlay image, whose
  // size is the screen's in pixels; key-colour pixels are see-through.
  virtual void presentOverlay(const Image& overlay, const std::vector<Rect>& changed) = 0;

  // Shows `image` as the contents of a picture control (the splash Picture3,
  // the slot list Picture4), its top-left pixel at the control's inner
  // top-left. Called again whenever the image changed; the platform may keep
  // a reference until the next call.
  virtual void showPicture(ControlId id, const Image& image) = 0;
  // Window and tray icons, largest last; pixels 0xAARRGGBB (alpha used here only).
  virtual void setIcons(const std::vector<const Image*>& icons) = 0;

  // ---- Ends the process at once; nothing after this call may touch the state.
  virtual void endProgram() = 0;
};

// The primary screen's box in the play area, in twips: where panels open and
// new pets are born.
struct TwipsBox {
  int32_t left = 0, top = 0, width = 0, height = 0;
};
inline TwipsBox primaryScreenTwips(const Platform& p) {
  const std::vector<Rect>& m = p.monitors();
  if (m.empty()) return {0, 0, p.screenWidthTwips(), p.screenHeightTwips()};
  const Rect& r = m.front();
  return {r.left * 15, r.top * 15, (r.right - r.left) * 15, (r.bottom - r.top) * 15};
}

}  // namespace pet
