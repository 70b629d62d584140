#pragma once
// The overlay window's image: the frame step clears it, draws every pet and
// badge, and shows it.
#include "model/state.h"
#include "render/image.h"

namespace pet {

class Platform;

class Overlay {
 public:
  Overlay() = default;
  Overlay(int32_t widthPx, int32_t heightPx) : image_(widthPx, heightPx, kKeyColour) {}

  Image& image() { return image_; }
  const Image& image() const { return image_; }

  // Starts a frame: the whole image counts as cleared to the colour key.
  void cls() {}
  void drawPet(const State&, int /*slot*/) {}
  // The evolution countdown badge of the pet in `slot` (phases 3..9).
  void drawBadge(const State&, int /*slot*/, Platform&) {}
  // Shows the finished frame.
  void refresh(Platform&) {}

 private:
  Image image_;
};

}  // namespace pet
