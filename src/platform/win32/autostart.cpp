#include "platform/win32/autostart.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <vector>

namespace pet::win32 {

namespace {
constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const wchar_t* kValue = L"deskpet";
}  // namespace

std::wstring Autostart::programOf(const std::wstring& commandLine) {
  size_t i = commandLine.find_first_not_of(L" \t");
  if (i == std::wstring::npos) return {};
  if (commandLine[i] == L'"') {
    const size_t end = commandLine.find(L'"', i + 1);
    return commandLine.substr(i + 1, end == std::wstring::npos ? std::wstring::npos : end - i - 1);
  }
  const size_t end = commandLine.find_first_of(L" \t", i);
  return commandLine.substr(i, end == std::wstring::npos ? std::wstring::npos : end - i);
}

bool Autostart::enabled() const {
  DWORD bytes = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, kRunKey, kValue, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) !=
      ERROR_SUCCESS)
    return false;
  std::vector<wchar_t> buf(bytes / sizeof(wchar_t) + 1);
  bytes = DWORD(buf.size() * sizeof(wchar_t));
  if (RegGetValueW(HKEY_CURRENT_USER, kRunKey, kValue, RRF_RT_REG_SZ, nullptr, buf.data(),
                   &bytes) != ERROR_SUCCESS)
    return false;
  // These pets: the same arguments (the data folder) after the program.
  if (!sameArguments(buf.data(), commandLine_)) return false;
  const std::wstring program = programOf(buf.data());
  const DWORD attributes = GetFileAttributesW(program.c_str());
  return !program.empty() && attributes != INVALID_FILE_ATTRIBUTES &&
         !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Autostart::sameArguments(const std::wstring& a, const std::wstring& b) {
  auto split = [](const std::wstring& line) {
    std::vector<std::wstring> args;
    int n = 0;
    if (LPWSTR* argv = CommandLineToArgvW(line.c_str(), &n)) {
      for (int i = 1; i < n; ++i) args.emplace_back(argv[i]);
      LocalFree(argv);
    }
    return args;
  };
  const std::vector<std::wstring> x = split(a), y = split(b);
  if (x.size() != y.size()) return false;
  // Paths, compared as Windows compares them: letter case aside.
  for (size_t i = 0; i < x.size(); ++i)
    if (CompareStringOrdinal(x[i].c_str(), int(x[i].size()), y[i].c_str(), int(y[i].size()),
                             TRUE) != CSTR_EQUAL)
      return false;
  return true;
}

bool Autostart::setEnabled(bool on) const {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  LSTATUS status;
  if (on) {
    status =
        RegSetValueExW(key, kValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(commandLine_.c_str()),
                       DWORD((commandLine_.size() + 1) * sizeof(wchar_t)));
  } else {
    status = RegDeleteValueW(key, kValue);
    if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
  }
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

}  // namespace pet::win32
