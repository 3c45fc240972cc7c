#pragma once
// The program's folder, its cache folder, and whole-file writes. Paths are the file system's own
// bytes (a name need not be valid text in any code page), never GBK texts.
#include <filesystem>

#include "texts/text.h"

namespace qv {

// The executable's folder, without a trailing separator.
[[nodiscard]] std::filesystem::path ProgramFolder();
// Tests keep the settings file out of the build tree: a non-empty folder stands in for the
// executable's folder; an empty one gives it back.
void SetProgramFolder(const std::filesystem::path& folder);
// The program's per-user cache folder, $XDG_CACHE_HOME/quorvin or ~/.cache/quorvin, made with
// mode 0700 when it is missing.
[[nodiscard]] std::filesystem::path CacheFolder();
// Creates the file or replaces its whole content atomically (see files/file_write.h: an existing
// file keeps its mode). False when it could not.
bool WriteBytesToFile(const std::filesystem::path& path, const Bytes& bytes);
// Whether the path names a regular file holding exactly these bytes (read without waiting: a
// pipe or a device there is not such a file).
[[nodiscard]] bool FileHoldsBytes(const std::filesystem::path& path, const Bytes& bytes);
}  // namespace qv
