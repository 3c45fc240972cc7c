#include "texts/text.h"

#include <iconv.h>

#include <cerrno>
#include <climits>

namespace qv {
namespace {

// A converter kept open per thread and direction: opening one costs more than most conversions.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok())
            iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    [[nodiscard]] bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    [[nodiscard]] iconv_t get() const { return cd_; }

  private:
    iconv_t cd_;
};

std::string Convert(const Converter& converter, std::string_view in) {
    if (!converter.ok())
        return {};
    iconv_t cd = converter.get();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // a fresh start after any earlier text
    std::string out;
    out.resize(in.size() * 2 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    size_t used = 0;
    while (srcLeft > 0) {
        char* dst = out.data() + used;
        size_t dstLeft = out.size() - used;
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        used = out.size() - dstLeft;
        if (r != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
        } else {
            // An invalid or truncated sequence: lose that byte only and go on.
            ++src;
            --srcLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    out.resize(used);
    return out;
}

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
    return Convert(toGbk, utf8);
}

std::string Utf8(std::string_view gbk) {
    if (IsAscii(gbk))
        return std::string(gbk);
    thread_local const Converter toUtf8("UTF-8", "GB18030");
    return Convert(toUtf8, gbk);
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
