#pragma once
// Case folding of ASCII letters only, the same whatever the locale: the C library's tolower()
// follows LC_CTYPE, which Qt takes from the environment (a Turkish locale lowers 'I' to a dotless
// i; a Latin-1 locale lowers bytes of GBK characters). Every other byte is left as it is.
#include <string>
#include <string_view>

namespace qv {

[[nodiscard]] constexpr char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

[[nodiscard]] inline std::string AsciiLowered(std::string_view s) {
    std::string lower(s);
    for (char& c : lower) c = AsciiLower(c);
    return lower;
}

[[nodiscard]] constexpr bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

[[nodiscard]] constexpr bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

[[nodiscard]] constexpr bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && EqualsNoCase(s.substr(s.size() - suffix.size()), suffix);
}

}  // namespace qv
