#include "playlist.h"

#include <algorithm>
#include <cctype>

#include "asx.h"
#include "texts/ascii.h"

namespace qv {
namespace {

std::string_view Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

bool HasControlByte(std::string_view s) {
    return std::any_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

// The text's lines, trimmed; a line ends at CR or LF.
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find_first_of("\r\n", at);
        if (end == std::string_view::npos)
            end = text.size();
        lines.push_back(Trim(text.substr(at, end - at)));
        at = end + 1;
    }
    return lines;
}

// The length of the address's scheme ("http" in "http://..."), or 0 when it has none.
size_t SchemeLength(std::string_view a) {
    if (a.empty() || !std::isalpha(static_cast<unsigned char>(a[0])))
        return 0;
    size_t i = 1;
    while (i < a.size() && (std::isalnum(static_cast<unsigned char>(a[i])) || a[i] == '+' ||
                            a[i] == '-' || a[i] == '.')) {
        ++i;
    }
    return a.substr(i, 3) == "://" ? i : 0;
}

// Text made of printable lines (an M3U without its header), not bytes of some other kind.
bool LooksLikeText(std::string_view text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 && c != '\t' && c != '\r' && c != '\n';
    });
}

bool MpegUrlType(std::string_view contentType) {
    const std::string_view type = Trim(contentType.substr(0, contentType.find(';')));
    for (std::string_view known : {"audio/mpegurl", "audio/x-mpegurl", "application/mpegurl",
                                   "application/x-mpegurl", "application/vnd.apple.mpegurl"}) {
        if (EqualsNoCase(type, known))
            return true;
    }
    return false;
}

bool M3uAddress(std::string_view address) {
    address = address.substr(0, address.find_first_of("?#"));
    return EndsWithNoCase(address, ".m3u") || EndsWithNoCase(address, ".m3u8");
}

void Take(Playlist& list, std::string_view entry) {
    entry = Trim(entry);
    if (!entry.empty() && !HasControlByte(entry) && list.entries.size() < kMaxPlaylistEntries)
        list.entries.emplace_back(entry);
}

// The value of a "Key=value" line whose key begins with `key`, or nullopt.
std::optional<std::string_view> KeyValue(std::string_view line, std::string_view key) {
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos || !StartsWithNoCase(Trim(line.substr(0, eq)), key))
        return std::nullopt;
    return line.substr(eq + 1);
}

}  // namespace

Playlist ReadPlaylist(std::string_view text, std::string_view address,
                      std::string_view contentType) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);  // a UTF-8 byte-order mark
    Playlist list;
    if (LooksLikeAsx(text)) {
        list.form = PlaylistForm::Asx;
        for (const std::string& ref : AsxReferences(text)) Take(list, ref);
        return list;
    }
    const std::vector<std::string_view> lines = Lines(text);
    const auto first =
        std::find_if(lines.begin(), lines.end(), [](std::string_view l) { return !l.empty(); });
    if (first == lines.end())
        return list;
    if (EqualsNoCase(*first, "[playlist]")) {
        list.form = PlaylistForm::Pls;
        for (auto l = first + 1; l != lines.end(); ++l) {
            if (auto value = KeyValue(*l, "file"))
                Take(list, *value);
        }
        return list;
    }
    if (EqualsNoCase(*first, "[reference]")) {
        // Windows Media servers answer a plain request with this, naming the stream by http://:
        // it is streamed over MMS-over-HTTP.
        list.form = PlaylistForm::Reference;
        for (auto l = first + 1; l != lines.end(); ++l) {
            if (auto value = KeyValue(*l, "ref")) {
                const std::string_view v = Trim(*value);
                Take(list, StartsWithNoCase(v, "http://") ? "mmsh://" + std::string(v.substr(7))
                                                          : std::string(v));
            }
        }
        return list;
    }
    const bool header = *first == "#EXTM3U";
    if (!header && !((M3uAddress(address) || MpegUrlType(contentType)) && LooksLikeText(text)))
        return list;
    // An HLS playlist is a stream in segments, which the engine reads itself.
    if (std::any_of(lines.begin(), lines.end(),
                    [](std::string_view l) { return l.substr(0, 7) == "#EXT-X-"; })) {
        return list;
    }
    list.form = PlaylistForm::M3u;
    for (std::string_view l : lines) {
        if (!l.empty() && l.front() != '#')
            Take(list, l);
    }
    return list;
}

std::string ResolveEntry(std::string_view base, std::string_view entry) {
    if (SchemeLength(entry) > 0)
        return std::string(entry);
    const size_t scheme = SchemeLength(base);
    if (scheme == 0) {  // a local path
        if (entry.substr(0, 1) == "/")
            return std::string(entry);
        const size_t slash = base.rfind('/');
        return std::string(slash == std::string_view::npos ? "" : base.substr(0, slash + 1)) +
               std::string(entry);
    }
    if (entry.substr(0, 2) == "//")
        return std::string(base.substr(0, scheme + 1)) + std::string(entry);
    size_t pathAt = base.find_first_of("/?#", scheme + 3);
    if (pathAt == std::string_view::npos)
        pathAt = base.size();
    const std::string origin(base.substr(0, pathAt));
    if (entry.substr(0, 1) == "/")
        return origin + std::string(entry);
    const std::string_view path = base.substr(pathAt, base.find_first_of("?#", pathAt) - pathAt);
    const size_t slash = path.rfind('/');
    const std::string_view folder =
        slash == std::string_view::npos ? std::string_view("/") : path.substr(0, slash + 1);
    return origin + std::string(folder) + std::string(entry);
}

bool IsNetworkAddress(std::string_view address) {
    const std::string_view scheme = address.substr(0, SchemeLength(address));
    for (std::string_view known : {"http", "https", "mms", "mmsh", "mmst", "rtsp", "rtsps", "rtmp",
                                   "rtmps", "rtmpt", "rtmpts", "rtmpe", "rtmpte"}) {
        if (EqualsNoCase(scheme, known))
            return true;
    }
    return false;
}

bool IsLocalAddress(std::string_view address) {
    const size_t scheme = SchemeLength(address);
    return !address.empty() && (scheme == 0 || EqualsNoCase(address.substr(0, scheme), "file"));
}

bool CanReadPlaylist(std::string_view address) {
    return StartsWithNoCase(address, "http://") || StartsWithNoCase(address, "https://") ||
           IsLocalAddress(address);
}

bool MayFollow(std::string_view from, std::string_view to) {
    return !IsNetworkAddress(from) || IsNetworkAddress(to);
}

PlaylistWalk::PlaylistWalk(const std::string& link) {
    pending_.push_back({{link, {}}, 0});
    seen_.insert(link);
}

std::optional<std::string> PlaylistWalk::next() {
    if (pending_.empty())
        return std::nullopt;
    current_ = std::move(pending_.back());
    pending_.pop_back();
    return current_.lead.address;
}

std::optional<PlaylistProblem> PlaylistWalk::expand(const Playlist& playlist,
                                                    std::string_view base) {
    if (current_.depth > kMaxPlaylistDepth)
        return PlaylistProblem::TooDeep;
    std::vector<Step> taken;
    bool loop = false;
    for (const std::string& entry : playlist.entries) {
        if (taken_ >= kMaxPlaylistEntries)
            break;
        std::string address = ResolveEntry(base, entry);
        if (!MayFollow(base, address))
            continue;
        if (!seen_.insert(address).second) {
            loop = true;
            continue;
        }
        ++taken_;
        taken.push_back({{std::move(address), std::string(base)}, current_.depth + 1});
    }
    if (taken.empty())
        return loop ? PlaylistProblem::Loop : PlaylistProblem::Empty;
    pending_.insert(pending_.end(), std::make_move_iterator(taken.rbegin()),
                    std::make_move_iterator(taken.rend()));
    return std::nullopt;
}

std::vector<std::string> HlsVariants(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    std::vector<std::string> variants;
    bool variant = false;  // the next address line is a variant
    for (std::string_view l : Lines(text)) {
        if (l.substr(0, 18) == "#EXT-X-STREAM-INF:") {
            variant = true;
        } else if (variant && !l.empty() && l.front() != '#') {
            variant = false;
            if (!HasControlByte(l) && variants.size() < kMaxPlaylistEntries)
                variants.emplace_back(l);
        }
    }
    return variants;
}

VariantCheck::VariantCheck(std::set<std::string> onTheWay, Lead master)
    : masters_(std::move(onTheWay)) {
    queued_.insert(master.address);
    pending_.push_back({std::move(master), 0});
}

std::optional<Lead> VariantCheck::next() {
    if (pending_.empty() || reads_ >= kMaxPlaylistEntries)
        return std::nullopt;
    current_ = std::move(pending_.front());
    pending_.erase(pending_.begin());
    ++reads_;
    return current_.lead;
}

std::optional<PlaylistProblem> VariantCheck::read(std::string_view text, std::string_view base) {
    const std::vector<std::string> variants = HlsVariants(text);
    if (variants.empty())
        return std::nullopt;  // a media playlist: the engine goes no further here
    if (current_.depth >= kMaxPlaylistDepth)
        return PlaylistProblem::TooDeep;
    masters_.insert(current_.lead.address);
    masters_.emplace(base);
    for (const std::string& v : variants) {
        std::string address = ResolveEntry(base, v);
        if (!MayFollow(base, address))
            continue;
        if (masters_.count(address) > 0)
            return PlaylistProblem::Loop;
        // A variant named twice is read once; only a master playlist leads anywhere.
        if (queued_.insert(address).second)
            pending_.push_back({{std::move(address), std::string(base)}, current_.depth + 1});
    }
    return std::nullopt;
}

}  // namespace qv
