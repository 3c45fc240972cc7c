// Playlists as a station's server sends them: any body, read as M3U, PLS, [Reference], ASX or an
// HLS master playlist. What is taken is bounded and clean, and a playlist or master playlist from
// the network leads only to the network, however its entries are written.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "asx.h"
#include "check.h"
#include "playlist.h"

namespace {

void CheckClean(const std::string& address) {
    QV_CHECK(!address.empty());
    for (char c : address) QV_CHECK(static_cast<unsigned char>(c) >= 0x20);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    const std::string_view base = "http://station.example/radio/list";

    const std::vector<std::string> refs = qv::AsxReferences(body);
    for (const std::string& r : refs) {
        CheckClean(r);
        QV_CHECK(r.front() != ' ' && r.back() != ' ');
        std::string scheme = r.substr(0, 6);
        for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        QV_CHECK(scheme != "mms://");  // rewritten to the form the player opens
    }

    const qv::Playlist list = qv::ReadPlaylist(body, base, "audio/x-mpegurl");
    QV_CHECK(list.entries.size() <= qv::kMaxPlaylistEntries);
    QV_CHECK(list.form != qv::PlaylistForm::None || list.entries.empty());
    for (const std::string& e : list.entries) CheckClean(e);
    if (list.form == qv::PlaylistForm::Asx && qv::LooksLikeAsx(body)) {
        const size_t n = std::min(refs.size(), qv::kMaxPlaylistEntries);
        QV_CHECK(list.entries.size() <= n);
    }

    // A playlist from the network leads only to network addresses, none twice, within bounds.
    qv::PlaylistWalk walk{std::string(base)};
    QV_CHECK(walk.next());
    (void)walk.expand(list, base);
    size_t taken = 0;
    while (const auto next = walk.next()) {
        QV_CHECK(qv::IsNetworkAddress(*next));
        QV_CHECK(!qv::IsLocalAddress(*next));
        ++taken;
    }
    QV_CHECK(taken <= list.entries.size());

    // HLS: variants are clean and bounded; a check of a master that names itself finds the loop.
    const std::vector<std::string> variants = qv::HlsVariants(body);
    QV_CHECK(variants.size() <= qv::kMaxPlaylistEntries);
    for (const std::string& v : variants) CheckClean(v);
    qv::VariantCheck check({}, {std::string(base), ""});
    QV_CHECK(check.next());
    const auto problem = check.read(body, base);
    bool namesItself = false;
    for (const std::string& v : variants) namesItself |= qv::ResolveEntry(base, v) == base;
    QV_CHECK(!namesItself || problem == qv::PlaylistProblem::Loop);
    size_t reads = 1;
    while (!problem) {
        const auto next = check.next();
        if (!next)
            break;
        // A remote master leads only to the network as well.
        QV_CHECK(qv::IsNetworkAddress(next->address));
        QV_CHECK(next->from == base);
        ++reads;
    }
    QV_CHECK(reads <= qv::kMaxPlaylistEntries);
    return 0;
}
