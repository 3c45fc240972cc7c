// ASX playlists as a station's server sends them: any body. Every address found is one clean
// line of the playlist handed to the player, and the playlist gives back exactly those addresses.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/asx.h"

#define QV_CHECK(cond)                                                                    \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    (void)qv::LooksLikeAsx(body);
    const std::vector<std::string> refs = qv::AsxReferences(body);
    for (const std::string& r : refs) {
        QV_CHECK(!r.empty());
        for (char c : r) QV_CHECK(static_cast<unsigned char>(c) >= 0x20);
        QV_CHECK(r.front() != ' ' && r.back() != ' ');
        std::string scheme = r.substr(0, 6);
        for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        QV_CHECK(scheme != "mms://");  // rewritten to the form the player opens
    }
    const std::string list = qv::AsxAsMemoryPlaylist(refs);
    const std::string_view head = "memory://#EXTM3U\n";
    QV_CHECK(std::string_view(list).substr(0, head.size()) == head);
    std::vector<std::string> lines;
    for (size_t at = head.size(); at < list.size();) {
        const size_t end = list.find('\n', at);
        QV_CHECK(end != std::string::npos);
        lines.push_back(list.substr(at, end - at));
        at = end + 1;
    }
    QV_CHECK(lines == refs);
    return 0;
}
