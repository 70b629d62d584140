#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/posix/files.h"
#include "shell/settings.h"
#include "support.h"

namespace pet {
namespace {

// Only a regular file of a bounded size is read; anything else in its place
// (a device, a FIFO nobody writes to, a folder, a huge file) reads as nothing
// at once, which the settings take as the defaults.
TEST(PosixFiles, ReadsOnlyASmallRegularFile) {
  namespace fs = std::filesystem;
  test::TempDir dir;
  dir.write("small", "every-monitor=1\n");
  dir.write("large", std::string(kSettingsLimit + 1, '#'));
  fs::create_symlink("small", dir.file("link-to-small"));
  fs::create_symlink("/dev/zero", dir.file("zero"));
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
  fs::create_directory(dir.file("folder"));
  struct Case {
    const char* name;
    bool read;
  };
  for (const Case& c :
       {Case{"small", true}, Case{"link-to-small", true}, Case{"large", false}, Case{"zero", false},
        Case{"fifo", false}, Case{"folder", false}, Case{"absent", false}}) {
    SCOPED_TRACE(c.name);
    const auto bytes = posix::readFile(dir.path(), c.name, kSettingsLimit);
    EXPECT_EQ(bytes.has_value(), c.read);
    if (c.read) EXPECT_EQ(*bytes, "every-monitor=1\n");
  }
  EXPECT_TRUE(posix::readFile(dir.path(), "large").has_value()) << "within the general limit";
}

}  // namespace
}  // namespace pet
