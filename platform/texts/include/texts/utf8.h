#pragma once
// UTF-8 as the Unicode standard defines it well-formed: no overlong form, no surrogate, nothing
// past U+10FFFF (what iconv and Qt take as UTF-8, too). One decoder for every reader of UTF-8.
#include <cstddef>
#include <string_view>

namespace qv {

struct Utf8Char {
    size_t length = 0;  // 1 to 4 bytes; 0 when no well-formed sequence starts there
    char32_t codePoint = 0;
};

// The well-formed sequence that starts at byte `at` of `s`. None at the end, at a continuation
// byte, at a lead byte that lacks its continuation bytes or gets bytes of the wrong range, nor
// for an overlong form, a surrogate or a code point past U+10FFFF.
[[nodiscard]] Utf8Char Utf8CharAt(std::string_view s, size_t at);

// Whether the bytes are well-formed UTF-8 throughout.
[[nodiscard]] bool ValidUtf8(std::string_view s);

}  // namespace qv
