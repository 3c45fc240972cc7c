// The media player on libmpv: the session's commands carried out with the engine, the resolver
// and two timers, and its status announced on every change. One UI thread: everything here runs
// on the thread that made the player.
#include <QObject>
#include <QTimer>
#include <chrono>
#include <memory>
#include <type_traits>
#include <variant>

#include "engine.h"
#include "mpv_player_private.h"
#include "player/media_player.h"
#include "resolver.h"
#include "session.h"

namespace qv {
namespace {

int64_t NowMs() {
    using std::chrono::duration_cast;
    using std::chrono::milliseconds;
    return duration_cast<milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

class Core final : public QObject, public std::enable_shared_from_this<Core> {
  public:
    explicit Core(const SessionTimings& timings) : session_(timings, &NowMs) {
        for (QTimer* t : {&retry_, &patience_}) t->setSingleShot(true);
        QObject::connect(&retry_, &QTimer::timeout, this,
                         [this] { handle(session_.fired(SessionTimer::Retry)); });
        QObject::connect(&patience_, &QTimer::timeout, this,
                         [this] { handle(session_.fired(SessionTimer::Patience)); });
    }
    ~Core() override { shutdown(); }
    Core(const Core&) = delete;
    Core& operator=(const Core&) = delete;

    // After make_shared: the engine's reports need a weak hold on the player.
    void listen() {
        engine_->onEvent = [weak = weak_from_this()](const EngineEvent& event) {
            if (auto self = weak.lock())
                self->onEngineEvent(event);
        };
    }

    void shutdown() {
        notify = nullptr;
        retry_.stop();
        patience_.stop();
        resolver_.cancel();
        engine_->shutdown();
    }

    void setURL(const Text& link) { handle(session_.tune(link)); }
    void play() { handle(session_.play()); }
    void stop() { handle(session_.stop()); }
    void setVolume(int volume) { engine_->setVolume(volume); }
    [[nodiscard]] const Text& link() const { return session_.link(); }
    [[nodiscard]] const Text& status() const { return session_.status(); }
    [[nodiscard]] Engine& engine() { return *engine_; }

    std::function<void()> notify;

  private:
    // Carries out the session's commands, then announces the status if it changed.
    void handle(const SessionCommands& commands) {
        auto keep = shared_from_this();  // a status handler may destroy the player
        bool openFailed = false;
        for (const SessionCommand& c : commands) openFailed |= !execute(c);
        if (openFailed) {
            handle(session_.openFailed());
            return;
        }
        if (session_.status() == shown_)
            return;
        shown_ = session_.status();
        if (auto cb = notify)
            cb();
    }

    // False when the engine refused an address.
    bool execute(const SessionCommand& c) {
        using Kind = SessionCommand::Kind;
        switch (c.kind) {
            case Kind::Open:
                resolver_.cancel();
                return engine_->open(c.lead.address);
            case Kind::Halt:
                resolver_.cancel();
                engine_->stop();
                break;
            case Kind::ReadPlaylist:
                resolver_.read(c.lead, [this, ticket = c.ticket](const Playlist& playlist,
                                                                 const std::string& base) {
                    handle(session_.playlistRead(ticket, playlist, base));
                });
                break;
            case Kind::CheckVariants:
                resolver_.checkVariants(c.onTheWay, c.lead,
                                        [this, ticket = c.ticket](PlaylistProblem problem) {
                                            handle(session_.variantProblem(ticket, problem));
                                        });
                break;
            case Kind::EndVariantCheck:
                resolver_.endVariantCheck();
                break;
            case Kind::Arm:
                timer(c.timer).start(c.ms);
                break;
            case Kind::Disarm:
                timer(c.timer).stop();
                break;
        }
        return true;
    }

    QTimer& timer(SessionTimer t) { return t == SessionTimer::Retry ? retry_ : patience_; }

    void onEngineEvent(const EngineEvent& event) {
        handle(std::visit(
            [this](const auto& e) -> SessionCommands {
                using E = std::decay_t<decltype(e)>;
                if constexpr (std::is_same_v<E, Loaded>) {
                    return session_.loaded(e);
                } else if constexpr (std::is_same_v<E, Ended>) {
                    return session_.ended(e);
                } else if constexpr (std::is_same_v<E, HlsFound>) {
                    return session_.hlsFound();
                } else if constexpr (std::is_same_v<E, IdleChanged>) {
                    return session_.idleChanged(e.idle);
                } else if constexpr (std::is_same_v<E, PausedForCache>) {
                    return session_.pausedForCache(e.paused);
                } else if constexpr (std::is_same_v<E, Buffering>) {
                    return session_.buffering(e.percent);
                } else if constexpr (std::is_same_v<E, Bitrate>) {
                    return session_.bitrate(e.bitsPerSecond);
                } else {
                    return session_.metadata(e.icyTitle, e.tagTitle);
                }
            },
            event));
    }

    std::shared_ptr<Engine> engine_ = std::make_shared<Engine>();
    Session session_;
    PlaylistResolver resolver_;
    QTimer retry_;
    QTimer patience_;
    Text shown_ = session_.status();  // the status last announced
};

class Controls final : public PlayerControls {
  public:
    explicit Controls(std::shared_ptr<Core> core) : core_(std::move(core)) {}
    void play() override { core_->play(); }
    void stop() override { core_->stop(); }

  private:
    std::shared_ptr<Core> core_;
};

class Settings final : public PlayerSettings {
  public:
    explicit Settings(std::shared_ptr<Core> core) : core_(std::move(core)) {}
    void setVolume(int volume) override { core_->setVolume(volume); }

  private:
    std::shared_ptr<Core> core_;
};

class MpvPlayer final : public MediaPlayer {
  public:
    explicit MpvPlayer(const SessionTimings& timings) : core_(std::make_shared<Core>(timings)) {
        core_->listen();
        core_->notify = [this] {
            if (onStatusChange)
                onStatusChange();
        };
    }
    ~MpvPlayer() override { core_->shutdown(); }
    MpvPlayer(const MpvPlayer&) = delete;
    MpvPlayer& operator=(const MpvPlayer&) = delete;

    void setURL(const Text& link) override { core_->setURL(link); }
    [[nodiscard]] Text URL() const override { return core_->link(); }
    [[nodiscard]] Text status() const override { return core_->status(); }
    [[nodiscard]] std::shared_ptr<PlayerControls> controls() override {
        return std::make_shared<Controls>(core_);
    }
    [[nodiscard]] std::shared_ptr<PlayerSettings> settings() override {
        return std::make_shared<Settings>(core_);
    }
    [[nodiscard]] Engine& engine() { return core_->engine(); }

  private:
    std::shared_ptr<Core> core_;
};

}  // namespace

void PrepareMpvEngine() {
    PrepareEngine();
}

std::unique_ptr<MediaPlayer> CreateMpvPlayer() {
    return CreateMpvPlayer(SessionTimings{});
}

std::unique_ptr<MediaPlayer> CreateMpvPlayer(const SessionTimings& timings) {
    return std::make_unique<MpvPlayer>(timings);
}

bool UsesPreparedEngineForTest(MediaPlayer& player) {
    auto* mpv = dynamic_cast<MpvPlayer*>(&player);
    return mpv && mpv->engine().prepared();
}

std::optional<std::string> MpvPropertyForTest(MediaPlayer& player, const char* name) {
    auto* mpv = dynamic_cast<MpvPlayer*>(&player);
    return mpv ? mpv->engine().property(name) : std::nullopt;
}

}  // namespace qv
