#pragma once
// Windows Media ASX playlists (XML), which mpv does not read itself: many mms stations publish
// their streams only through one.
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// Whether a body looks like an ASX playlist: its first tag is <asx ...>.
[[nodiscard]] bool LooksLikeAsx(std::string_view body);
// The addresses of the playlist's <ref href="..."> entries in document order, XML entities
// decoded. mms:// addresses become mmsh://, the form the player opens.
[[nodiscard]] std::vector<std::string> AsxReferences(std::string_view body);

}  // namespace qv
