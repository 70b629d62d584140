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
Image sheet(const std::string& path) {
  Image img = decodePng(embeddedFile(path));
  // A missing sheet draws nothing rather than crashing: all background.
  if (img.width() != 72 || img.height() != 128) return Image(72, 128, kKeyColour);
  return img;
}
}  // namespace

const Assets& assets() {
  static const Assets a = [] {
    Assets r;
    char name[64];
    for (int i = 0; i < 54; ++i) {
      std::snprintf(name, sizeof name, "assets/sheets/CharGZ_%02d.png", i);
      r.charGZ[size_t(i)] = sheet(name);
    }
    for (int i = 1; i <= 4; ++i) {
      std::snprintf(name, sizeof name, "assets/sheets/CharGZ2_%d.png", i);
      r.charGZ2[size_t(i)] = sheet(name);
    }
    r.splash = decodePng(embeddedFile("assets/splash.png"));
    for (int size : {16, 32, 48})
      r.icons.push_back(
          decodePng(embeddedFile("assets/icon" + std::to_string(size) + ".png"), true));
    return r;
  }();
  return a;
}

}  // namespace pet
