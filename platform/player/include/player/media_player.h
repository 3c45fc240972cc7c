#pragma once
// The hidden media player. Lifecycle:
//  1. CreateMediaPlayer() on the UI thread, after QApplication exists. Status is "准备就绪".
//     A libmpv player may take over an engine made ready earlier (PrepareMpvEngine).
//  2. setURL(link) starts playing the link by itself (automatic start); an empty link unloads.
//  3. controls() / settings() hand out objects that may be held past the player's own life:
//     they keep alive what they need, and do nothing once the player is gone.
//  4. onStatusChange runs on the UI thread after every change of status(); it may run inside
//     setURL, play or stop, before they return.
//  5. Destroying the player stops playback and releases the engine.
#include <functional>
#include <memory>

#include "texts/text.h"

namespace qv {

class PlayerControls {
  public:
    virtual ~PlayerControls() = default;
    virtual void play() = 0;  // plays the current link (again after a stop)
    virtual void stop() = 0;
};

class PlayerSettings {
  public:
    virtual ~PlayerSettings() = default;
    virtual void setVolume(int volume) = 0;  // 0..100
};

class MediaPlayer {
  public:
    virtual ~MediaPlayer() = default;
    virtual void setURL(const Text& link) = 0;
    [[nodiscard]] virtual Text URL() const = 0;     // the link last given
    [[nodiscard]] virtual Text status() const = 0;  // GBK text
    [[nodiscard]] virtual std::shared_ptr<PlayerControls> controls() = 0;
    [[nodiscard]] virtual std::shared_ptr<PlayerSettings> settings() = 0;

    std::function<void()> onStatusChange;
};

// The real player on libmpv. QUORVIN_AO chooses the audio output (tests use "null").
[[nodiscard]] std::unique_ptr<MediaPlayer> CreateMpvPlayer();
// Starts making a libmpv engine ready on a thread of its own, so that start-up need not wait for
// it; nothing when one is already on its way to a player. The first player CreateMpvPlayer makes
// afterwards takes it over, once, when it first needs it; status events still come on the UI
// thread only. Call on the UI thread after QApplication exists and LC_NUMERIC is "C" (libmpv
// refuses any other).
void PrepareMpvEngine();

// Tests put a scripted player in place of the real one before the window is created.
using MediaPlayerFactory = std::function<std::unique_ptr<MediaPlayer>()>;
void SetMediaPlayerFactory(MediaPlayerFactory factory);
[[nodiscard]] std::unique_ptr<MediaPlayer> CreateMediaPlayer();

}  // namespace qv
