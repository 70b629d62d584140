// The start-at-login entry: quoted by the desktop entry rules, read back to
// the same command, refused where a path cannot be written, and on only for
// the pets it starts.
#include "platform/qt/autostart.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

namespace pet::qt {
namespace {

TEST(Autostart, ExecLinesReadBackToTheSameCommand) {
  struct Case {
    const char* folder;
    bool writable;
  };
  for (const Case& c :
       {Case{"/home/a/pets", true}, Case{"/home/a/my pets", true},
        Case{"/home/a/\"q\" 'p' %u 100%", true}, Case{"/home/a/$HOME `x` \\back\\", true},
        Case{"/home/a/ペット", true}, Case{"/home/a/two\nlines", false},
        Case{"/home/a/tab\there", false}, Case{"/home/a/bad\xff", false}}) {
    SCOPED_TRACE(c.folder);
    const std::vector<std::string> command{"/usr/bin/deskpet", "--data-dir", c.folder};
    const auto exec = Autostart::execLine(command);
    ASSERT_EQ(exec.has_value(), c.writable);
    if (!exec) continue;
    EXPECT_EQ(exec->find('\n'), std::string::npos);
    EXPECT_EQ(Autostart::commandOf(*exec), command) << *exec;
  }
}

TEST(Autostart, OnOnlyForThePetsItStarts) {
  namespace fs = std::filesystem;
  char tmpl[] = "/tmp/deskpet-autostart-XXXXXX";
  const std::string home = ::mkdtemp(tmpl);
  ::setenv("XDG_CONFIG_HOME", home.c_str(), 1);
  const std::string program = home + "/deskpet";
  std::ofstream(program) << "#!/bin/sh\n";
  fs::permissions(program, fs::perms::owner_all);
  const Autostart defaultPets({program});
  const Autostart otherPets({program, "--data-dir", home + "/other pets"});
  const Autostart unwritable({program, "--data-dir", home + "/a\nb"});
  EXPECT_FALSE(defaultPets.enabled());
  ASSERT_TRUE(defaultPets.setEnabled(true));
  EXPECT_TRUE(defaultPets.enabled());
  EXPECT_FALSE(otherPets.enabled()) << "the entry starts the default folder's pets";
  ASSERT_TRUE(otherPets.setEnabled(true));
  EXPECT_TRUE(otherPets.enabled());
  EXPECT_FALSE(defaultPets.enabled());
  EXPECT_FALSE(unwritable.writable());
  EXPECT_FALSE(unwritable.setEnabled(true));
  EXPECT_TRUE(otherPets.enabled()) << "a refused entry leaves the one there";
  EXPECT_FALSE(unwritable.enabled());
  fs::remove_all(home);
}

}  // namespace
}  // namespace pet::qt
