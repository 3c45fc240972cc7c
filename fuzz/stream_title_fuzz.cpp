// Stream titles as stations send them (ICY or tag metadata, UTF-8 or GBK, any bytes): the decoded
// title is clean GBK text, one line without blanks at its ends or characters that reorder it, and
// decoding its UTF-8 form again gives it back.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "check.h"
#include "player_status.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view raw(reinterpret_cast<const char*>(data), size);
    const qv::Text title = qv::DecodeStreamTitle(raw);
    for (char c : title) QV_CHECK(static_cast<unsigned char>(c) >= 0x20);
    if (!title.empty())
        QV_CHECK(title.front() != ' ' && title.back() != ' ');
    const std::string utf8 = qv::Utf8(title);
    QV_CHECK(qv::Gbk(utf8) == title);
    // Nothing that reorders the status line: direction marks, embeddings, overrides, isolates.
    for (const char* mark : {"\u061C", "\u200E", "\u200F", "\u202A", "\u202B", "\u202C", "\u202D",
                             "\u202E", "\u2066", "\u2067", "\u2068", "\u2069"}) {
        QV_CHECK(utf8.find(mark) == std::string::npos);
    }
    QV_CHECK(qv::DecodeStreamTitle(utf8) == title);
    return 0;
}
