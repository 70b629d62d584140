#include "platform/qt/autostart.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

namespace {
// Whether `s` is UTF-8 without control characters.
bool writableText(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x20 || c == 0x7F) return false;
    const size_t len = c < 0x80             ? 1
                       : (c & 0xE0) == 0xC0 ? 2
                       : (c & 0xF0) == 0xE0 ? 3
                       : (c & 0xF8) == 0xF0 ? 4
                                            : 0;
    if (len == 0 || (len == 2 && c < 0xC2) || i + len > s.size()) return false;
    for (size_t k = 1; k < len; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += len;
  }
  return true;
}
}  // namespace

std::optional<std::string> Autostart::execLine(const std::vector<std::string>& command) {
  std::string out;
  for (const std::string& arg : command) {
    // A line break would end the value; other control characters have no
    // place in a desktop entry either.
    if (!writableText(arg)) return std::nullopt;
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

std::optional<std::vector<std::string>> Autostart::commandOf(const std::string& exec) {
  // Undo the value's escaping first (\\ is one backslash, \s a space), then
  // the quoting.
  std::string value;
  for (size_t i = 0; i < exec.size(); ++i) {
    if (exec[i] == '\\' && i + 1 < exec.size()) {
      const char e = exec[++i];
      value += e == 's' ? ' ' : e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e;
      if (e != '\\' && e != 's' && e != 'n' && e != 't' && e != 'r') return std::nullopt;
      continue;
    }
    value += exec[i];
  }
  std::vector<std::string> command;
  for (size_t i = 0; i < value.size();) {
    if (value[i] == ' ') {
      ++i;
      continue;
    }
    std::string arg;
    if (value[i] == '"') {
      for (++i;; ++i) {
        if (i >= value.size()) return std::nullopt;  // no closing quote
        if (value[i] == '"') break;
        if (value[i] == '\\' && i + 1 < value.size()) ++i;
        arg += value[i];
      }
      ++i;
    } else {
      while (i < value.size() && value[i] != ' ') arg += value[i++];
    }
    // %% is a plain %; other field codes stand for nothing here.
    std::string plain;
    for (size_t k = 0; k < arg.size(); ++k) {
      if (arg[k] == '%' && k + 1 < arg.size() && arg[k + 1] == '%') ++k;
      plain += arg[k];
    }
    command.push_back(plain);
  }
  return command;
}

bool Autostart::enabled() const {
  std::ifstream in(path_, std::ios::binary);
  if (!in) return false;
  std::stringstream ss;
  ss << in.rdbuf();
  const std::string text = ss.str();
  if (entryValue(text, "Hidden") == "true") return false;
  if (entryValue(text, "X-GNOME-Autostart-enabled") == "false") return false;
  const auto command = commandOf(entryValue(text, "Exec"));
  if (!command || command->empty() || command_.empty()) return false;
  // The same pets: the same arguments after the program.
  if (!std::equal(command->begin() + 1, command->end(), command_.begin() + 1, command_.end()))
    return false;
  const std::string& program = command->front();
  struct stat st {};
  return ::stat(program.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         ::access(program.c_str(), X_OK) == 0;
}

bool Autostart::setEnabled(bool on) const {
  const std::string dir = path_.substr(0, path_.rfind('/'));
  const std::string name = path_.substr(dir.size() + 1);
  if (!on) return ::unlink(path_.c_str()) == 0 || errno == ENOENT;
  const auto exec = execLine(command_);
  if (!exec) return false;
  // Both folders may be missing on a new account.
  for (const std::string& d : {dir.substr(0, dir.rfind('/')), dir})
    if (::mkdir(d.c_str(), 0700) != 0 && errno != EEXIST) return false;
  const std::string entry =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=もこぽん\n"
      "Comment=デスクトップでペットを育てる\n"
      "Exec=" +
      *exec +
      "\n"
      "Icon=deskpet\n"
      "Terminal=false\n"
      "X-GNOME-Autostart-enabled=true\n";
  return posix::writeFileAtomic(dir, name, entry);
}

}  // namespace pet::qt
