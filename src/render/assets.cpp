#include "render/assets.h"

#include <cstdio>
#include <string>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wshadow"
#include <stb_image.h>
#pragma GCC diagnostic pop

namespace pet {

namespace embedded {
struct File {
  std::string_view path;
  std::string_view bytes;
};
extern const File kFiles[];
extern const std::size_t kFileCount;
}  // namespace embedded

std::string_view embeddedFile(std::string_view path) {
  for (std::size_t i = 0; i < embedded::kFileCount; ++i)
    if (embedded::kFiles[i].path == path) return embedded::kFiles[i].bytes;
  return {};
}

Image decodePng(std::string_view bytes, bool keepAlpha) {
  int w = 0, h = 0, n = 0;
  unsigned char* px = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(bytes.data()),
                                            static_cast<int>(bytes.size()), &w, &h, &n, 4);
  if (!px) return {};
  Image img(w, h);
  for (int i = 0; i < w * h; ++i) {
    const unsigned char* p = px + 4 * i;
    uint32_t c = rgb(p[0], p[1], p[2]);
    if (keepAlpha) c |= uint32_t(p[3]) << 24;
    img.data()[i] = c;
  }
  stbi_image_free(px);
  return img;
}

namespace {
Image sheet(const char* format, std::size_t i) {
  char path[64];
  std::snprintf(path, sizeof path, format, static_cast<int>(i));
  Image img = decodePng(embeddedFile(path));
  // A missing sheet draws nothing rather than crashing: all background.
  if (img.width() != 72 || img.height() != 128) return Image(72, 128, kKeyColour);
  return img;
}
Image charGZ(std::size_t i) {
  return sheet("assets/sheets/CharGZ_%02d.png", i);
}
Image charGZ2(std::size_t i) {
  return i ? sheet("assets/sheets/CharGZ2_%d.png", i) : Image();
}
}  // namespace

const Assets& assets() {
  static const Assets a = [] {
    Assets r{Sheets<54>(charGZ), Sheets<5>(charGZ2), {}, {}};
    r.splash = decodePng(embeddedFile("assets/splash.png"));
    for (int size : {16, 32, 48})
      r.icons.push_back(
          decodePng(embeddedFile("assets/icon" + std::to_string(size) + ".png"), true));
    return r;
  }();
  return a;
}

}  // namespace pet
