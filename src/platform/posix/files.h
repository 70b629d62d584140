#pragma once
// File services of the Linux platforms, on a working directory.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pet::posix {

// Ordinary files of `dir` (no folders, no names starting with a dot), sorted by name.
std::vector<std::string> listFiles(const std::string& dir);
// Everything the program reads is small: a data file is about 10 KB.
inline constexpr size_t kReadLimit = 16u << 20;
// The whole of a regular file of at most `limit` bytes; nothing for anything
// else (a folder, a device, a FIFO, a larger file), which is never waited on.
std::optional<std::string> readFile(const std::string& dir, const std::string& name,
                                    size_t limit = kReadLimit);
// Writes "<name>.tmp", flushes it to disk, renames it over `name` and flushes
// the folder, so that a crash leaves either the old or the new file. When
// `name` is a symbolic link, the file it points to is replaced that way (the
// temporary file beside it) and the link stays; the permissions stay too.
bool writeFileAtomic(const std::string& dir, const std::string& name, std::string_view bytes);
// Writes `bytes` as the new file `copyName`, open to no more users than
// `original` is (its permission bits; owner only when it cannot be looked at).
bool writeCopy(const std::string& dir, const std::string& original, const std::string& copyName,
               std::string_view bytes);

}  // namespace pet::posix
