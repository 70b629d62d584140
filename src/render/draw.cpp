#include "render/draw.h"

#include <algorithm>
#include <vector>

#include "model/numbers.h"

namespace pet {

const Image* sheetFor(const Assets& a, int16_t species, int16_t dayScore) {
  if (species != 0) {
    if (species < 0 || species > 53) return nullptr;
    return &a.charGZ[size_t(species)];
  }
  switch (dayScore) {
    case -3:
      return &a.charGZ2[2];
    case -2:
      return &a.charGZ2[1];
    case -1:
    case 0:
    case 1:
      return &a.charGZ[0];
    case 2:
      return &a.charGZ2[3];
    case 3:
      return &a.charGZ2[4];
    default:
      return nullptr;
  }
}

Cell cellFor(int16_t facing, int16_t walkFrame) {
  static constexpr int32_t kRowY[4] = {64, 96, 0, 32};     // front, left, back, right
  static constexpr int32_t kColumnX[4] = {24, 0, 24, 48};  // standing, stride, standing, stride
  if (facing < 0 || facing > 3 || walkFrame < 0 || walkFrame > 3) return {};
  return Cell{kColumnX[walkFrame], kRowY[facing], true};
}

void transparentBlt(Image& dst, Rect d, const Image& src, int32_t sx, int32_t sy, int32_t sw,
                    int32_t sh, uint32_t transparent, Rect clip) {
  const int32_t dw = d.right - d.left, dh = d.bottom - d.top;
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
  Rect r = clipTo(clip, dst.width(), dst.height());
  r = Rect{std::max(r.left, d.left), std::max(r.top, d.top), std::min(r.right, d.right),
           std::min(r.bottom, d.bottom)};
  if (r.empty()) return;
  // Each destination pixel takes the source pixel under its centre. A source
  // row is stretched once into `line`, then laid over every destination row it
  // covers with a branch-free select that the compiler vectorises.
  const auto width = size_t(r.right - r.left);
  thread_local std::vector<uint32_t> line;
  thread_local std::vector<int32_t> columns;
  if (line.size() < width) line.resize(width), columns.resize(width);
  for (size_t i = 0; i < width; ++i) {
    const int64_t x = r.left + int64_t(i) - d.left;
    columns[i] = sx + int32_t((2 * x + 1) * sw / (2 * dw));
  }
  int32_t lineY = -1;
  for (int32_t y = r.top; y < r.bottom; ++y) {
    const int32_t srcY = sy + int32_t((int64_t(2 * (y - d.top) + 1) * sh) / (2 * dh));
    if (srcY != lineY) {
      const uint32_t* srow = src.row(srcY);
      for (size_t i = 0; i < width; ++i) line[i] = srow[columns[i]];
      lineY = srcY;
    }
    uint32_t* out = dst.row(y) + r.left;
    const uint32_t* in = line.data();
    for (size_t i = 0; i < width; ++i) {
      const uint32_t keep = 0u - uint32_t(in[i] == transparent);
      out[i] = (in[i] & ~keep) | (out[i] & keep);
    }
  }
}

Rect petRect(const State& s, int slot) {
  const double z = s.zoom[slot] / 100.0;
  const auto w = int32_t(roundHalfEven(z * 24)), h = int32_t(roundHalfEven(z * 32));
  return Rect{s.posX[slot], s.posY[slot], s.posX[slot] + w, s.posY[slot] + h};
}

void drawPet(Image& dst, const State& s, int slot, const Assets& a, Rect clip) {
  const Image* sheet = sheetFor(a, s.species[slot], s.dayScore[slot]);
  const Cell cell = cellFor(s.facing[slot], s.walkFrame[slot]);
  if (!sheet || !cell.valid) return;
  // The transparent colour is the sheet's own top-left pixel, read on every draw.
  transparentBlt(dst, petRect(s, slot), *sheet, cell.x, cell.y, 24, 32, sheet->at(0, 0), clip);
}

void drawPetPreview(Image& dst, const State& s, int slot, int32_t x, int32_t y, const Assets& a) {
  const Image* sheet = sheetFor(a, s.species[slot], s.dayScore[slot]);
  const Cell cell = cellFor(s.facing[slot], s.walkFrame[slot]);
  if (!sheet || !cell.valid) return;
  transparentBlt(dst, Rect{x, y, x + 48, y + 64}, *sheet, cell.x, cell.y, 24, 32, sheet->at(0, 0),
                 Rect{0, 0, dst.width(), dst.height()});
}

}  // namespace pet
