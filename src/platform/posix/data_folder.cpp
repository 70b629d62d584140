#include "platform/posix/data_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace pet::posix {

namespace {
constexpr const char* kLockName = ".deskpet.lock";
}

DataFolder::~DataFolder() {
  if (lockFd_ >= 0) ::close(lockFd_);
}

std::optional<std::string> DataFolder::enter() {
  std::error_code ec;
  std::filesystem::create_directories(path_, ec);
  if (ec) return ec.message();
  if (::chdir(path_.c_str()) != 0) return std::string(std::strerror(errno));
  return std::nullopt;
}

bool DataFolder::lock() {
  const int fd = ::open(kLockName, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    std::fprintf(stderr, "deskpet: cannot create %s (%s); going on without the lock\n", kLockName,
                 std::strerror(errno));
    return true;
  }
  struct flock l {};
  l.l_type = F_WRLCK;
  l.l_whence = SEEK_SET;
  l.l_start = 0;
  l.l_len = 1;
  if (::fcntl(fd, F_OFD_SETLK, &l) != 0) {
    ::close(fd);
    return false;
  }
  if (lockFd_ >= 0) ::close(lockFd_);
  lockFd_ = fd;
  return true;
}

DataFolder::Check DataFolder::keep(std::string* error) {
  if (!lost_.empty()) {
    *error = lost_;
    return Check::Failed;
  }
  struct stat here {
  }, there{};
  if (::stat(".", &here) == 0 && ::stat(path_.c_str(), &there) == 0 &&
      here.st_dev == there.st_dev && here.st_ino == there.st_ino)
    return Check::Same;
  if (auto e = enter()) {
    *error = *e;
    return Check::Failed;
  }
  if (!lock()) {
    // Its pets are now another instance's to write, for good.
    lost_ = *error = "another deskpet runs there now";
    return Check::Failed;
  }
  return Check::Remade;
}

}  // namespace pet::posix
