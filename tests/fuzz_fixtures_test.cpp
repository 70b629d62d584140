// The data files of tests/fixtures/datafile (the fuzzer's seeds and whatever
// it found) through the start-up load, a save and a read-back.
#include <gtest/gtest.h>

#include <filesystem>

#include "../fuzz/datafile_roundtrip.h"
#include "support.h"

namespace pet {
namespace {

TEST(DataFileFixtures, LoadSaveAndReadBack) {
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(DESKPET_FIXTURES "/datafile")) {
    if (e.path().extension() != ".mrdt") continue;
    SCOPED_TRACE(e.path().filename().string());
    test::TempDir work;
    EXPECT_EQ(fuzz::dataFileRoundTrip(fuzz::readBytes(e.path()), work.path()), "");
    ++files;
  }
  EXPECT_GE(files, 4) << "the seeds are there";
}

}  // namespace
}  // namespace pet
