#pragma once
// Playlists, which the player reads itself rather than leave to the engine, and the walk from a
// station's link through them to a stream. A playlist is outside input: what is taken from it is
// bounded, and where it came from limits where it may lead. Pure: no engine, network or event
// loop.
//
// Order of use: PlaylistWalk(link); next() gives the link itself; whenever the current link turns
// out to be a playlist, ReadPlaylist its text and expand() the walk with it; next() then gives its
// entries in turn, until one plays or next() has nothing left.
#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// The most of a playlist's text that is read; a longer text is cut at a line break.
constexpr size_t kMaxPlaylistBytes = size_t{64} * 1024;
// The most entries tried for one link, however its playlists nest.
constexpr size_t kMaxPlaylistEntries = 100;
// The deepest playlist that is followed: the link's own is 0.
constexpr int kMaxPlaylistDepth = 2;

enum class PlaylistForm { None, M3u, Pls, Reference, Asx };

struct Playlist {
    PlaylistForm form = PlaylistForm::None;  // None: the text is no playlist the player reads
    std::vector<std::string> entries;        // as written, in order, at most kMaxPlaylistEntries
};

// Reads a playlist's text: M3U, PLS, a Windows Media [Reference] file or ASX. `address` (where it
// came from) and `contentType` (what its server called it) mark an M3U without its header line.
// An HLS playlist is not one of these: the engine plays it as a stream.
[[nodiscard]] Playlist ReadPlaylist(std::string_view text, std::string_view address = {},
                                    std::string_view contentType = {});

// An entry's address, resolved against the address of the playlist that holds it.
[[nodiscard]] std::string ResolveEntry(std::string_view base, std::string_view entry);
// Whether an address is on the network: http, https, mms, mmsh, mmst, rtsp, rtmp and the like.
[[nodiscard]] bool IsNetworkAddress(std::string_view address);
// Whether an address names a local file: a path, or file://.
[[nodiscard]] bool IsLocalAddress(std::string_view address);

// Whether the player reads playlists from the address itself: http, https or a local file.
[[nodiscard]] bool CanReadPlaylist(std::string_view address);

// The one address rule, for every address the player reads or hands to the engine: one reached
// from a network address (a playlist entry, an HLS variant, a redirection) keeps to network
// schemes, so nothing a server sends opens a file, a device or any other local thing. One reached
// from the user's own (the station's link, a playlist file of the user's; `from` empty for the
// link itself) may be anything the user could name.
[[nodiscard]] bool MayFollow(std::string_view from, std::string_view to);

// An address, and the address it was reached from (empty: the station's link itself).
struct Lead {
    std::string address;
    std::string from;
};

// Why a playlist added nothing to the walk.
enum class PlaylistProblem {
    Loop,     // its entries lead back to links already on the way
    TooDeep,  // it lies deeper than kMaxPlaylistDepth
    Empty,    // it names nothing the player may open
};

// The links tried for one station link, in turn: the link, then in its place the entries of the
// playlist it turns out to be, depth first.
class PlaylistWalk {
  public:
    PlaylistWalk() = default;
    explicit PlaylistWalk(const std::string& link);

    // Moves on to the next link; nullopt when none is left.
    std::optional<std::string> next();
    // The link that next() gave last, and where it was reached from.
    [[nodiscard]] const std::string& current() const { return current_.lead.address; }
    [[nodiscard]] const Lead& currentLead() const { return current_.lead; }
    // Every link taken into the walk so far.
    [[nodiscard]] const std::set<std::string>& seen() const { return seen_; }

    // The current link is this playlist, read from `base` (its address after any redirection).
    // Its entries come next, except those that lead back to a link already on the way, those that
    // the address rule refuses (MayFollow from `base`), and those past the bounds.
    [[nodiscard]] std::optional<PlaylistProblem> expand(const Playlist& playlist,
                                                        std::string_view base);

  private:
    struct Step {
        Lead lead;
        int depth = 0;
    };
    std::vector<Step> pending_;  // the next link at the back
    Step current_;
    std::set<std::string> seen_;  // every link taken into the walk
    size_t taken_ = 0;            // entries taken, of kMaxPlaylistEntries
};

// The variant playlists that an HLS master playlist names, resolved against nothing: empty when
// the text is no master playlist (a media playlist, or no HLS at all).
[[nodiscard]] std::vector<std::string> HlsVariants(std::string_view text);

// The engine reads an HLS master playlist itself and follows every variant, also a variant that is
// a master playlist again: one that leads back, or on without end, it follows for ever, as fast as
// the server answers. The player reads the same playlists beside it to stop such a load. Order of
// use: next() names a playlist to read; read() is given its text; until next() has none left.
// A variant that the address rule refuses is not read: the engine refuses it too.
class VariantCheck {
  public:
    // `master`: the link the engine found to be HLS; `onTheWay`: the links that led to it.
    VariantCheck(std::set<std::string> onTheWay, Lead master);

    [[nodiscard]] std::optional<Lead> next();
    // The text of the playlist next() named, read from `base` (after any redirection).
    [[nodiscard]] std::optional<PlaylistProblem> read(std::string_view text, std::string_view base);

  private:
    struct Step {
        Lead lead;
        int depth = 0;
    };
    std::vector<Step> pending_;  // the next playlist at the front
    Step current_;
    std::set<std::string> masters_;  // the links on the way and the master playlists read
    std::set<std::string> queued_;   // every playlist taken to be read
    size_t reads_ = 0;               // of kMaxPlaylistEntries
};

}  // namespace qv
