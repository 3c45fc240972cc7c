#pragma once
// Whether bytes are well-formed UTF-8. Header-only: the catalogue generator uses it without the
// rest of the platform layer.
#include <cstddef>
#include <string_view>

namespace qv {

[[nodiscard]] inline bool ValidUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t extra = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
        } else if (c >= 0x80) {
            return false;
        }
        if (extra >= s.size() - i)
            return false;
        for (size_t k = 1; k <= extra; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += extra + 1;
    }
    return true;
}

}  // namespace qv
