#include "ui/objects.h"

namespace qv {

MediaPlayerControl::MediaPlayerControl(std::string name, Window* window)
    : Control(std::move(name), window), player_(CreateMediaPlayer()) {
    player_->onStatusChange = [this] { raise(Event::StatusChange); };
}

MediaPlayerControl::~MediaPlayerControl() {
    player_->onStatusChange = nullptr;
}

}  // namespace qv
