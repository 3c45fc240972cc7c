#pragma once
// The window's non-visual controls that hold the program's objects: the player, the connection
// to the station database and its record set.
#include <memory>
#include <string>

#include "database/database.h"
#include "player/media_player.h"
#include "widgets/window_definition.h"

namespace qv {

// Raises its StatusChange event on every status change of its player, until it goes.
class MediaPlayerControl final : public Control {
  public:
    MediaPlayerControl(std::string name, Window* window);
    ~MediaPlayerControl() override;
    [[nodiscard]] MediaPlayer& player() const { return *player_; }

  private:
    std::unique_ptr<MediaPlayer> player_;
};

class DatabaseControl final : public Control {
  public:
    using Control::Control;
    DbConnection connection;
};

class RecordSetControl final : public Control {
  public:
    using Control::Control;
    RecordSet records;
};

// The maker of a window definition's Object row.
template <class C>
std::unique_ptr<Control> MakeObjectControl(std::string name, Window* window) {
    return std::make_unique<C>(std::move(name), window);
}

}  // namespace qv
