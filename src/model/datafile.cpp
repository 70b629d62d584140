#include "model/datafile.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

#include "model/numbers.h"
#include "model/slots.h"
#include "platform/platform.h"

namespace pet {

namespace {

// The 15 saved fields of one slot, in file order (growthStage before chaseMinutes).
constexpr std::array<SlotInts State::*, 13> kSlotNumbers{
    &State::growthPeriod, &State::posX,         &State::posY,        &State::dayScore,
    &State::mouseLevel,   &State::stageMinutes, &State::mouseTravel, &State::species,
    &State::zoom,         &State::speed,        &State::chaseMouse,  &State::growthStage,
    &State::chaseMinutes};

class Writer {
 public:
  void number(int16_t v) { line(printedNumber(v)); }
  void line(std::string_view text) {
    out_.append(text);
    out_.append("\r\n");
  }
  std::string take() { return std::move(out_); }

 private:
  std::string out_;
};

// Splits the file into lines; CR LF, LF and CR all end a line. A UTF-8
// byte-order mark, which some editors put in front, is not part of the text.
std::vector<std::string_view> splitLines(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' || bytes[i] == '\n') {
      lines.push_back(bytes.substr(start, i - start));
      if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  if (start < bytes.size()) lines.push_back(bytes.substr(start));
  return lines;
}

// Reads values in layout order; a value it cannot read becomes the start value
// and marks the file as damaged.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : lines_(splitLines(bytes)) {}

  int16_t number() {
    if (next_ >= lines_.size()) {
      problem_ = true;
      return 0;
    }
    std::string_view t = lines_[next_++];
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
    bool negative = !t.empty() && t.front() == '-';
    if (negative) t.remove_prefix(1);
    if (t.empty() || t.size() > 18 ||
        !std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      problem_ = true;
      return 0;
    }
    int64_t v = 0;
    for (char c : t) v = v * 10 + (c - '0');
    if (negative) v = -v;
    if (v < kInt16Min || v > kInt16Max) problem_ = true;
    return clamp16(v);
  }
  std::string text() {
    if (next_ >= lines_.size()) {
      problem_ = true;
      return {};
    }
    return std::string(lines_[next_++]);
  }
  bool problem() const { return problem_; }
  bool exhausted() const { return next_ >= lines_.size(); }

 private:
  std::vector<std::string_view> lines_;
  size_t next_ = 0;
  bool problem_ = false;
};

// A value that a file cut short no longer holds: what the settings panel
// gives a new pet.
int16_t missingValue(SlotInts State::*field) {
  if (field == &State::speed) return kNewPetSpeed;
  if (field == &State::zoom) return kNewPetZoom;
  if (field == &State::growthPeriod) return kNewPetGrowthPeriod;
  return 0;
}

// The 13 numbers of one slot. `counted`: the file's pet count takes the slot
// in, so the pet stays even when the file ends before its period.
void readSlotNumbers(Reader& r, State& s, int slot, bool counted) {
  for (auto field : kSlotNumbers) {
    const bool missing = r.exhausted();
    int16_t v = r.number();
    if (missing && (field == &State::growthPeriod ? counted : s.inUse(slot)))
      v = missingValue(field);
    (s.*field)[slot] = v;
  }
}

void readStatistics(Reader& r, State& s) {
  s.evolutionCount = r.number();
  for (auto& v : s.evolutionLog) v = r.number();
  for (auto& v : s.speciesTally) v = r.number();
}

template <typename T>
bool clampField(T& v, T lo, T hi) {
  T c = std::clamp(v, lo, hi);
  bool changed = c != v;
  v = c;
  return changed;
}

bool offUnlessOne(int16_t& flag) {
  if (flag == 0 || flag == 1) return false;
  flag = 0;
  return true;
}

}  // namespace

std::string formatData(const State& s) {
  Writer w;
  w.line("VER110");
  w.number(s.evolutionCount);
  for (auto v : s.evolutionLog) w.number(v);
  for (auto v : s.speciesTally) w.number(v);
  w.number(s.petCount);
  for (int slot = 1; slot <= kMaxPets; ++slot) {
    for (auto field : kSlotNumbers) w.number((s.*field)[slot]);
    w.line(s.createdOn[slot]);
    w.number(s.criterionMode[slot]);
  }
  return w.take();
}

void DataStore::probeDataVersion(State& s) {
  auto bytes = platform_.readFile(kDataFileName);
  std::string_view first;
  if (bytes) {
    auto lines = splitLines(*bytes);
    if (!lines.empty()) first = lines.front();
  }
  s.fileVersion = std::string(first);
  if (s.fileVersion.compare(0, 3, "VER") != 0) s.fileVersion = "VER100";
}

void DataStore::loadLegacyData(State& s) {
  auto bytes = platform_.readFile(kDataFileName);
  Reader r(bytes ? *bytes : std::string_view{});
  readStatistics(r, s);
  for (int slot = 1; slot <= 5; ++slot) {
    readSlotNumbers(r, s, slot, false);  // no count: an empty slot is as likely
    s.createdOn[slot] = platform_.shortDate();
  }
  s.petCount = 5;
  // Empty slots are ordinary in this layout, not damage.
  compactSlots(s);
  afterLoad(s, r.problem(), bytes);
}

void DataStore::loadData(State& s) {
  auto bytes = platform_.readFile(kDataFileName);
  Reader r(bytes ? *bytes : std::string_view{});
  s.fileVersion = r.text();
  readStatistics(r, s);
  s.petCount = r.number();
  for (int slot = 1; slot <= kMaxPets; ++slot) {
    readSlotNumbers(r, s, slot, slot <= s.petCount);
    s.createdOn[slot] = r.text();
    s.criterionMode[slot] = r.number();
  }
  afterLoad(s, r.problem(), bytes);
}

std::string DataStore::asideName(const char* kind) {
  LocalTime t = platform_.now();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  const std::string base = std::string(kDataFileName) + "." + kind + "-" + stamp;
  std::string name = base;
  auto files = platform_.listFiles();
  for (int n = 2; std::find(files.begin(), files.end(), name) != files.end(); ++n)
    name = base + "-" + std::to_string(n);
  return name;
}

void DataStore::afterLoad(State& s, bool problems, const std::optional<std::string>& bytes) {
  known_ = bytes;
  bool changed = sanitizeState(s);
  if (!bytes) {
    // Listed but unreadable: there is nothing to keep aside, so never overwrite it.
    platform_.reportProblem("データファイル zpdata.mrdt を読めませんでした。上書きはしません。");
    savesBlocked_ = true;
    return;
  }
  if ((!problems && !changed) || bytes->empty()) return;
  const std::string name = asideName("damaged");
  if (platform_.writeCopy(kDataFileName, name, *bytes)) {
    keptAs_ = name;
    platform_.reportProblem("データファイル zpdata.mrdt が壊れていました。元の内容は " + name +
                            " に残してあります。");
  } else {
    savesBlocked_ = true;
    platform_.reportProblem(
        "データファイル zpdata.mrdt が壊れていて、元の内容を別に残せませんでした。"
        "上書きはしません。");
  }
}

void DataStore::tellFailure(const std::string& text) {
  // Saves come every minute: one notice while they keep failing.
  if (!saveFailing_) platform_.reportProblem(text);
  saveFailing_ = true;
}

bool DataStore::saveData(const State& s) {
  if (savesBlocked_) return false;
  const std::optional<std::string> current = platform_.readFile(kDataFileName);
  const auto files = platform_.listFiles();
  const bool exists =
      current || std::find(files.begin(), files.end(), kDataFileName) != files.end();
  if (exists && !current) {
    // Someone else's file, or ours made unreadable: it cannot be kept aside.
    tellFailure("データファイル zpdata.mrdt を読めなくなりました。上書きはしません。");
    return false;
  }
  std::string replacedNote;
  if (current && current != known_) {
    // Not the file this program last read or wrote: another program put it
    // there. Its bytes go aside before ours replace it; nothing is merged.
    const std::string name = asideName("replaced");
    if (!platform_.writeCopy(kDataFileName, name, *current)) {
      tellFailure(
          "データファイル zpdata.mrdt がほかのプログラムに置き換えられていて、その内容を別に"
          "残せませんでした。上書きはしません。");
      return false;
    }
    known_ = current;
    keptReplacedAs_ = name;
    replacedNote =
        "データファイル zpdata.mrdt がほかのプログラムに置き換えられていました。その内容は " +
        name + " に残してあります。";
  }
  std::string bytes = formatData(s);
  if (platform_.writeFileAtomic(kDataFileName, bytes)) {
    known_ = std::move(bytes);
    wrote_ = true;
    saveFailing_ = false;
    if (!replacedNote.empty())
      platform_.reportProblem(replacedNote + "いまのペットは zpdata.mrdt に保存しました。");
    return true;
  }
  if (!replacedNote.empty()) platform_.reportProblem(replacedNote);
  // Only what is so: with no file there, there is no old one to speak of.
  tellFailure(
      exists ? "データファイル zpdata.mrdt に書き込めませんでした。前のファイルはそのままです。"
             : "データファイル zpdata.mrdt に書き込めませんでした。");
  return false;
}

bool sanitizeState(State& s) {
  bool changed = false;
  changed |= clampField<int16_t>(s.evolutionCount, 0, kInt16Max);
  for (auto& v : s.evolutionLog) changed |= clampField<int16_t>(v, 0, kInt16Max);
  for (auto& v : s.speciesTally) changed |= clampField<int16_t>(v, 0, kInt16Max);
  changed |= clampField<int16_t>(s.petCount, 0, kMaxPets);

  // A pet stored above the pet count would be invisible yet written back for
  // ever: take every slot in, and let compaction close the gaps.
  bool strays = false;
  for (int slot = s.petCount + 1; slot <= kMaxPets; ++slot) strays |= s.inUse(slot);
  if (strays) s.petCount = kMaxPets;

  // An empty slot below the count would make the list look full while a
  // pet can no longer be created: compaction closes the gap.
  bool gaps = false;
  for (int slot = 1; slot <= s.petCount; ++slot) {
    // Out-of-range periods keep the slot in use (the in-use test is "not 0"),
    // so no pet is lost by the repair.
    if (s.growthPeriod[slot] < 0) {
      s.growthPeriod[slot] = 1;
      changed = true;
    }
    changed |= clampField<int16_t>(s.growthPeriod[slot], 0, 4);
    if (!s.inUse(slot)) {
      gaps = true;
      continue;
    }
    changed |= clampField<int16_t>(s.species[slot], 0, 53);
    changed |= clampField<int16_t>(s.dayScore[slot], -3, 3);
    changed |= clampField<int16_t>(s.mouseLevel[slot], 0, 5);
    changed |= clampField<int16_t>(s.growthStage[slot], 0, 5);
    changed |= clampField<int16_t>(s.speed[slot], 1, 30);
    changed |= clampField<int16_t>(s.zoom[slot], 1, kMaxZoom);
    // Only 1 switches chasing or the criterion mode on; anything else means off.
    changed |= offUnlessOne(s.chaseMouse[slot]);
    changed |= offUnlessOne(s.criterionMode[slot]);
  }
  if (changed || strays || gaps) compactSlots(s);
  return changed || strays || gaps;
}

}  // namespace pet
