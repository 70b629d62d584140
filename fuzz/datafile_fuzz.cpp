// libFuzzer target: any bytes as "zpdata.mrdt", through the start-up load, a
// save and a read-back (scripts/fuzz.sh builds and runs it).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "datafile_roundtrip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // In memory where there is such a folder: every save is flushed to disk.
  static const std::filesystem::path work =
      (std::filesystem::is_directory("/dev/shm") ? std::filesystem::path("/dev/shm")
                                                 : std::filesystem::temp_directory_path()) /
      ("deskpet-fuzz-" + std::to_string(::getpid()));
  static const struct Cleanup {
    ~Cleanup() { std::filesystem::remove_all(work); }
  } cleanup;
  const std::string problem =
      pet::fuzz::dataFileRoundTrip(std::string(reinterpret_cast<const char*>(data), size), work);
  if (!problem.empty()) {
    std::fprintf(stderr, "round trip failed: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
