#pragma once
// The art compiled into the program, decoded once.
#include <array>
#include <string_view>
#include <vector>

#include "render/image.h"

namespace pet {

struct Assets {
  std::array<Image, 54> charGZ;  // by species
  std::array<Image, 5> charGZ2;  // 1..4: the fluff-ball's colourings; 0 unused
  Image splash;                  // 353 x 193
  std::vector<Image> icons;      // 16, 32, 48 pixels; 0xAARRGGBB
};

// Decoded on first use; the same images for the program's whole life.
const Assets& assets();

// Decodes PNG bytes into 0x00RRGGBB (keepAlpha: 0xAARRGGBB). Empty on failure.
Image decodePng(std::string_view bytes, bool keepAlpha = false);
// The embedded file at `path` (e.g. "assets/splash.png"), empty if there is none.
std::string_view embeddedFile(std::string_view path);

}  // namespace pet
