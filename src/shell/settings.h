#pragma once
// The program's own choices that are not pets, kept in a small text file of
// their own beside the data file (whose layout never changes). Read
// leniently: a damaged or unreadable file is the defaults, never a reason to
// stop.
#include <cstddef>
#include <string>
#include <string_view>

namespace pet {

inline constexpr const char* kSettingsFile = "deskpet-settings.ini";
// More than this is not a settings file of ours: the defaults.
inline constexpr size_t kSettingsLimit = 64u << 10;

struct Settings {
  bool everyMonitor = false;  // pets play on all monitors, not only the primary
  bool operator==(const Settings&) const = default;
};

Settings parseSettings(std::string_view text);
std::string settingsText(const Settings& settings);

}  // namespace pet
