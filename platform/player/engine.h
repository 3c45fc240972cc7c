#pragma once
// The engine adapter: libmpv behind typed events and a few commands. It owns the handle and its
// options, takes over the engine made ready at start-up (PrepareEngine), and turns mpv's events
// into the reports the session takes, for the address last opened only.
//
// Lifecycle: made, used and destroyed on the UI thread, held by a shared_ptr. mpv's wakeup
// callback only posts a queued call; the UI thread then drains the events and hands each to
// onEvent, the end of a load after the log lines that explain it. onEvent may open, stop or shut
// the engine down. shutdown() clears the callback, then destroys the handle; afterwards every
// call does nothing.
#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "session.h"

struct mpv_handle;
struct mpv_event;

namespace qv {

struct IdleChanged {
    bool idle = true;
};
struct PausedForCache {
    bool paused = false;
};
struct Buffering {
    int64_t percent = -1;  // -1 unknown
};
struct Bitrate {
    std::optional<double> bitsPerSecond;  // nullopt: unavailable
};
struct Metadata {
    std::string icyTitle;  // raw bytes, as the stream sent them
    std::string tagTitle;
};
// The engine found the address to be HLS, which it reads itself.
struct HlsFound {};

using EngineEvent = std::variant<Loaded, Ended, HlsFound, IdleChanged, PausedForCache, Buffering,
                                 Bitrate, Metadata>;

struct MpvDestroy {
    void operator()(mpv_handle* handle) const;
};
using MpvHandle = std::unique_ptr<mpv_handle, MpvDestroy>;

class Engine final : public QObject, public std::enable_shared_from_this<Engine> {
  public:
    // Claims the engine made ready at start-up, if one is on its way; else makes one now.
    Engine();
    ~Engine() override;
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Plays the address in place of what the engine had; false when there is no engine or it
    // refused the address. Reports of earlier addresses are dropped from now on.
    bool open(const std::string& address);
    // Stops; reports of what it played are dropped.
    void stop();
    void setVolume(int volume);  // 0..100
    void shutdown();

    std::function<void(const EngineEvent&)> onEvent;

    // For tests: whether the engine in use is the one made ready at start-up (taking it over now
    // if it was not yet needed), and a property as mpv's own text.
    [[nodiscard]] bool prepared();
    [[nodiscard]] std::optional<std::string> property(const char* name);

  private:
    struct PropertyHandler;
    static const PropertyHandler kProperties[];

    static void Wakeup(void* self);
    mpv_handle* handle();
    void attach(MpvHandle engine);
    void drain();
    void dispatch(const mpv_event& e);
    void emitEvent(const EngineEvent& event);

    MpvHandle h_;
    bool claimed_ = false;   // the prepared engine is this one's, not yet taken
    bool prepared_ = false;  // the engine in use is the one made ready at start-up
    int64_t minId_;          // playlist entries below it belong to earlier loads
    int64_t currentId_ = -1;
    OpenLog log_;                 // lower-cased warnings of the current load
    std::optional<Ended> ended_;  // the current load's end, handed on after draining
};

// Starts making an engine ready on a thread of its own, so that start-up need not wait for it;
// nothing when one is already on its way. The first Engine made afterwards takes it over, once,
// when it first needs it. Call on the UI thread with LC_NUMERIC "C" (libmpv refuses any other).
void PrepareEngine();

}  // namespace qv
