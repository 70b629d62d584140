#pragma once
// The clock texts the program compares: "hhnn" marks minutes, the
// time-of-day text marks clock seconds.
#include <string>

#include "platform/platform.h"

namespace pet {

// Asked several times a tick: digits written directly, no printf.
inline void twoDigits(std::string& out, int v) {
  v = ((v % 100) + 100) % 100;
  out += char('0' + v / 10);
  out += char('0' + v % 10);
}

inline std::string hhnnText(const LocalTime& t) {
  std::string s;
  twoDigits(s, t.hour);
  twoDigits(s, t.minute);
  return s;
}

inline std::string timeOfDayText(const LocalTime& t) {
  std::string s;
  twoDigits(s, t.hour);
  s += ':';
  twoDigits(s, t.minute);
  s += ':';
  twoDigits(s, t.second);
  return s;
}

inline double secondsSinceMidnight(const LocalTime& t) {
  return t.hour * 3600.0 + t.minute * 60.0 + t.second + t.millisecond / 1000.0;
}

}  // namespace pet
