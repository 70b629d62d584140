#pragma once
// Starting at login on Windows: a value named "deskpet" under
// HKCU\Software\Microsoft\Windows\CurrentVersion\Run.
#include <string>

namespace pet::win32 {

class Autostart {
 public:
  // `commandLine`: the program's full path, quoted, and the arguments a
  // start at login should give it.
  explicit Autostart(std::wstring commandLine) : commandLine_(std::move(commandLine)) {}
  // On when the value is there and starts these pets: the same arguments
  // (the data folder), with a program that still exists. A value left
  // behind by a program since moved or removed, or one that starts another
  // folder's pets, is off.
  bool enabled() const;
  // Writes (for this program) or removes the value; false if that failed.
  bool setEnabled(bool on) const;
  // The program a command line starts: its first argument, unquoted.
  static std::wstring programOf(const std::wstring& commandLine);
  // Whether two command lines give the same arguments after the program.
  static bool sameArguments(const std::wstring& a, const std::wstring& b);

 private:
  std::wstring commandLine_;
};

}  // namespace pet::win32
