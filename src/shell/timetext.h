#pragma once
// The clock texts the program compares: "hhnn" marks minutes, the
// time-of-day text marks clock seconds.
#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace pet {

inline std::string hhnnText(const LocalTime& t) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d%02d", t.hour % 100, t.minute % 100);
  return b;
}

inline std::string timeOfDayText(const LocalTime& t) {
  char b[16];
  std::snprintf(b, sizeof b, "%02d:%02d:%02d", t.hour % 100, t.minute % 100, t.second % 100);
  return b;
}

inline double secondsSinceMidnight(const LocalTime& t) {
  return t.hour * 3600.0 + t.minute * 60.0 + t.second + t.millisecond / 1000.0;
}

}  // namespace pet
