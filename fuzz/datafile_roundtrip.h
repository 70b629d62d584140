#pragma once
// The data file's round trip, shared by the fuzzer and the ordinary tests:
// a file is loaded at start-up exactly as the program does it (on the
// headless platform), saved, and the saved file must read back as it was
// written, with nothing left to repair.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "model/datafile.h"
#include "platform/headless/headless_platform.h"
#include "shell/form2.h"

namespace pet::fuzz {

inline void writeBytes(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}
inline std::string readBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Starts the program in `dir` (holding only `bytes` as "zpdata.mrdt") up to
// the end of the load behind the splash.
struct StartedProgram {
  HeadlessPlatform platform;
  Form2 form{platform};
  explicit StartedProgram(const std::filesystem::path& dir, const std::string& bytes)
      : platform(dir.string()) {
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    writeBytes(dir / kDataFileName, bytes);
    platform.setClock(HeadlessPlatform::localMs(2026, 12, 10, 9, 30, 0));
    platform.setScreenPixels(320, 240);  // the load does not depend on it; a small overlay is quick
    form.Form_Load();
    for (int i = 0; i < 3 && form.state().runState != 9; ++i) {
      platform.advance(16);
      form.Fpss_Timer();
      form.Timer1_Timer();
    }
  }
};

// Empty when the round trip holds; otherwise what went wrong.
inline std::string dataFileRoundTrip(const std::string& bytes, const std::filesystem::path& work) {
  std::string saved;
  {
    StartedProgram first(work / "first", bytes);
    if (first.form.state().runState != 9) return "the start-up did not load the file";
    // A file that could not be kept aside is never overwritten.
    if (first.form.dataStore().savesBlocked()) return {};
    if (!first.form.dataStore().saveData(first.form.state())) return "the save failed";
    saved = readBytes(work / "first" / kDataFileName);
    if (saved != formatData(first.form.state())) return "the saved file is not what memory holds";
  }
  StartedProgram second(work / "second", saved);
  if (second.form.state().runState != 9) return "the saved file did not load";
  if (!second.platform.problems().empty())
    return "the saved file needed repairs: " + second.platform.problems().front();
  if (formatData(second.form.state()) != saved) return "the saved file read back differently";
  return {};
}

}  // namespace pet::fuzz
