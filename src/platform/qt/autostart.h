#pragma once
// Starting at login on a freedesktop desktop: an autostart entry,
// $XDG_CONFIG_HOME/autostart/deskpet.desktop (~/.config by default).
#include <string>
#include <vector>

namespace pet::qt {

class Autostart {
 public:
  // `command`: the program's full path and the arguments a start at login
  // should give it.
  explicit Autostart(std::vector<std::string> command);
  // On when the entry is there, not hidden, and the program it starts still
  // exists: an entry left behind by a program since moved or removed is off.
  bool enabled() const;
  // Writes (for this program) or removes the entry; false if that failed.
  bool setEnabled(bool on) const;
  const std::string& path() const { return path_; }

  // An Exec= value that runs `command` (quoted as desktop entries want), and
  // the program that such a value runs.
  static std::string execLine(const std::vector<std::string>& command);
  static std::string programOf(const std::string& exec);

 private:
  std::vector<std::string> command_;
  std::string path_;
};

}  // namespace pet::qt
