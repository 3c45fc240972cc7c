#pragma once
// The byte-level side of the settings file: finding and replacing one value in a file's bytes.
// No file access here. Texts are GB18030 bytes; multi-byte characters are stepped over whole, so a
// trail byte that happens to be '\\', '[' or ']' is never taken for that character.
//
// Lines: "[section]", "key=value", blank lines and ";" or "#" comments; anything else is kept and
// ignored. Blanks (space, tab) around names and "=" and at line ends do not count. ASCII letters
// in names match without regard to case. LF or CRLF line ends; a leading UTF-8 or GB18030 BOM is
// skipped. Only the first section of a name counts, and in it the first key of a name, as
// GetPrivateProfileString does; keys before the first section belong to none.
//
// Values: written plain (key=value) unless they would not read back so: a value with a blank at
// either end, a leading '"', or any control byte is written between quotes, with "\\", "\n",
// "\r", "\t" and "\xHH" escapes. A value read between quotes is unescaped; unknown escapes are
// kept as they are.
#include <optional>
#include <string>
#include <string_view>

namespace qv::ini {

// Whether a name can be written so that it reads back as the same name.
[[nodiscard]] bool IsStorableSection(std::string_view section);
[[nodiscard]] bool IsStorableKey(std::string_view key);

// The value of `key` in `section`, or nullopt when either is missing.
[[nodiscard]] std::optional<std::string> FindValue(std::string_view content,
                                                   std::string_view section, std::string_view key);

// `content` with one value created or replaced and every other byte kept; nullopt when the
// section or key cannot be stored. An existing key line keeps its name and spacing; a new key
// goes after the last key line of its section; a new section goes at the end. New lines take the
// content's line end (CRLF when its first line ends so, else LF).
[[nodiscard]] std::optional<std::string> SetValue(std::string_view content,
                                                  std::string_view section, std::string_view key,
                                                  std::string_view value);

// A value's text as it stands after "=", and back.
[[nodiscard]] std::string EncodeValue(std::string_view value);
[[nodiscard]] std::string DecodeValue(std::string_view stored);

}  // namespace qv::ini
