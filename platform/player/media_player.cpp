#include "player/media_player.h"

namespace qv {
namespace {
MediaPlayerFactory& Factory() {
    static MediaPlayerFactory f;
    return f;
}
}  // namespace

void SetMediaPlayerFactory(MediaPlayerFactory factory) {
    Factory() = std::move(factory);
}

std::unique_ptr<MediaPlayer> CreateMediaPlayer() {
    if (Factory())
        return Factory()();
    return CreateMpvPlayer();
}

}  // namespace qv
