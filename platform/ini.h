#pragma once
// The settings file: an INI file, GB18030 (a superset of GBK) on disk, read and written one value
// at a time. Every call opens the file afresh; nothing is cached or held open.
#include "platform/text.h"

namespace qv {

// The stored value, or `fallback` when the file, the section or the key is missing (or the file
// cannot be read). Never changes the file.
[[nodiscard]] Text ReadIniValue(const Text& path, const Text& section, const Text& key,
                                const Text& fallback);
// Creates or replaces one value, keeping every other line of the file as it was. The file is
// replaced atomically. Returns false when it could not be written; the old file is then intact.
bool WriteIniValue(const Text& path, const Text& section, const Text& key, const Text& value);

}  // namespace qv
