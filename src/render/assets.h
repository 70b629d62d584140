#pragma once
// The art compiled into the program, each image decoded once.
#include <array>
#include <cstddef>
#include <string_view>
#include <vector>

#include "render/image.h"

namespace pet {

// Sprite sheets decoded when first drawn, then kept: a desktop shows a few
// species at a time, and every decoded sheet is 36 KB of the program's memory.
// An element's address never changes. Without a loader the sheets are blank
// until assigned (tests build their own).
template <std::size_t N>
class Sheets {
 public:
  using Loader = Image (*)(std::size_t);
  explicit Sheets(Loader load = nullptr) : load_(load) {}
  const Image& operator[](std::size_t i) const {
    if (!loaded_[i]) {
      if (load_) images_[i] = load_(i);
      loaded_[i] = true;
    }
    return images_[i];
  }
  Image& operator[](std::size_t i) {
    return const_cast<Image&>(static_cast<const Sheets&>(*this)[i]);
  }
  static constexpr std::size_t size() { return N; }

 private:
  Loader load_;
  mutable std::array<Image, N> images_{};
  mutable std::array<bool, N> loaded_{};
};

struct Assets {
  Sheets<54> charGZ;         // by species
  Sheets<5> charGZ2;         // 1..4: the fluff-ball's colourings; 0 unused
  Image splash;              // 353 x 193
  std::vector<Image> icons;  // 16, 32, 48 pixels; 0xAARRGGBB
};

// Decoded on first use; the same images for the program's whole life.
const Assets& assets();

// Decodes PNG bytes into 0x00RRGGBB (keepAlpha: 0xAARRGGBB). Empty on failure.
Image decodePng(std::string_view bytes, bool keepAlpha = false);
// The embedded file at `path` (e.g. "assets/splash.png"), empty if there is none.
std::string_view embeddedFile(std::string_view path);

}  // namespace pet
