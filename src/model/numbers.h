#pragma once
// 16-bit integer arithmetic and the number texts of the program.
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace pet {

inline constexpr int32_t kInt16Min = std::numeric_limits<int16_t>::min();
inline constexpr int32_t kInt16Max = std::numeric_limits<int16_t>::max();

// Brings any wider value into the 16-bit range by clamping; used wherever a
// result could leave it, so nothing ever wraps round.
constexpr int16_t clamp16(int64_t v) {
  return static_cast<int16_t>(v < kInt16Min ? kInt16Min : (v > kInt16Max ? kInt16Max : v));
}

// Counters that the rules let grow without bound stop at 32767.
constexpr int16_t satAdd(int16_t a, int32_t b) {
  return clamp16(int64_t{a} + b);
}
inline void bump(int16_t& counter, int32_t by = 1) {
  counter = satAdd(counter, by);
}

// Real to integer: nearest, halves to the even neighbour.
inline int64_t roundHalfEven(double x) {
  double f = std::floor(x);
  double diff = x - f;
  auto r = static_cast<int64_t>(f);
  if (diff > 0.5) return r + 1;
  if (diff < 0.5) return r;
  return (r % 2 == 0) ? r : r + 1;
}
inline int16_t toInteger(double x) {
  return clamp16(roundHalfEven(x));
}

// A number converted for display: a space in the sign position when not negative.
inline std::string numberText(int64_t v) {
  return v < 0 ? std::to_string(v) : " " + std::to_string(v);
}
// A number printed onto a surface or into the data file: followed by one space.
inline std::string printedNumber(int64_t v) {
  return numberText(v) + " ";
}

}  // namespace pet
