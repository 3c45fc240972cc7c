#pragma once
// The byte-level side of the settings file: finding and replacing one value in a file's bytes.
// No file access here. Names and values are GB18030 bytes (a superset of GBK); multi-byte
// characters are stepped over whole, so a trail byte that happens to be '\\', '[' or ']' is never
// taken for that character.
//
// Encodings: a file without a byte-order mark is GB18030 (a GB18030 mark is skipped). A file that
// starts with the UTF-8, UTF-16 LE or UTF-16 BE mark is read in that encoding and written back in
// it, mark and every other byte kept, as Windows' own INI calls treat a Unicode file.
//
// Lines: "[section]", "key=value", blank lines and ";" or "#" comments; anything else is kept and
// ignored. Blanks (space, tab) around names and "=" and at line ends do not count. ASCII letters
// in names match without regard to case. A line ends at CR LF, LF or a lone CR, as Windows reads
// it (some older editors end lines with a lone CR), so a name or a value never holds a CR or an
// LF. Only the first section of a name counts, and in it the first key of a name, as
// GetPrivateProfileString does; keys before the first section belong to none.
//
// Values read as Windows reads them: one pair of matching quotes (" or ') around the value is
// dropped and what lies between them is taken literally, backslashes included. A value is written
// between double quotes only when it would not read back as it is without them: a blank or
// control byte at either end, or the same quote mark at both ends.
#include <optional>
#include <string>
#include <string_view>

namespace qv::ini {

// Whether a name or a value can be written so that it reads back as the same text. A value that
// holds CR or LF cannot: it would end its line, so it is refused rather than split.
[[nodiscard]] bool IsStorableSection(std::string_view section);
[[nodiscard]] bool IsStorableKey(std::string_view key);
[[nodiscard]] bool IsStorableValue(std::string_view value);

// The value of `key` in `section`, or nullopt when either is missing. A Unicode file that holds a
// broken sequence is read as far as it converts.
[[nodiscard]] std::optional<std::string> FindValue(std::string_view content,
                                                   std::string_view section, std::string_view key);

// `content` with one value created or replaced and every other byte kept; nullopt when the
// section, key or value cannot be stored, or when the content is a Unicode file that would not
// convert back byte for byte (a broken sequence) or the value has no place in its encoding (bytes
// that are not GB18030). An existing key line keeps its name, its spacing and its line end; a new
// key goes after the last key line of its section; a new section goes at the end. New lines end
// as the content's first line does (CR LF, LF or a lone CR); in a content without a line end,
// and in a new file, with CR LF.
[[nodiscard]] std::optional<std::string> SetValue(std::string_view content,
                                                  std::string_view section, std::string_view key,
                                                  std::string_view value);

// A value's text as it stands after "=" (for a storable value), and back.
[[nodiscard]] std::string EncodeValue(std::string_view value);
[[nodiscard]] std::string DecodeValue(std::string_view stored);

}  // namespace qv::ini
