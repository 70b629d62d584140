#include "platform/win32/files.h"

#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>

#include <algorithm>
#include <cstdint>

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

std::optional<std::string> readFile(const std::string& name, size_t limit) {
  HANDLE h = CreateFileW(widen(name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  LARGE_INTEGER size{};
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &size) ||
      uint64_t(size.QuadPart) > limit) {
    CloseHandle(h);
    return std::nullopt;
  }
  std::string out;
  char buf[65536];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(h, buf, sizeof buf, &n, nullptr) || out.size() + n > limit) {
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

namespace {

// `target` (links already followed) replaced by `bytes`; the new file has the
// access list of `aclFrom` when given.
bool replaceFile(const std::wstring& target, std::string_view bytes, const std::wstring* aclFrom) {
  const std::wstring tmp = target + L".tmp";
  HANDLE h = CreateFileW(tmp.c_str(), GENERIC_WRITE | WRITE_DAC, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  if (aclFrom) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    ok = GetNamedSecurityInfoW(aclFrom->c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                               nullptr, &dacl, nullptr, &sd) == ERROR_SUCCESS;
    if (ok) {
      SECURITY_DESCRIPTOR_CONTROL control = 0;
      DWORD revision = 0;
      GetSecurityDescriptorControl(sd, &control, &revision);
      // Protected stays protected; otherwise the folder's entries come in
      // again by inheritance, as they did for the original.
      const SECURITY_INFORMATION what =
          DACL_SECURITY_INFORMATION |
          ((control & SE_DACL_PROTECTED) ? PROTECTED_DACL_SECURITY_INFORMATION
                                         : UNPROTECTED_DACL_SECURITY_INFORMATION);
      ok = SetSecurityInfo(h, SE_FILE_OBJECT, what, nullptr, nullptr, dacl, nullptr) ==
           ERROR_SUCCESS;
      LocalFree(sd);
    }
  }
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

}  // namespace

bool writeFileAtomic(const std::string& name, std::string_view bytes) {
  // Through a link (into a synced folder, say) the file it points to is
  // replaced, beside itself, and the link stays.
  return replaceFile(followLinks(widen(name)), bytes, nullptr);
}

bool writeCopy(const std::string& original, const std::string& copyName, std::string_view bytes) {
  const std::wstring from = followLinks(widen(original));
  return replaceFile(widen(copyName), bytes, &from);
}

DataFolder::~DataFolder() {
  if (lock_) CloseHandle(lock_);
}

std::wstring DataFolder::enter() {
  for (size_t i = path_.find_first_of(L"\\/", 3); i != std::wstring::npos;
       i = path_.find_first_of(L"\\/", i + 1))
    CreateDirectoryW(path_.substr(0, i).c_str(), nullptr);
  CreateDirectoryW(path_.c_str(), nullptr);
  if (SetCurrentDirectoryW(path_.c_str())) return {};
  wchar_t text[512] = L"";
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 GetLastError(), 0, text, 512, nullptr);
  std::wstring reason = text;
  while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r' ||
                             reason.back() == L'.' || reason.back() == L'。'))
    reason.pop_back();
  return reason.empty() ? L"?" : reason;
}

namespace {
// Where the tag sits in the lock file, and its room: clear of the locked first
// byte, which no other process can read while it is held.
constexpr DWORD kTagAt = 16, kTagRoom = 64;

void writeTag(HANDLE file, const std::string& tag) {
  std::string record = tag.substr(0, kTagRoom - 1) + "\n";
  record.resize(kTagRoom, ' ');
  OVERLAPPED at{};
  at.Offset = kTagAt;
  DWORD written = 0;
  WriteFile(file, record.data(), DWORD(record.size()), &written, &at);
}
}  // namespace

void DataFolder::setTag(const std::string& tag) {
  tag_ = tag;
  if (lock_) writeTag(lock_, tag_);
}

std::string DataFolder::readTag() {
  HANDLE h = CreateFileW(L".deskpet.lock", GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  char record[kTagRoom] = {};
  OVERLAPPED at{};
  at.Offset = kTagAt;
  DWORD read = 0;
  if (!ReadFile(h, record, kTagRoom, &read, &at)) read = 0;
  CloseHandle(h);
  const std::string text(record, read);
  return text.substr(0, text.find('\n'));
}

bool DataFolder::lock() {
  HANDLE h = CreateFileW(L".deskpet.lock", GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return true;
  OVERLAPPED at{};
  if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
    CloseHandle(h);
    return false;
  }
  if (lock_) CloseHandle(lock_);
  lock_ = h;
  if (!tag_.empty()) writeTag(lock_, tag_);
  return true;
}

DataFolder::Check DataFolder::keep(std::wstring* error) {
  if (!lost_.empty()) {
    *error = lost_;
    return Check::Failed;
  }
  const DWORD a = GetFileAttributesW(path_.c_str());
  // Entered again each time: a folder made again elsewhere is a new one.
  if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) &&
      SetCurrentDirectoryW(path_.c_str()))
    return Check::Same;
  *error = enter();
  if (!error->empty()) return Check::Failed;
  if (!lock()) {
    // Its pets are now another instance's to write, for good.
    lost_ = *error = L"another deskpet runs there now";
    return Check::Failed;
  }
  return Check::Remade;
}

}  // namespace pet::win32
