#include "platform/posix/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <optional>
#include <vector>

namespace pet::posix {

namespace {
std::string join(const std::string& dir, const std::string& name) {
  return dir.empty() ? name : dir + "/" + name;
}

std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The file `path` stands for: symbolic links followed to their end. A link
// that points nowhere yet names the file to create.
std::string followLinks(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
    std::vector<char> buf(PATH_MAX);
    const ssize_t n = ::readlink(path.c_str(), buf.data(), buf.size());
    if (n <= 0 || size_t(n) >= buf.size()) break;
    std::string target(buf.data(), size_t(n));
    if (target[0] != '/' && path.find('/') != std::string::npos)
      target = folderOf(path) + "/" + target;
    path = std::move(target);
  }
  return path;
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}
}  // namespace

std::vector<std::string> listFiles(const std::string& dir) {
  std::vector<std::string> names;
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return names;
  while (dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (name.empty() || name[0] == '.') continue;
    struct stat st {};
    if (::stat(join(dir, name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) names.push_back(name);
  }
  ::closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

std::optional<std::string> readFile(const std::string& dir, const std::string& name, size_t limit) {
  // Not blocking: a FIFO in the file's place must not stop the program.
  int fd = ::open(join(dir, name).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || uint64_t(st.st_size) > limit) {
    ::close(fd);
    return std::nullopt;
  }
  std::string out;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    out.append(buf, static_cast<size_t>(n));
    // It may grow while it is read.
    if (out.size() > limit) {
      ::close(fd);
      return std::nullopt;
    }
  }
  ::close(fd);
  return out;
}

namespace {
// `target` (links already followed) replaced by `bytes`, its permissions
// `mode` when given.
bool replaceFile(const std::string& target, std::string_view bytes, std::optional<mode_t> mode) {
  const std::string temp = target + ".tmp";
  // A stale temporary file keeps its own permissions through O_TRUNC: start anew.
  ::unlink(temp.c_str());
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode ? 0600 : 0644);
  if (fd < 0) return false;
  if (mode) (void)::fchmod(fd, *mode & 07777);
  bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  int dfd = ::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
}
}  // namespace

bool writeFileAtomic(const std::string& dir, const std::string& name, std::string_view bytes) {
  // Through a link (into a synced folder, say) the file it points to is
  // replaced, beside itself, and the link stays.
  const std::string target = followLinks(join(dir, name));
  // The new file keeps the old one's permissions (a private file stays private).
  struct stat old {};
  std::optional<mode_t> mode;
  if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) mode = old.st_mode;
  return replaceFile(target, bytes, mode);
}

bool writeCopy(const std::string& dir, const std::string& original, const std::string& copyName,
               std::string_view bytes) {
  struct stat st {};
  const mode_t mode = ::stat(join(dir, original).c_str(), &st) == 0 ? st.st_mode : 0600;
  return replaceFile(join(dir, copyName), bytes, mode);
}

}  // namespace pet::posix
