#pragma once
#include <cstdint>

namespace pet {

// A screen position in pixels, as the system's cursor reading gives it.
struct Point32 {
  int32_t x = 0;
  int32_t y = 0;
};

}  // namespace pet
