#include "model/datafile.h"

#include <gtest/gtest.h>

#include "support.h"

namespace pet {
namespace {

using test::DataLines;
using test::Program;

int countLines(const std::string& bytes) {
  int n = 0;
  for (size_t i = 0; i + 1 < bytes.size(); ++i)
    if (bytes[i] == '\r' && bytes[i + 1] == '\n') ++n;
  return n;
}

TEST(DataFile, EmptyStateIsWrittenByteForByte) {
  State s;
  std::string bytes = formatData(s);
  EXPECT_EQ(bytes, DataLines{}.bytes());
  EXPECT_EQ(countLines(bytes), 1355);
  EXPECT_EQ(bytes.substr(0, 13), "VER110\r\n 0 \r\n");
}

TEST(DataFile, RoundTripKeepsEverySavedValue) {
  DataLines d;
  d.evolutionCount = 3;
  d.log[1] = 18;
  d.log[2] = 48;
  d.log[3] = 18;
  d.tally[18] = 2;
  d.tally[48] = 1;
  d.petCount = 2;
  d.slots[0] = test::pet(1, 100, 200);
  d.slots[0].dayScore = -3;
  d.slots[0].mouseLevel = 5;
  d.slots[0].growthStage = 3;
  d.slots[0].chaseMinutes = 12;
  d.slots[0].stageMinutes = 2;
  d.slots[1] = test::pet(4, -10, 1048, "2026/12/10");
  d.slots[1].species = 42;
  d.slots[1].criterionMode = 1;
  Program p;
  p.dir.write("zpdata.mrdt", d.bytes());
  p.form.dataStore().loadData(p.s);
  EXPECT_EQ(p.s.dayScore[1], -3);
  EXPECT_EQ(p.s.growthStage[1], 3);
  EXPECT_EQ(p.s.chaseMinutes[1], 12);
  EXPECT_EQ(p.s.posX[2], -10);
  EXPECT_EQ(p.s.createdOn[2], "2026/12/10");
  EXPECT_EQ(formatData(p.s), d.bytes()) << "a file this layout describes is written back unchanged";
  EXPECT_NE(formatData(p.s).find("\r\n-3 \r\n"), std::string::npos);
  EXPECT_TRUE(p.platform.problems().empty());
}

TEST(DataFile, ReaderAcceptsBareNumbersAndOtherLineEndings) {
  DataLines d;
  d.petCount = 1;
  d.slots[0] = test::pet(2, 7, 8);
  for (std::string eol : {"\n", "\r"}) {
    std::vector<std::string> lines = d.lines();
    for (auto& l : lines)  // strip the spaces around numbers
      if (!l.empty() && (l[0] == ' ' || l[0] == '-') && l.back() == ' ')
        l = l.substr(l[0] == ' ' ? 1 : 0, l.size() - (l[0] == ' ' ? 2 : 1));
    Program p;
    p.dir.write("zpdata.mrdt", DataLines::join(lines, eol));
    p.form.dataStore().loadData(p.s);
    EXPECT_EQ(p.s.petCount, 1);
    EXPECT_EQ(p.s.posX[1], 7);
    EXPECT_EQ(p.s.createdOn[1], "2026/01/01");
    EXPECT_TRUE(p.platform.problems().empty()) << int(eol[0]);
  }
}

TEST(DataFile, VersionProbe) {
  struct Case {
    const char* firstLine;
    const char* version;
  };
  for (auto c : std::vector<Case>{{"VER110", "VER110"},
                                  {"VER120", "VER120"},
                                  {"ver110", "VER100"},
                                  {" 12 ", "VER100"},
                                  {"", "VER100"},
                                  // An editor's byte-order mark is no part of the tag.
                                  {"\xEF\xBB\xBFVER110", "VER110"},
                                  {"\xEF\xBB\xBFver110", "VER100"},
                                  {"\xEF\xBB\xBF", "VER100"},
                                  {"x\xEF\xBB\xBFVER110", "VER100"}}) {
    Program p;
    p.dir.write("zpdata.mrdt", std::string(c.firstLine) + "\r\n 0 \r\n");
    p.form.dataStore().probeDataVersion(p.s);
    EXPECT_EQ(p.s.fileVersion, c.version) << c.firstLine;
  }
}

TEST(DataFile, LegacyFileIsConvertedAtStartUp) {
  DataLines legacy;
  legacy.tag = "";
  legacy.evolutionCount = 2;
  legacy.log[1] = 5;
  legacy.log[2] = 9;
  legacy.tally[5] = 1;
  legacy.tally[9] = 1;
  legacy.slots[0] = test::pet(1, 10, 11);
  legacy.slots[1] = test::pet(2, 20, 21);
  legacy.slots[3] = test::pet(3, 40, 41);
  legacy.slots[3].dayScore = -2;
  ASSERT_EQ(legacy.lines().size(), 668u);

  Program p;
  p.dir.write("zpdata.mrdt", legacy.bytes());
  p.load();
  p.tick(2);  // state 0, then the load behind the splash
  ASSERT_EQ(p.s.runState, 9);
  EXPECT_EQ(p.s.fileVersion, "VER110");
  EXPECT_EQ(p.s.petCount, 3);
  EXPECT_EQ(p.s.posX[1], 10);
  EXPECT_EQ(p.s.posX[2], 20);
  EXPECT_EQ(p.s.posX[3], 40);
  EXPECT_EQ(p.s.dayScore[3], -2);
  EXPECT_EQ(p.s.createdOn[3], "2026/12/10");
  EXPECT_EQ(p.s.criterionMode[3], 0);
  EXPECT_EQ(p.s.growthPeriod[4], 0);
  EXPECT_EQ(p.s.evolutionCount, 2);
  EXPECT_EQ(p.s.speciesTally[9], 1);
  std::string converted = p.dir.read("zpdata.mrdt");
  EXPECT_EQ(countLines(converted), 1355);
  EXPECT_EQ(converted, formatData(p.s));
  EXPECT_TRUE(p.platform.problems().empty());
}

// Each kind of damage: the file is kept aside byte for byte before anything
// overwrites it, what could be read is used, and the rules hold again.
TEST(DataFile, DamagedFilesAreKeptAsideAndRepaired) {
  DataLines good;
  good.petCount = 2;
  good.slots[0] = test::pet(1, 10, 20);
  good.slots[1] = test::pet(2, 30, 40);

  struct Case {
    const char* what;
    std::string bytes;
    int petCount;
  };
  auto with = [&](size_t line, const std::string& text) { return good.with({{line, text}}); };
  std::string truncated = good.bytes().substr(0, good.bytes().size() / 2 + 3);
  std::vector<Case> cases = {
      {"ends early", truncated, 2},
      {"a word where a number belongs", with(607, "abc"), 2},  // slot 1 posX
      {"a number out of range", with(622, " 40000 "), 2},      // slot 2 posX
      {"pet count beyond 50", with(605, " 60 "), 2},
      {"species beyond 53", with(613, " 99 "), 2},  // slot 1 species
      {"a stray pet above the count", with(605, " 1 "), 2},
      {"a negative period", with(606, "-1 "), 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Program p;
    p.startWith(c.bytes);
    ASSERT_EQ(p.s.runState, 10);
    EXPECT_EQ(p.s.petCount, c.petCount);
    EXPECT_EQ(p.s.posY[1], 20);
    EXPECT_GE(p.s.species[1], 0);
    EXPECT_LE(p.s.species[1], 53);
    EXPECT_EQ(p.s.growthPeriod[1] != 0, true);
    std::string kept = p.form.dataStore().keptDamagedAs();
    ASSERT_EQ(kept.rfind("zpdata.mrdt.damaged-20261210-0930", 0), 0u) << kept;
    EXPECT_EQ(p.dir.read(kept), c.bytes);
    EXPECT_FALSE(p.platform.problems().empty());
    // The first running tick saves a sound file again.
    p.tick();
    EXPECT_EQ(countLines(p.dir.read("zpdata.mrdt")), 1355);
  }
}

TEST(DataFile, OutOfRuleValuesAreBroughtBack) {
  DataLines d;
  d.evolutionCount = -5;
  d.log[3] = -1;
  d.tally[7] = -2;
  d.petCount = 1;
  auto& x = d.slots[0];
  x = test::pet(9, 5, 5);
  x.species = 54;
  x.dayScore = 7;
  x.mouseLevel = -1;
  x.growthStage = 8;
  x.speed = 0;
  x.zoom = -20;
  x.chaseMouse = 2;
  x.criterionMode = 5;
  Program p;
  p.dir.write("zpdata.mrdt", d.bytes());
  p.form.dataStore().loadData(p.s);
  const State& s = p.s;
  EXPECT_EQ(s.evolutionCount, 0);
  EXPECT_EQ(s.evolutionLog[3], 0);
  EXPECT_EQ(s.speciesTally[7], 0);
  EXPECT_EQ((std::vector<int>{s.growthPeriod[1], s.species[1], s.dayScore[1], s.mouseLevel[1],
                              s.growthStage[1], s.speed[1], s.zoom[1], s.chaseMouse[1],
                              s.criterionMode[1]}),
            (std::vector<int>{4, 53, 3, 0, 5, 1, 1, 0, 0}))
      << "only 1 switches chasing or the criterion mode on";
  EXPECT_FALSE(p.form.dataStore().keptDamagedAs().empty());
}

TEST(DataFile, AByteOrderMarkBeforeTheTagIsReadAsAbsent) {
  DataLines d;
  d.petCount = 50;
  for (int i = 0; i < 50; ++i) d.slots[size_t(i)] = test::pet(1 + i % 4, i, 2 * i);
  Program p;
  p.startWith("\xEF\xBB\xBF" + d.bytes());
  EXPECT_EQ(p.s.fileVersion, "VER110");
  EXPECT_EQ(p.s.petCount, 50);
  EXPECT_EQ(p.s.posY[50], 98);
  EXPECT_TRUE(p.platform.problems().empty());
  p.tick();
  EXPECT_EQ(p.dir.read("zpdata.mrdt"), formatData(p.s)) << "all 50 pets saved, with no mark";
}

// Every repair leaves pets that can be seen, grabbed and set: full size,
// moving, in the list, with the switches the rules read as off.
TEST(DataFile, RepairedPetsStayUsable) {
  DataLines good;
  good.petCount = 2;
  good.slots[0] = test::pet(2, 10, 20);
  good.slots[0].zoom = 150;
  good.slots[0].speed = 9;
  good.slots[1] = test::pet(3, 30, 40);
  const std::vector<std::string> lines = good.lines();
  auto cutAfter = [&](size_t n) {
    return DataLines::join(std::vector<std::string>(lines.begin(), lines.begin() + long(n)));
  };
  auto with = [&](std::vector<std::pair<size_t, std::string>> changes) {
    return good.with(changes);
  };
  struct Pet {
    int growthPeriod, posY, zoom, speed, chaseMouse, criterionMode;
  };
  struct Case {
    const char* what;
    std::string bytes;
    std::vector<Pet> pets;
  };
  const Pet first{2, 20, 150, 9, 0, 0}, second{3, 40, 100, 5, 0, 0};
  const std::vector<Case> cases = {
      {"cut after the first pet's position",
       cutAfter(608),
       {{2, 20, 300, 5, 0, 0}, {1, 0, 300, 5, 0, 0}}},
      {"cut inside the second pet", cutAfter(628), {first, {3, 40, 300, 5, 0, 0}}},
      {"cut right after the pet count",
       cutAfter(605),
       {{1, 0, 300, 5, 0, 0}, {1, 0, 300, 5, 0, 0}}},
      {"a gap below the count", with({{606, " 0 "}}), {second}},
      {"a gap and a stray", with({{606, " 0 "}, {605, " 1 "}}), {second}},
      {"zoom beyond the panel's largest",
       with({{614, " 32767 "}}),
       {{2, 20, 500, 9, 0, 0}, second}},
      {"switches of 2", with({{616, " 2 "}, {620, " 2 "}}), {first, second}},
      {"switches of -1", with({{631, "-1 "}, {635, "-1 "}}), {first, second}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Program p;
    p.startWith(c.bytes);
    ASSERT_EQ(p.s.runState, 10);
    ASSERT_EQ(p.s.petCount, int(c.pets.size()));
    for (int i = 1; i <= p.s.petCount; ++i) {
      const Pet& e = c.pets[size_t(i - 1)];
      EXPECT_EQ((std::vector<int>{p.s.growthPeriod[i], p.s.posY[i], p.s.zoom[i], p.s.speed[i],
                                  p.s.chaseMouse[i], p.s.criterionMode[i]}),
                (std::vector<int>{e.growthPeriod, e.posY, e.zoom, e.speed, e.chaseMouse,
                                  e.criterionMode}))
          << "slot " << i;
    }
    EXPECT_EQ(p.dir.read(p.form.dataStore().keptDamagedAs()), c.bytes);
    EXPECT_EQ(p.platform.problems().size(), 1u);
  }
}

// A data file linked into another folder (a synced one, say) is updated
// there; the link stays a link, and the file keeps its permissions.
TEST(DataFile, ALinkedDataFileIsWrittenThrough) {
  namespace fs = std::filesystem;
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> links;  // link, what it points to
    std::string target;
    bool exists;
  };
  for (const auto& c : std::vector<Case>{
           {"a relative link", {{"zpdata.mrdt", "synced/pets.mrdt"}}, "synced/pets.mrdt", true},
           {"a chain of links",
            {{"zpdata.mrdt", "middle"}, {"middle", "synced/pets.mrdt"}},
            "synced/pets.mrdt",
            true},
           {"a link to no file yet",
            {{"zpdata.mrdt", "synced/new.mrdt"}},
            "synced/new.mrdt",
            false},
       }) {
    SCOPED_TRACE(c.what);
    Program p;
    fs::create_directory(p.dir.file("synced"));
    if (c.exists) {
      p.dir.write(c.target, "old");
      fs::permissions(p.dir.file(c.target), fs::perms::owner_read | fs::perms::owner_write);
    }
    for (const auto& [link, to] : c.links) fs::create_symlink(to, p.dir.file(link));
    p.s.petCount = 1;
    p.s.growthPeriod[1] = 1;
    ASSERT_TRUE(p.form.dataStore().saveData(p.s));
    for (const auto& [link, to] : c.links) {
      EXPECT_TRUE(fs::is_symlink(p.dir.file(link))) << link;
      EXPECT_EQ(fs::read_symlink(p.dir.file(link)), to);
    }
    EXPECT_EQ(p.dir.read(c.target), formatData(p.s));
    if (c.exists)
      EXPECT_EQ(fs::status(p.dir.file(c.target)).permissions() & fs::perms::all,
                fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_FALSE(p.dir.exists(c.target + ".tmp"));
    EXPECT_FALSE(p.dir.exists("zpdata.mrdt.tmp"));
  }
}

TEST(DataFile, AFailedSaveLeavesTheOldFileAndTheVariables) {
  Program p;
  DataLines d;
  d.petCount = 1;
  d.slots[0] = test::pet(1, 10, 20);
  p.dir.write("zpdata.mrdt", d.bytes());
  p.form.dataStore().loadData(p.s);
  p.s.posX[1] = 500;
  State before = p.s;

  p.platform.setWritesFail(true);  // as a full disk would
  EXPECT_FALSE(p.form.dataStore().saveData(p.s));
  EXPECT_EQ(p.dir.read("zpdata.mrdt"), d.bytes());
  EXPECT_EQ(p.s.posX[1], 500);
  EXPECT_EQ(p.platform.problems().size(), 1u);
  EXPECT_FALSE(p.form.dataStore().saveData(p.s));
  EXPECT_EQ(p.platform.problems().size(), 1u) << "one notice while saves keep failing";

  // A real failure: the temporary file cannot be created.
  p.platform.setWritesFail(false);
  std::filesystem::create_directory(p.dir.file("zpdata.mrdt.tmp"));
  EXPECT_FALSE(p.form.dataStore().saveData(p.s));
  EXPECT_EQ(p.dir.read("zpdata.mrdt"), d.bytes());
  std::filesystem::remove(p.dir.file("zpdata.mrdt.tmp"));
  EXPECT_TRUE(p.form.dataStore().saveData(p.s));
  EXPECT_EQ(p.dir.read("zpdata.mrdt"), formatData(before));
  p.platform.setWritesFail(true);
  EXPECT_FALSE(p.form.dataStore().saveData(p.s));
  EXPECT_EQ(p.platform.problems().size(), 2u) << "a new run of failures, a new notice";
  EXPECT_EQ(p.dir.names(), std::vector<std::string>{"zpdata.mrdt"}) << "no temporary file is left";
}

TEST(DataFile, ADamagedFileThatCannotBeKeptAsideIsNeverOverwritten) {
  Program p;
  p.dir.write("zpdata.mrdt", "VER110\r\n 3 \r\n");
  p.platform.setWritesFail(true);
  p.load();
  p.runUntilRunning();
  p.platform.setWritesFail(false);
  p.tick(10);
  p.s.owaru = 1;
  p.tick();
  EXPECT_TRUE(p.form.ended());
  EXPECT_EQ(p.dir.read("zpdata.mrdt"), "VER110\r\n 3 \r\n");
}

// Every notice of a failed save says only what is so: the old file stands
// when there is one, and none is spoken of when there is none.
TEST(DataFile, AFailedSaveSaysOnlyWhatIsSo) {
  DataLines d;
  d.petCount = 1;
  d.slots[0] = test::pet(1, 10, 20);
  for (bool fileThere : {true, false}) {
    SCOPED_TRACE(fileThere ? "an old file" : "no file");
    Program p;
    p.startWith(d.bytes());
    // Gone with its folder, say, which cannot be made again.
    if (!fileThere) std::filesystem::remove(p.dir.file("zpdata.mrdt"));
    p.platform.setWritesFail(true);
    p.s.owaru = 1;
    p.tick();
    ASSERT_TRUE(p.form.ended());
    ASSERT_EQ(p.platform.problems().size(), 1u);
    const std::string& told = p.platform.problems()[0];
    EXPECT_NE(told.find("書き込めませんでした"), std::string::npos) << told;
    EXPECT_EQ(told.find("そのまま") != std::string::npos, fileThere) << told;
    EXPECT_EQ(p.dir.exists("zpdata.mrdt"), fileThere);
  }
}

// The copy of a damaged file is open to no more users than the file was.
TEST(DataFile, ADamagedFilesCopyKeepsItsPermissions) {
  namespace fs = std::filesystem;
  for (fs::perms mode : {fs::perms::owner_read | fs::perms::owner_write,
                         fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read}) {
    Program p;
    p.dir.write("zpdata.mrdt", "VER110\r\n 3 \r\n");
    fs::permissions(p.dir.file("zpdata.mrdt"), mode);
    p.load();
    p.runUntilRunning();
    const std::string kept = p.form.dataStore().keptDamagedAs();
    ASSERT_FALSE(kept.empty());
    EXPECT_EQ(fs::status(p.dir.file(kept)).permissions() & fs::perms::all, mode);
    EXPECT_EQ(p.dir.read(kept), "VER110\r\n 3 \r\n");
  }
}

// Another program puts a file in place of ours while we run (a restored
// backup, a synced copy): the next save keeps its bytes aside, with its
// permissions, saves the pets in memory, and names both files. Nothing is
// merged or read back.
TEST(DataFile, AFileReplacedFromOutsideIsKeptAsideBeforeTheNextSave) {
  namespace fs = std::filesystem;
  DataLines ours, theirs;
  ours.petCount = 1;
  ours.slots[0] = test::pet(1, 10, 20);
  theirs.petCount = 2;
  theirs.slots[0] = test::pet(2, 500, 600);
  theirs.slots[1] = test::pet(3, 700, 800);
  struct Case {
    const char* what;
    bool firstRun;   // the file came while the welcome showed
    bool copyFails;  // the copy cannot be written
  };
  for (const Case& c :
       {Case{"while the pets run", false, false}, Case{"during the first run", true, false},
        Case{"and the copy cannot be written", false, true}}) {
    SCOPED_TRACE(c.what);
    Program p;
    if (!c.firstRun) p.dir.write("zpdata.mrdt", ours.bytes());
    p.load();
    p.runUntilRunning(c.firstRun ? 2 : 1000);
    p.tick();
    const State mine = p.s;
    const size_t toldBefore = p.platform.problems().size();
    p.dir.write("zpdata.mrdt.new", theirs.bytes());
    fs::permissions(p.dir.file("zpdata.mrdt.new"), fs::perms::owner_read | fs::perms::owner_write);
    fs::rename(p.dir.file("zpdata.mrdt.new"), p.dir.file("zpdata.mrdt"));
    if (c.copyFails) p.platform.setWritesFail(true);
    EXPECT_EQ(p.form.dataStore().saveData(p.s), !c.copyFails);
    const std::string kept = p.form.dataStore().keptReplacedAs();
    ASSERT_EQ(p.platform.problems().size(), toldBefore + 1);
    const std::string& told = p.platform.problems().back();
    if (c.copyFails) {
      EXPECT_TRUE(kept.empty());
      EXPECT_EQ(p.dir.read("zpdata.mrdt"), theirs.bytes()) << "overwritten uncopied";
      EXPECT_NE(told.find("上書きはしません"), std::string::npos) << told;
      continue;
    }
    ASSERT_EQ(kept.rfind("zpdata.mrdt.replaced-20261210-0930", 0), 0u) << kept;
    EXPECT_EQ(p.dir.read(kept), theirs.bytes());
    EXPECT_EQ(fs::status(p.dir.file(kept)).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(p.dir.read("zpdata.mrdt"), formatData(mine)) << "the pets in memory are saved";
    EXPECT_EQ(p.s.petCount, mine.petCount) << "nothing read back";
    EXPECT_NE(told.find(kept), std::string::npos) << told;
    EXPECT_NE(told.find("zpdata.mrdt に保存"), std::string::npos) << told;
    // From then on the file is ours again: no more copies.
    ASSERT_TRUE(p.form.dataStore().saveData(p.s));
    EXPECT_EQ(p.platform.problems().size(), toldBefore + 1);
  }
}

// The data file (or its whole folder) deleted while the program runs: the
// next save writes every pet again, and nothing is said of an old file.
TEST(DataFile, ADeletedFileIsWrittenAgainWhole) {
  DataLines d;
  d.petCount = 2;
  d.slots[0] = test::pet(1, 10, 20);
  d.slots[1] = test::pet(2, 30, 40);
  Program p;
  p.startWith(d.bytes());
  p.tick();
  std::filesystem::remove(p.dir.file("zpdata.mrdt"));
  ASSERT_TRUE(p.form.dataStore().saveData(p.s));
  EXPECT_EQ(p.dir.read("zpdata.mrdt"), formatData(p.s));
  EXPECT_EQ(p.s.petCount, 2);
  EXPECT_TRUE(p.platform.problems().empty());
  EXPECT_EQ(p.dir.names(), std::vector<std::string>{"zpdata.mrdt"});
}

}  // namespace
}  // namespace pet
