#pragma once
// The settings file: an INI file, read and written one value at a time (the format and its
// encodings: platform/ini_format.h). Every call opens the file afresh; nothing is cached or held
// open. A path is the file system's own bytes and is used as it stands: a '\' is an ordinary
// character of a name, and a folder name need not be valid text in any code page.
#include "texts/text.h"

namespace qv {

// The stored value, or `fallback` when the file, the section or the key is missing (or the file
// cannot be read). Never changes the file.
[[nodiscard]] Text ReadIniValue(const Text& path, const Text& section, const Text& key,
                                const Text& fallback);
// Creates or replaces one value, keeping every other byte of the file as it was. The file is
// replaced atomically, keeping its mode; temporary files that killed writes left beside it are
// removed. Returns false when it could not be written, or when the file lacks its owner's write
// permission (read-only on purpose); the old file is then intact.
bool WriteIniValue(const Text& path, const Text& section, const Text& key, const Text& value);

}  // namespace qv
