#pragma once
// Seams of the libmpv player that only its own tests use; not part of the player interface.
#include <optional>
#include <string>

#include "player/media_player.h"
#include "session.h"

namespace qv {

// A libmpv player whose waits are the given ones (tests shorten them).
[[nodiscard]] std::unique_ptr<MediaPlayer> CreateMpvPlayer(const SessionTimings& timings);

// A property of the libmpv engine behind a player made by CreateMpvPlayer, as mpv's own text
// (UTF-8). Empty when the player is not an mpv player, is shut down, or the property is unset.
[[nodiscard]] std::optional<std::string> MpvPropertyForTest(MediaPlayer& player, const char* name);
// Whether such a player runs on the engine PrepareMpvEngine made (taking it over now if it has
// not yet needed it).
[[nodiscard]] bool UsesPreparedEngineForTest(MediaPlayer& player);

}  // namespace qv
