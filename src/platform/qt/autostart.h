#pragma once
// Starting at login on a freedesktop desktop: an autostart entry,
// $XDG_CONFIG_HOME/autostart/deskpet.desktop (~/.config by default).
#include <optional>
#include <string>
#include <vector>

namespace pet::qt {

class Autostart {
 public:
  // `command`: the program's full path and the arguments a start at login
  // should give it.
  explicit Autostart(std::vector<std::string> command);
  // On when the entry is there, not hidden, and starts these pets: the same
  // arguments (the data folder), with a program that still exists. An entry
  // left behind by a program since moved or removed, or one that starts
  // another folder's pets, is off.
  bool enabled() const;
  // Whether an entry can start this command at all (see execLine).
  bool writable() const { return execLine(command_).has_value(); }
  // Writes (for this program) or removes the entry; false if that failed.
  bool setEnabled(bool on) const;
  const std::string& path() const { return path_; }

  // An Exec= value that runs `command`, quoted by the desktop entry rules;
  // nothing when an argument cannot be written there (a line break or
  // another control character, or text that is not UTF-8).
  static std::optional<std::string> execLine(const std::vector<std::string>& command);
  // The command an Exec= value runs, its quoting and escaping undone;
  // nothing when the value is not quoted by those rules.
  static std::optional<std::vector<std::string>> commandOf(const std::string& exec);

 private:
  std::vector<std::string> command_;
  std::string path_;
};

}  // namespace pet::qt
