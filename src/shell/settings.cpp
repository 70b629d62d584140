#include "shell/settings.h"

namespace pet {

namespace {
std::string_view trim(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}
}  // namespace

Settings parseSettings(std::string_view text) {
  Settings out;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string_view key = trim(line.substr(0, eq)), value = trim(line.substr(eq + 1));
    // Anything but a clear yes or no keeps the default.
    if (key == "every-monitor") {
      if (value == "1" || value == "true") out.everyMonitor = true;
      if (value == "0" || value == "false") out.everyMonitor = false;
    }
  }
  return out;
}

std::string settingsText(const Settings& settings) {
  return std::string("# deskpet settings\nevery-monitor=") + (settings.everyMonitor ? "1" : "0") +
         "\n";
}

}  // namespace pet
