#include "texts/utf8.h"

namespace qv {

Utf8Char Utf8CharAt(std::string_view s, size_t at) {
    if (at >= s.size())
        return {};
    const auto lead = static_cast<unsigned char>(s[at]);
    if (lead < 0x80)
        return {1, lead};
    size_t length = 0;
    char32_t codePoint = 0;
    // The second byte's range is narrower after some lead bytes: it is what rules out overlong
    // forms (E0, F0), surrogates (ED) and code points past U+10FFFF (F4).
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    } else {
        return {};
    }
    if (length > s.size() - at)
        return {};
    for (size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(s[at + k]);
        if (next < low || next > high)
            return {};
        codePoint = codePoint << 6 | (next & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    return {length, codePoint};
}

bool ValidUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const size_t length = Utf8CharAt(s, i).length;
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

}  // namespace qv
