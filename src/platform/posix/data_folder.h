#pragma once
// The folder the pets live in, entered as the working directory, with the
// lock that keeps one instance to it.
#include <optional>
#include <string>

namespace pet::posix {

class DataFolder {
 public:
  explicit DataFolder(std::string path) : path_(std::move(path)) {}
  DataFolder(const DataFolder&) = delete;
  DataFolder& operator=(const DataFolder&) = delete;
  ~DataFolder();

  const std::string& path() const { return path_; }
  // Makes the folder (and its parents) and enters it. What went wrong, or nothing.
  std::optional<std::string> enter();
  // Locks ".deskpet.lock" in the working directory for as long as the
  // program runs: an open file description lock on its first byte, which
  // the Windows program under Wine sees too (its LockFileEx on that byte
  // becomes a POSIX lock on the same file). False when another instance
  // holds it; true, with a note on standard error, when the lock file
  // cannot be made.
  bool lock();

  enum class Check { Same, Remade, Failed };
  // Whether the working directory is still the folder. If the folder was
  // deleted or moved away while the program ran, it is made again, entered
  // and locked (Remade), or could not be (Failed, with `error` set).
  Check keep(std::string* error);

 private:
  std::string path_;
  int lockFd_ = -1;
  std::string lost_;  // why the folder is another instance's now
};

}  // namespace pet::posix
