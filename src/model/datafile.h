#pragma once
// The data file: every pet and the statistics, one value a line, CR LF.
#include <optional>
#include <string>

#include "model/state.h"

namespace pet {

class Platform;

inline constexpr const char* kDataFileName = "zpdata.mrdt";
inline constexpr int kDataLines = 1355;
inline constexpr int kLegacyLines = 668;

// The text of the current layout for the variables in memory.
std::string formatData(const State& s);

// Reads and writes "zpdata.mrdt" through the platform. A damaged file is kept
// aside under its own name before anything may overwrite it; if that fails,
// or the file could not be read at all, saving stays off for this run so the
// user's file is never destroyed.
class DataStore {
 public:
  explicit DataStore(Platform& platform) : platform_(platform) {}

  void probeDataVersion(State& s);
  void loadLegacyData(State& s);
  void loadData(State& s);
  // Returns false when nothing was written; the old file then stands as it was.
  bool saveData(const State& s);

  bool savesBlocked() const { return savesBlocked_; }
  // Name under which the last damaged file was kept, empty if none.
  const std::string& keptDamagedAs() const { return keptAs_; }

 private:
  void afterLoad(State& s, bool problems, const std::optional<std::string>& bytes);
  Platform& platform_;
  bool savesBlocked_ = false;
  bool saveFailing_ = false;
  std::string keptAs_;
};

// Brings values that break the program's rules back within them and restores
// the slot table's invariants. Returns whether anything changed.
bool sanitizeState(State& s);

}  // namespace pet
