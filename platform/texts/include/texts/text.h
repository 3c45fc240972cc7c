#pragma once
// Texts of the system are GBK byte strings (GB18030 bytes in a std::string): lengths and prefixes
// count bytes. Conversion to and from UTF-8 happens only at the edges where texts meet Qt,
// libmpv, SQLite and the terminal (Qt's strings: the widget layer's qt_text.h).
#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

using Text = std::string;   // GBK bytes
using Bytes = std::string;  // a byte set (a picture, a file's content)

// UTF-8 -> GBK. Bytes that cannot be converted are dropped; the rest is kept.
[[nodiscard]] Text Gbk(std::string_view utf8);
// GBK -> UTF-8. Bytes that cannot be converted are dropped; the rest is kept.
[[nodiscard]] std::string Utf8(std::string_view gbk);

[[nodiscard]] Text IntToText(long long value);
// Leading blanks, an optional sign, then decimal digits; anything else ends the number. No digits
// gives 0. The result is clamped to the 32-bit range.
[[nodiscard]] int TextToInt(std::string_view text);
// The first or last n bytes; the whole text when it is shorter; empty for n <= 0.
[[nodiscard]] Text LeftBytes(std::string_view text, int n);
[[nodiscard]] Text RightBytes(std::string_view text, int n);

}  // namespace qv
