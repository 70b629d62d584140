#pragma once
// The species-name table: display names and a one-line description of each
// species' look. Index 0 is the fluff-ball; 1..42 form the grid
// (7 * mouseLevel + dayScore + 4: rows idle -> restless, columns night -> day);
// 43..53 are the special species given by evolution number.
#include <array>

namespace pet {

struct SpeciesInfo {
  const char* name;  // UTF-8 display name
  const char* look;  // one line: what the sprite shows (for the artist and docs)
};

inline constexpr int kSpeciesCount = 54;
extern const std::array<SpeciesInfo, kSpeciesCount> kSpecies;

}  // namespace pet
