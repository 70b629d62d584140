#include "platform/win32/files.h"

#include <windows.h>

#include <algorithm>

#include "platform/win32/text.h"

namespace pet::win32 {

std::vector<std::string> listFiles() {
  std::vector<std::string> names;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(L"*", &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  constexpr DWORD kSkip = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                          FILE_ATTRIBUTE_DEVICE;
  do {
    if (fd.dwFileAttributes & kSkip) continue;
    names.push_back(narrow(fd.cFileName));
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  std::sort(names.begin(), names.end());
  return names;
}

std::optional<std::string> readFile(const std::string& name) {
  HANDLE h = CreateFileW(widen(name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string out;
  char buf[65536];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(h, buf, sizeof buf, &n, nullptr)) {
      CloseHandle(h);
      return std::nullopt;
    }
    if (n == 0) break;
    out.append(buf, n);
  }
  CloseHandle(h);
  return out;
}

namespace {

// The file `name` stands for: a symbolic link, or a folder junction on the
// way, followed to the file itself; `name` as it is when nothing is linked
// or the file does not exist yet.
std::wstring followLinks(const std::wstring& name) {
  HANDLE h = CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return name;
  std::wstring path(32768, L'\0');
  const DWORD n = GetFinalPathNameByHandleW(h, path.data(), DWORD(path.size()),
                                            FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  CloseHandle(h);
  if (n == 0 || n >= path.size()) return name;
  path.resize(n);
  return path;
}

}  // namespace

bool writeFileAtomic(const std::string& name, std::string_view bytes) {
  // Through a link (into a synced folder, say) the file it points to is
  // replaced, beside itself, and the link stays.
  const std::wstring target = followLinks(widen(name));
  const std::wstring tmp = target + L".tmp";
  HANDLE h = CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  while (ok && !bytes.empty()) {
    DWORD n = 0;
    const DWORD want = DWORD(std::min<size_t>(bytes.size(), 1u << 20));
    ok = WriteFile(h, bytes.data(), want, &n, nullptr) && n > 0;
    if (ok) bytes.remove_prefix(n);
  }
  ok = ok && FlushFileBuffers(h);
  ok = CloseHandle(h) && ok;
  if (ok)
    ok = MoveFileExW(tmp.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!ok) DeleteFileW(tmp.c_str());
  return ok;
}

}  // namespace pet::win32
