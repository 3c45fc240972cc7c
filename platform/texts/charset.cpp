#include "texts/charset.h"

#include <algorithm>
#include <cerrno>

namespace qv {

std::optional<std::string> Convert(const Converter& converter, std::string_view in, size_t skip) {
    if (!converter.ok())
        return std::nullopt;
    const iconv_t cd = converter.get();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // a fresh start after any earlier text
    std::string out(in.size() * 2 + 16, '\0');
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    size_t used = 0;
    while (srcLeft > 0) {
        char* dst = out.data() + used;
        size_t dstLeft = out.size() - used;
        const size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        used = out.size() - dstLeft;
        if (r != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
        } else if (skip == 0) {
            return std::nullopt;
        } else {
            const size_t n = std::min(skip, srcLeft);
            src += n;
            srcLeft -= n;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    out.resize(used);
    return out;
}

}  // namespace qv
