#pragma once
// What the player says: its status text, composed from its state, and why a link failed, read
// from the engine's error and log. Pure: no engine, no event loop.
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "texts/text.h"

namespace qv {

enum class PlayerPhase {
    Idle,        // nothing loaded, or a finite file played to its end
    Stopped,     // stopped by the user
    Connecting,  // opening a link (or reading it as a playlist)
    Loaded,      // opened: playing or buffering
    Waiting,     // dropped; the next reconnect is due
    Failed,
};

// Everything the status text is made of.
struct PlayerState {
    PlayerPhase phase = PlayerPhase::Idle;
    int attempt = 0;       // reconnects in the current round; 0 = not reconnecting
    bool playing = false;  // Loaded and audio comes out
    bool pausedForCache = false;
    int64_t bufferPercent = -1;  // -1 unknown
    long kbps = 0;               // 0 unknown
    Text title;                  // the stream's own title, if it sends one
    Text link;                   // the link given to the player
    Text failure;                // shown while Failed
};

// The status text (GBK). Playing begins with "正在播放", Idle is "准备就绪", Stopped "已停止".
[[nodiscard]] Text ComposeStatus(const PlayerState& state);

enum class Failure {
    CannotOpen,
    NoServer,
    Refused,
    TimedOut,
    NotFound,
    HttpError,
    NotAStream,
    NoAudio,          // connected, but no audio came in time
    PlaylistLoop,     // a playlist leads back to a link already on the way
    PlaylistTooDeep,  // playlists nested deeper than the player follows
    PlaylistEmpty,    // a playlist with no entry the player may open
    GaveUp,           // a dropped stream that every reconnect of a round failed to bring back
};

// The failure's status text (GBK); all but GaveUp begin with "无法播放：".
[[nodiscard]] Text FailureText(Failure failure);

// Lower-cased lines that the engine logged while opening a link, the last few only.
using OpenLog = std::deque<std::string>;

// Whether the link opened but held nothing the engine could read (`formatError`: the engine
// said so itself) — a playlist, a web page or noise rather than a stream.
[[nodiscard]] bool NotAStream(bool formatError, const OpenLog& log);
// Why a link could not be opened.
[[nodiscard]] Failure ClassifyFailure(bool formatError, const OpenLog& log);

// A stream title as the engine hands it over (raw bytes; stations send UTF-8 or GBK) -> GBK,
// without surrounding blanks, control characters, or characters that reorder or break the line
// it is shown in (direction marks, embeddings, overrides, isolates, line separators).
[[nodiscard]] Text DecodeStreamTitle(std::string_view raw);

}  // namespace qv
