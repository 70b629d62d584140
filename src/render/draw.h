#pragma once
// Choosing a pet's sheet and cell, and the colour-keyed scaled copy.
#include "model/state.h"
#include "render/assets.h"
#include "render/image.h"

namespace pet {

// The sheet a pet is drawn from, or nullptr: a fluff-ball whose day score lies
// outside -3..3, or a species outside the sheets, is not drawn.
const Image* sheetFor(const Assets& a, int16_t species, int16_t dayScore);

// Source cell origin on a sheet, by facing (row) and walk frame (column).
struct Cell {
  int32_t x = 0, y = 0;
  bool valid = false;
};
Cell cellFor(int16_t facing, int16_t walkFrame);

// Copies the source rectangle (sx, sy, sw, sh) of `src` stretched onto `dst`
// (nearest neighbour), leaving out source pixels equal to `transparent`, and
// writing only inside `clip`.
void transparentBlt(Image& dst, Rect dstRect, const Image& src, int32_t sx, int32_t sy, int32_t sw,
                    int32_t sh, uint32_t transparent, Rect clip);

// Where the pet in `slot` is drawn on the overlay: (posX, posY), size
// zoom/100 x 24 by x 32 rounded half to even (may be empty).
Rect petRect(const State& s, int slot);

// Draws the pet in `slot` at its place and zoom, clipped to `clip`.
void drawPet(Image& dst, const State& s, int slot, const Assets& a, Rect clip);
// Draws the pet's current cell at 48 x 64 with its top-left at (x, y).
void drawPetPreview(Image& dst, const State& s, int slot, int32_t x, int32_t y, const Assets& a);

}  // namespace pet
