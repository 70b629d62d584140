#pragma once
// The overlay window's image. The frame step clears it, draws every pet and
// badge, and shows it; underneath, only what changed since the last frame is
// cleared, redrawn and handed to the platform, with the same result as
// clearing and redrawing everything.
#include <map>
#include <utility>
#include <vector>

#include "model/state.h"
#include "render/image.h"

namespace pet {

class Platform;

class Overlay {
 public:
  Overlay() = default;
  // incremental = false redraws the whole image every frame (the reference).
  Overlay(int32_t widthPx, int32_t heightPx, bool incremental = true)
      : image_(widthPx, heightPx, kKeyColour), incremental_(incremental) {}

  Image& image() { return image_; }
  const Image& image() const { return image_; }

  // Starts a frame: everything counts as cleared to the colour key.
  void cls() { ops_.clear(); }
  void drawPet(const State& s, int slot);
  // The evolution countdown badge of the pet in `slot` (phases 3..9).
  void drawBadge(const State& s, int slot, Platform& p);
  // Shows the finished frame: redraws what changed and presents it.
  void refresh(Platform& p);

  // Rectangles presented by the last refresh (empty when nothing changed):
  // disjoint boxes around where a pet or badge that changed was or is, which
  // is less than the tiles cleared and redrawn around them.
  const std::vector<Rect>& lastChanged() const { return changed_; }
  // Printed badge numbers kept for reuse: how many, and their pixels' bytes.
  size_t badgeTextsKept() const { return textCache_.size(); }
  size_t badgeTextBytes() const;

 private:
  struct Text {
    Image pixels;            // the printed number, key colour around it, cropped
    int32_t dx = 0, dy = 0;  // where the crop starts from the print position
  };
  struct Op {
    const Image* sheet = nullptr;  // sprite; nullptr for a badge
    int32_t cellX = 0, cellY = 0;
    Rect rect;                   // sprite destination, or the badge's filled box
    const Text* text = nullptr;  // badge: the printed number
    int32_t textX = 0, textY = 0;
    Rect textRect;  // where the printed number is drawn, stretched if need be
    Rect bounds;    // every pixel the op may touch
    bool operator==(const Op&) const = default;
  };
  void render(const Op& op, Rect clip);
  void markDirty(Rect r);
  void collectDirty();
  // The image is tracked in square tiles: a tile touched by anything that
  // changed is cleared and redrawn.
  static constexpr int32_t kTile = 16;
  std::vector<uint8_t> tiles_;
  int32_t tilesX_ = 0, tilesY_ = 0;
  int32_t dirtyTop_ = 0, dirtyBottom_ = 0;  // tile rows that may hold marks
  const Text* badgeText(int16_t number, double points, Platform& p);
  void forgetUnusedTexts();
  // Numbers are printed at most this large (the badge of the largest zoom the
  // panel gives) and stretched beyond, so no zoom costs more memory.
  static constexpr double kMaxBadgePoints = 35.0;
  static constexpr size_t kTextCacheLimit = 128;

  Image image_;
  bool incremental_ = true;
  std::vector<Op> ops_, previous_;
  std::vector<Rect> dirty_, changed_;  // tiles redrawn; what is presented
  std::map<std::pair<int16_t, int64_t>, Text> textCache_;
};

}  // namespace pet
