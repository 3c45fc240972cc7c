#pragma once
// The settings file: an INI file, read one value at a time and written one value or one batch of
// values at a time (the format and its encodings: platform/ini_format.h). Every call opens the
// file afresh; nothing is cached or held open. A path is the file system's own bytes and is used
// as it stands: a '\' is an ordinary character of a name, and a folder name need not be valid
// text in any code page.
#include <filesystem>
#include <vector>

#include "texts/text.h"

namespace qv {

// The stored value, or `fallback` when the file, the section or the key is missing (or the file
// cannot be read). Never changes the file.
[[nodiscard]] Text ReadIniValue(const std::filesystem::path& path, const Text& section,
                                const Text& key, const Text& fallback);

// Values written to one settings file together: added in order, then applied in one read, edit
// and atomic replacement of the file, while every other writer of the file waits (another
// instance of the program closing at the same moment). The file thus holds the whole of one
// batch or the whole of the next, never a mix, and a batch never overwrites another it did not
// read: the last applied wins. A writer that holds the file longer than a few seconds (stopped,
// hung) is not waited for.
class IniEditBatch final {
  public:
    explicit IniEditBatch(std::filesystem::path path);
    // One value to create or replace, after those added before it.
    void Set(Text section, Text key, Text value);
    // Writes every value that can be stored, keeping every other byte of the file as it was. The
    // file keeps its mode; temporary files that killed writes left beside it are removed; a file
    // that would not change is not rewritten, and a missing one is created only to hold a value.
    // Returns false when a value could not be stored (its key keeps what it had; the others are
    // written), or when the file could not be written at all: it could not be read whole or
    // replaced, or it lacks its owner's write permission (read-only on purpose). The old file is
    // then intact.
    bool Apply() const;

  private:
    struct Value {
        Text section;
        Text key;
        Text value;
    };
    std::filesystem::path path_;
    std::vector<Value> values_;
};

// Creates or replaces one value: a batch of its own.
bool WriteIniValue(const std::filesystem::path& path, const Text& section, const Text& key,
                   const Text& value);

}  // namespace qv
