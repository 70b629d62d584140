#pragma once
// File services of the Linux platforms, on a working directory.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pet::posix {

// Ordinary files of `dir` (no folders, no names starting with a dot), sorted by name.
std::vector<std::string> listFiles(const std::string& dir);
std::optional<std::string> readFile(const std::string& dir, const std::string& name);
// Writes "<name>.tmp", flushes it to disk, renames it over `name` and flushes
// the folder, so that a crash leaves either the old or the new file. When
// `name` is a symbolic link, the file it points to is replaced that way (the
// temporary file beside it) and the link stays; the permissions stay too.
bool writeFileAtomic(const std::string& dir, const std::string& name, std::string_view bytes);

}  // namespace pet::posix
