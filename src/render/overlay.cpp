#include "render/overlay.h"

#include <algorithm>
#include <cmath>

#include "model/numbers.h"
#include "platform/platform.h"
#include "render/assets.h"
#include "render/draw.h"

namespace pet {

namespace {

constexpr uint32_t kBadgeColour = rgb(250, 200, 200);
constexpr uint32_t kTextColour = rgb(0, 0, 0);  // the system's button-text colour

int32_t px(double v) {
  return int32_t(roundHalfEven(v));
}

}  // namespace

void Overlay::drawPet(const State& s, int slot) {
  const Image* sheet = sheetFor(assets(), s.species[slot], s.dayScore[slot]);
  const Cell cell = cellFor(s.facing[slot], s.walkFrame[slot]);
  const Rect r = petRect(s, slot);
  if (!sheet || !cell.valid || r.empty()) return;
  Op op;
  op.sheet = sheet;
  op.cellX = cell.x;
  op.cellY = cell.y;
  op.rect = r;
  op.bounds = r;
  ops_.push_back(op);
}

void Overlay::drawBadge(const State& s, int slot, Platform& p) {
  const double z = s.zoom[slot] / 100.0;
  const double x = s.posX[slot], y = s.posY[slot];
  const double points = 7 * z;
  Op op;
  // Both corners belong to the filled box.
  op.rect = Rect{px(x + 15 * z), px(y + 23 * z), px(x + 25 * z) + 1, px(y + 33 * z) + 1};
  op.text = badgeText(int16_t(8 - s.evoPhase[slot]), std::min(points, kMaxBadgePoints), p);
  // Larger than it is printed: the print is stretched, whole pixels repeated.
  const double grow = points > kMaxBadgePoints ? points / kMaxBadgePoints : 1.0;
  const Image& t = op.text->pixels;
  op.textX = px(x + 13 * z) + px(op.text->dx * grow);
  op.textY = px(y + 23 * z) + px(op.text->dy * grow);
  op.textRect =
      Rect{op.textX, op.textY, op.textX + px(t.width() * grow), op.textY + px(t.height() * grow)};
  op.bounds = unite(op.rect, op.textRect);
  ops_.push_back(op);
}

const Overlay::Text* Overlay::badgeText(int16_t number, double points, Platform& p) {
  auto key = std::make_pair(number, int64_t(std::llround(points * 1000)));
  auto it = textCache_.find(key);
  if (it != textCache_.end()) return &it->second;
  if (textCache_.size() >= kTextCacheLimit) forgetUnusedTexts();
  // Printed once into a scratch image; copying its non-key pixels later lets
  // a redraw clip the text like any sprite.
  const int32_t h = std::max<int32_t>(2, int32_t(std::ceil(points * 96.0 / 72.0 * 1.5)) + 2);
  Image scratch(3 * h, h, kKeyColour);
  if (points > 0) p.drawText(scratch, 0, 0, points, kTextColour, numberText(number));
  Rect box{scratch.width(), scratch.height(), 0, 0};
  for (int32_t y = 0; y < scratch.height(); ++y)
    for (int32_t x = 0; x < scratch.width(); ++x)
      if (scratch.at(x, y) != kKeyColour)
        box = Rect{std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
                   std::max(box.bottom, y + 1)};
  Text t;
  if (!box.empty()) {
    t.pixels = Image(box.right - box.left, box.bottom - box.top);
    for (int32_t y = box.top; y < box.bottom; ++y)
      for (int32_t x = box.left; x < box.right; ++x)
        t.pixels.set(x - box.left, y - box.top, scratch.at(x, y));
    t.dx = box.left;
    t.dy = box.top;
  }
  return &textCache_.emplace(key, std::move(t)).first->second;
}

// Sizes change with the zoom (the settings panel, an evolution), so printed
// numbers pile up; those this frame and the last do not show are dropped.
void Overlay::forgetUnusedTexts() {
  std::vector<const Text*> used;
  for (const auto* frame : {&ops_, &previous_})
    for (const Op& op : *frame)
      if (op.text) used.push_back(op.text);
  std::erase_if(textCache_, [&](const auto& entry) {
    return std::find(used.begin(), used.end(), &entry.second) == used.end();
  });
}

size_t Overlay::badgeTextBytes() const {
  size_t bytes = 0;
  for (const auto& entry : textCache_)
    bytes += size_t(entry.second.pixels.width()) * size_t(entry.second.pixels.height()) * 4;
  return bytes;
}

void Overlay::render(const Op& op, Rect clip) {
  if (op.sheet) {
    transparentBlt(image_, op.rect, *op.sheet, op.cellX, op.cellY, 24, 32, op.sheet->at(0, 0),
                   clip);
    return;
  }
  image_.fill(
      clipTo(Rect{std::max(op.rect.left, clip.left), std::max(op.rect.top, clip.top),
                  std::min(op.rect.right, clip.right), std::min(op.rect.bottom, clip.bottom)},
             image_.width(), image_.height()),
      kBadgeColour);
  const Image& t = op.text->pixels;
  if (t.width() == 0) return;
  transparentBlt(image_, op.textRect, t, 0, 0, t.width(), t.height(), kKeyColour, clip);
}

void Overlay::markDirty(Rect r) {
  r = clipTo(r, image_.width(), image_.height());
  if (r.empty()) return;
  dirtyTop_ = std::min(dirtyTop_, r.top / kTile);
  dirtyBottom_ = std::max(dirtyBottom_, (r.bottom - 1) / kTile + 1);
  for (int32_t ty = r.top / kTile; ty <= (r.bottom - 1) / kTile; ++ty)
    for (int32_t tx = r.left / kTile; tx <= (r.right - 1) / kTile; ++tx)
      tiles_[size_t(ty) * size_t(tilesX_) + size_t(tx)] = 1;
}

// Turns the dirty tiles into disjoint rectangles: runs along each tile row,
// stacked with the same run of the row above where they line up.
void Overlay::collectDirty() {
  dirty_.clear();
  std::vector<size_t> open;  // indexes into dirty_ of runs ending on the previous row
  for (int32_t ty = dirtyTop_; ty < dirtyBottom_; ++ty) {
    std::vector<size_t> nowOpen;
    uint8_t* row = &tiles_[size_t(ty) * size_t(tilesX_)];
    for (int32_t tx = 0; tx < tilesX_;) {
      if (!row[tx]) {
        ++tx;
        continue;
      }
      int32_t end = tx;
      while (end < tilesX_ && row[end]) row[end++] = 0;
      Rect run{tx * kTile, ty * kTile, std::min(end * kTile, image_.width()),
               std::min((ty + 1) * kTile, image_.height())};
      size_t index = dirty_.size();
      for (size_t o : open)
        if (dirty_[o].left == run.left && dirty_[o].right == run.right) {
          dirty_[o].bottom = run.bottom;
          index = o;
          break;
        }
      if (index == dirty_.size()) dirty_.push_back(run);
      nowOpen.push_back(index);
      tx = end;
    }
    open.swap(nowOpen);
  }
  dirtyTop_ = tilesY_;
  dirtyBottom_ = 0;
}

void Overlay::refresh(Platform& p) {
  if (tilesX_ == 0) {
    tilesX_ = (image_.width() + kTile - 1) / kTile;
    tilesY_ = (image_.height() + kTile - 1) / kTile;
    tiles_.assign(size_t(tilesX_) * size_t(tilesY_), 0);
    dirtyTop_ = tilesY_;
  }
  // Outside the places of the ops that changed, the redrawn tiles come out
  // as they were (the same ops drawn in the same order), so only those
  // places are presented: a box around each pet's old and new place, about
  // half the tiles' pixels.
  changed_.clear();
  const size_t n = std::max(ops_.size(), previous_.size());
  for (size_t i = 0; i < n; ++i) {
    const bool inNew = i < ops_.size(), inOld = i < previous_.size();
    if (incremental_ && inNew && inOld && ops_[i] == previous_[i]) continue;
    for (const Op* op : {inNew ? &ops_[i] : nullptr, inOld ? &previous_[i] : nullptr}) {
      if (!op) continue;
      markDirty(op->bounds);
      changed_.push_back(clipTo(op->bounds, image_.width(), image_.height()));
    }
  }
  if (incremental_) {
    collectDirty();
    changed_ = mergeOverlapping(std::move(changed_));
  } else {
    std::fill(tiles_.begin(), tiles_.end(), 0);
    dirtyTop_ = tilesY_;
    dirtyBottom_ = 0;
    dirty_.assign(1, Rect{0, 0, image_.width(), image_.height()});
    changed_ = dirty_;
  }
  for (const Rect& d : dirty_) {
    image_.fill(d, kKeyColour);
    for (const Op& op : ops_)
      if (overlaps(op.bounds, d)) render(op, d);
  }
  if (!changed_.empty()) p.presentOverlay(image_, changed_);
  std::swap(previous_, ops_);
}

}  // namespace pet
