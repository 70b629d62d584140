#include "platform/qt/autostart.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/posix/files.h"

namespace pet::qt {

namespace {

std::string configHome() {
  // Only an absolute XDG_CONFIG_HOME counts; a relative one is to be ignored.
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && x[0] == '/') return x;
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/.config";
}

// The value of `key` in the [Desktop Entry] group, or empty.
std::string entryValue(const std::string& text, const std::string& key) {
  std::istringstream in(text);
  std::string line;
  bool inEntry = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '[') inEntry = line == "[Desktop Entry]";
    if (inEntry && line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
  }
  return {};
}

}  // namespace

Autostart::Autostart(std::vector<std::string> command)
    : command_(std::move(command)), path_(configHome() + "/autostart/deskpet.desktop") {}

std::string Autostart::execLine(const std::vector<std::string>& command) {
  std::string out;
  for (const std::string& arg : command) {
    if (!out.empty()) out += ' ';
    out += '"';
    for (char c : arg) {
      // Inside quotes ", `, $ and \ take a backslash; then the value's own
      // escaping doubles every backslash, and % stands for a field code.
      if (c == '"' || c == '`' || c == '$') out += "\\\\";
      if (c == '\\') out += "\\\\\\";
      if (c == '%') out += '%';
      out += c;
    }
    out += '"';
  }
  return out;
}

std::string Autostart::programOf(const std::string& exec) {
  // Undo the value's escaping first (\\ is one backslash), then the quoting.
  std::string value;
  for (size_t i = 0; i < exec.size(); ++i) {
    if (exec[i] == '\\' && i + 1 < exec.size() && exec[i + 1] == '\\') ++i;
    value += exec[i];
  }
  std::string program;
  size_t i = 0;
  while (i < value.size() && value[i] == ' ') ++i;
  if (i < value.size() && value[i] == '"') {
    for (++i; i < value.size() && value[i] != '"'; ++i) {
      if (value[i] == '\\' && i + 1 < value.size()) ++i;
      program += value[i];
    }
  } else {
    while (i < value.size() && value[i] != ' ') program += value[i++];
  }
  return program;
}

bool Autostart::enabled() const {
  std::ifstream in(path_, std::ios::binary);
  if (!in) return false;
  std::stringstream ss;
  ss << in.rdbuf();
  const std::string text = ss.str();
  if (entryValue(text, "Hidden") == "true") return false;
  if (entryValue(text, "X-GNOME-Autostart-enabled") == "false") return false;
  const std::string program = programOf(entryValue(text, "Exec"));
  struct stat st {};
  return !program.empty() && ::stat(program.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         ::access(program.c_str(), X_OK) == 0;
}

bool Autostart::setEnabled(bool on) const {
  const std::string dir = path_.substr(0, path_.rfind('/'));
  const std::string name = path_.substr(dir.size() + 1);
  if (!on) return ::unlink(path_.c_str()) == 0 || errno == ENOENT;
  // Both folders may be missing on a new account.
  for (const std::string& d : {dir.substr(0, dir.rfind('/')), dir})
    if (::mkdir(d.c_str(), 0700) != 0 && errno != EEXIST) return false;
  const std::string entry =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=もこぽん\n"
      "Comment=デスクトップでペットを育てる\n"
      "Exec=" +
      execLine(command_) +
      "\n"
      "Icon=deskpet\n"
      "Terminal=false\n"
      "X-GNOME-Autostart-enabled=true\n";
  return posix::writeFileAtomic(dir, name, entry);
}

}  // namespace pet::qt
