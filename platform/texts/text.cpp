#include "texts/text.h"

#include <climits>

#include "texts/charset.h"

namespace qv {
namespace {

bool IsAscii(std::string_view s) {
    for (unsigned char c : s) {
        if (c >= 0x80)
            return false;
    }
    return true;
}

}  // namespace

Text Gbk(std::string_view utf8) {
    if (IsAscii(utf8))
        return Text(utf8);
    thread_local const Converter toGbk("GB18030", "UTF-8");
    // An invalid or truncated sequence loses that byte only.
    return Convert(toGbk, utf8, 1).value_or(Text());
}

std::string Utf8(std::string_view gbk) {
    if (IsAscii(gbk))
        return std::string(gbk);
    thread_local const Converter toUtf8("UTF-8", "GB18030");
    return Convert(toUtf8, gbk, 1).value_or(std::string());
}

Text IntToText(long long value) {
    return std::to_string(value);
}

int TextToInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        v = v * 10 + (text[i] - '0');
        if (v > static_cast<long long>(INT_MAX) + 1)
            v = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        v = -v;
    if (v > INT_MAX)
        v = INT_MAX;
    if (v < INT_MIN)
        v = INT_MIN;
    return static_cast<int>(v);
}

Text LeftBytes(std::string_view text, int n) {
    if (n <= 0)
        return {};
    return Text(text.substr(0, static_cast<size_t>(n)));
}

Text RightBytes(std::string_view text, int n) {
    if (n <= 0)
        return {};
    size_t k = static_cast<size_t>(n);
    if (k >= text.size())
        return Text(text);
    return Text(text.substr(text.size() - k));
}

}  // namespace qv
