// Whole lives run through the replay tool, checked in the saved file.
#include <gtest/gtest.h>

#include "model/datafile.h"
#include "replay.h"
#include "support.h"

namespace pet {
namespace {

using test::DataLines;

std::string run(const test::TempDir& dir, const std::string& script) {
  Replay r(dir.path());
  std::istringstream in(script);
  std::ostringstream out, err;
  EXPECT_EQ(r.run(in, out, err), 0) << err.str();
  return out.str();
}

// Reads one slot field from a saved file: line 606 + 15 (slot - 1) + field.
std::string savedLine(const std::string& bytes, int line) {
  std::istringstream in(bytes);
  std::string l;
  for (int i = 1; i <= line && std::getline(in, l); ++i) {
  }
  if (!l.empty() && l.back() == '\r') l.pop_back();
  return l;
}

TEST(ReplayLife, FromANewPetToItsEvolutionInTheSavedFile) {
  test::TempDir dir;
  DataLines d;
  d.petCount = 1;
  d.slots[0] = test::pet(1, 900, 500, "2026/12/10");  // five minutes' growth, stage 0
  dir.write("zpdata.mrdt", d.bytes());
  std::string script = "at 2026-12-10 09:30:00\nseed 7\nticks 300\n";
  for (int minute = 0; minute < 5; ++minute) script += "wait 60\nticks 1\n";
  script += "ticks 700\nwait 60\nticks 1\nquit\nticks 1\n";
  run(dir, script);
  std::string saved = dir.read("zpdata.mrdt");
  const int slot1 = 606;
  EXPECT_EQ(savedLine(saved, 2), " 1 ") << "evolutionCount";
  EXPECT_EQ(savedLine(saved, 4), " 7 ") << "evolutionLog(1)";
  EXPECT_EQ(savedLine(saved, 504 + 7), " 1 ") << "speciesTally(7)";
  EXPECT_EQ(savedLine(saved, slot1 + 7), " 7 ") << "species: idle, by day";
  EXPECT_EQ(savedLine(saved, slot1 + 11), " 5 ") << "growthStage";
  EXPECT_EQ(savedLine(saved, slot1 + 3), " 3 ") << "dayScore";
  EXPECT_EQ(savedLine(saved, slot1 + 8), " 100 ") << "zoom back to full size";
}

TEST(ReplayLife, APetSavedDuringItsEvolutionEvolvesAfterLoading) {
  test::TempDir dir;
  DataLines d;
  d.petCount = 1;
  d.slots[0] = test::pet(2, 900, 500);
  d.slots[0].growthStage = 5;  // fully grown, still a fluff-ball
  d.slots[0].mouseLevel = 2;
  d.slots[0].zoom = 40;  // saved while shrinking
  dir.write("zpdata.mrdt", d.bytes());
  std::string out = run(dir, "at 2026-12-10 09:30:00\nticks 300\nticks 700\ndump\n");
  EXPECT_NE(out.find("\"evolutionCount\":1"), std::string::npos);
  EXPECT_NE(out.find("\"species\":18"), std::string::npos);
  EXPECT_NE(out.find("\"zoom\":300"), std::string::npos)
      << "its size is lost in the shrink: the panel's default";
}

}  // namespace
}  // namespace pet
