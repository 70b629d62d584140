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

bool writeFileAtomic(const std::string& name, std::string_view bytes) {
  const std::wstring target = widen(name);
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
