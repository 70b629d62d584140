#pragma once
// The working directory's files, with UTF-16 paths.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pet::win32 {

// Ordinary files only: no folders, no hidden or system files; sorted.
std::vector<std::string> listFiles();
std::optional<std::string> readFile(const std::string& name);
// "<name>.tmp" written and flushed to disk, then moved over `name`; through
// a symbolic link or junction, beside the file it leads to and over that file.
bool writeFileAtomic(const std::string& name, std::string_view bytes);

}  // namespace pet::win32
