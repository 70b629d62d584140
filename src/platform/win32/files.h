#pragma once
// The working directory's files, with UTF-16 paths.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pet::win32 {

// Ordinary files only: no folders, no hidden or system files; sorted.
std::vector<std::string> listFiles();
// Everything the program reads is small: a data file is about 10 KB.
inline constexpr size_t kReadLimit = 16u << 20;
// The whole of an ordinary disk file of at most `limit` bytes; nothing for
// anything else (a folder, a device, a pipe, a larger file).
std::optional<std::string> readFile(const std::string& name, size_t limit = kReadLimit);
// "<name>.tmp" written and flushed to disk, then moved over `name`; through
// a symbolic link or junction, beside the file it leads to and over that file.
bool writeFileAtomic(const std::string& name, std::string_view bytes);
// Writes `bytes` as the new file `copyName` with the access list of
// `original` (the copy of a private file stays private).
bool writeCopy(const std::string& original, const std::string& copyName, std::string_view bytes);

// The folder the pets live in, entered as the working directory, with the
// lock that keeps one instance to it.
class DataFolder {
 public:
  explicit DataFolder(std::wstring path) : path_(std::move(path)) {}
  DataFolder(const DataFolder&) = delete;
  DataFolder& operator=(const DataFolder&) = delete;
  ~DataFolder();

  const std::wstring& path() const { return path_; }
  // Makes the folder (and its parents) and enters it. What went wrong, or
  // an empty text.
  std::wstring enter();
  // Locks the first byte of ".deskpet.lock" in the working directory for
  // the whole run (LockFileEx; the system lets go when the process ends).
  // Whatever path leads to the folder, and the Linux program on the same
  // folder, meet this one lock. False when another instance holds it; true
  // when the lock file cannot be made.
  bool lock();
  // Leaves `tag` in the lock file, past the locked byte, for another start of
  // the program to find this one by (written again with a new lock).
  void setTag(const std::string& tag);
  // The tag the program holding the working directory's lock left there.
  static std::string readTag();

  enum class Check { Same, Remade, Failed };
  // Enters the folder again; if it was deleted while the program ran, makes
  // it again and locks it (Remade), or could not (Failed, `error` set).
  Check keep(std::wstring* error);

 private:
  std::wstring path_;
  void* lock_ = nullptr;  // the lock file's handle
  std::string tag_;
  std::wstring lost_;  // why the folder is another instance's now
};

}  // namespace pet::win32
