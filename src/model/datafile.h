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
// user's file is never destroyed. A file that another program put in place of
// the one this program last read or wrote (a restored backup, a synced copy)
// is kept aside the same way before the next save replaces it.
class DataStore {
 public:
  explicit DataStore(Platform& platform) : platform_(platform) {}

  void probeDataVersion(State& s);
  void loadLegacyData(State& s);
  void loadData(State& s);
  // Returns false when nothing was written; the old file, if there was one,
  // then stands as it was.
  bool saveData(const State& s);

  bool savesBlocked() const { return savesBlocked_; }
  // Whether this run has written the data file.
  bool wroteFile() const { return wrote_; }
  // Name under which the last damaged file was kept, empty if none.
  const std::string& keptDamagedAs() const { return keptAs_; }
  // Name under which the last file found in place of this program's was kept, empty if none.
  const std::string& keptReplacedAs() const { return keptReplacedAs_; }

 private:
  void afterLoad(State& s, bool problems, const std::optional<std::string>& bytes);
  // A free name "zpdata.mrdt.<kind>-YYYYMMDD-hhnnss" for a copy kept aside.
  std::string asideName(const char* kind);
  // Once per run of failures.
  void tellFailure(const std::string& text);
  Platform& platform_;
  bool savesBlocked_ = false;
  bool saveFailing_ = false;
  std::string keptAs_;
  std::string keptReplacedAs_;
  // The file's bytes as this program last read or wrote them; nothing when
  // it found no file.
  std::optional<std::string> known_;
  bool wrote_ = false;
};

// Brings values that break the program's rules back within them and restores
// the slot table's invariants. Returns whether anything changed.
bool sanitizeState(State& s);

}  // namespace pet
