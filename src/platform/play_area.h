#pragma once
// Where the pets play on a desktop, worked out from what the system says of
// its monitors and scale: shared by the desktop programs, and free of any
// system call so that it can be tried anywhere.
#include <algorithm>
#include <vector>

#include "render/image.h"

namespace pet {

inline int floorDiv(int a, int b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// Pixel art is scaled by whole numbers: the nearest, halves up (150 % is 2),
// 1 at least.
inline int wholeScale(unsigned dpi) {
  return std::max(1, int((dpi + 48) / 96));
}

struct PlayArea {
  int scale = 1;                 // device pixels to one of the program's
  int originX = 0, originY = 0;  // its top left on the virtual screen, device pixels
  int width = 0, height = 0;     // device pixels
  std::vector<Rect> monitors;    // the program's pixels, primary first; empty: one screen
  // The play area in the program's pixels.
  int coreWidth() const { return width / scale; }
  int coreHeight() const { return height / scale; }
};

// `primary`: the primary screen on the virtual screen; `shown`: every
// monitor (device pixels, the primary first), empty ones included as the
// system reported them.
inline PlayArea playArea(Rect primary, const std::vector<Rect>& shown, unsigned dpi,
                         bool everyMonitor) {
  PlayArea a;
  a.scale = wholeScale(dpi);
  a.originX = primary.left;
  a.originY = primary.top;
  a.width = std::max(0, primary.right - primary.left);
  a.height = std::max(0, primary.bottom - primary.top);
  std::vector<Rect> real;
  // A monitor of no size is reported for a moment while monitors change.
  for (const Rect& r : shown)
    if (!r.empty()) real.push_back(r);
  if (!everyMonitor || real.size() < 2) return a;
  Rect all = real.front();
  for (const Rect& r : real)
    all = {std::min(all.left, r.left), std::min(all.top, r.top), std::max(all.right, r.right),
           std::max(all.bottom, r.bottom)};
  a.originX = all.left;
  a.originY = all.top;
  a.width = all.right - all.left;
  a.height = all.bottom - all.top;
  for (const Rect& r : real)
    a.monitors.push_back({floorDiv(r.left - all.left, a.scale), floorDiv(r.top - all.top, a.scale),
                          floorDiv(r.right - all.left, a.scale),
                          floorDiv(r.bottom - all.top, a.scale)});
  return a;
}

}  // namespace pet
