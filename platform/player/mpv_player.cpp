// The media player on libmpv: the engine's state machine. One UI thread: libmpv's wakeup
// callback only posts a queued call, and everything else (events, status, reconnects, playlists)
// happens on the thread that made the player. The one exception is the engine itself, which may
// be made ready on a thread of its own at start-up and handed over once. The status wording
// lives in player_status, the playlists and their bounds in playlist and playlist_fetch.
#include <mpv/client.h>

#include <QElapsedTimer>
#include <QMetaObject>
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <optional>
#include <thread>

#include "mpv_player_private.h"
#include "player/media_player.h"
#include "player_status.h"
#include "playlist.h"
#include "playlist_fetch.h"
#include "texts/ascii.h"

namespace qv {
namespace {

constexpr int kMaxReconnects = 5;
constexpr int kDefaultReconnectMs = 1000;
// A stream that played this long before dropping gets a fresh round of reconnects.
constexpr qint64 kSteadyPlayMs = 15000;
// How long a link may take to bring audio, and a stream may stall, before it is given up on.
constexpr int kDefaultStreamWaitMs = 15000;
constexpr int64_t kNoEntry = std::numeric_limits<int64_t>::max();
constexpr size_t kLogLines = 16;

struct MpvDestroy {
    void operator()(mpv_handle* h) const { mpv_terminate_destroy(h); }
};
using MpvHandle = std::unique_ptr<mpv_handle, MpvDestroy>;

// A time in ms from the environment (tests shorten the waits), else the default.
int MsFromEnvironment(const char* name, int fallback) {
    const char* ms = std::getenv(name);
    return ms && *ms ? std::clamp(std::atoi(ms), 1, 60000) : fallback;
}

Failure FailureOf(PlaylistProblem problem) {
    switch (problem) {
        case PlaylistProblem::Loop:
            return Failure::PlaylistLoop;
        case PlaylistProblem::TooDeep:
            return Failure::PlaylistTooDeep;
        case PlaylistProblem::Empty:
            break;
    }
    return Failure::PlaylistEmpty;
}

// libmpv made and initialised with the player's options, or null. It touches no Qt object, so it
// may run off the UI thread; the caller sees to LC_NUMERIC being "C" (libmpv checks it).
MpvHandle MakeEngine() {
    MpvHandle engine(mpv_create());
    if (!engine)
        return engine;
    mpv_handle* h = engine.get();
    const char* ao = std::getenv("QUORVIN_AO");
    const std::pair<const char*, const char*> options[] = {
        {"config", "no"},
        {"terminal", "no"},
        {"msg-level", "all=no"},
        // No scripts: nothing here shows mpv's on-screen console or statistics, and each script
        // would cost a Lua state, a thread and a subtitle renderer with its fonts.
        {"load-scripts", "no"},
        {"load-stats-overlay", "no"},
        {"load-osd-console", "no"},
        {"load-auto-profiles", "no"},
        {"ytdl", "no"},
        {"osc", "no"},
        {"input-default-bindings", "no"},
        {"input-vo-keyboard", "no"},
        {"vid", "no"},
        {"video", "no"},
        {"vo", "null"},
        {"force-window", "no"},
        {"audio-display", "no"},
        {"idle", "yes"},
        {"volume", "100"},
        {"volume-max", "100"},
        {"network-timeout", "10"},
        // mpv would follow playlists itself, without bound; the player reads them (playlist.h).
        {"demuxer", "lavf"},
        // A radio never seeks back: keep no played audio, or memory grows for as long as it plays.
        {"demuxer-max-back-bytes", "0"},
        {"user-agent", "Quorvin/1.0"},
        {"audio-client-name", "quorvin"},
        {"ao", ao && *ao ? ao : nullptr},
    };
    for (const auto& [name, value] : options) {
        if (value)
            mpv_set_option_string(h, name, value);
    }
    if (mpv_initialize(h) < 0)
        engine.reset();
    return engine;
}

// The engine made ready at start-up on a thread of its own (PrepareMpvEngine), until the first
// player made afterwards claims it and, when it first needs it, takes it.
class PreparedEngine {
  public:
    ~PreparedEngine() { take(); }

    // Starts making one, unless one is already on its way to a player.
    void start() {
        if (thread_.joinable())
            return;
        claimed_ = false;
        thread_ = std::thread([this] { engine_ = MakeEngine(); });
    }
    // True for the first caller after start(), which is then the one to take().
    bool claim() {
        if (!thread_.joinable() || claimed_)
            return false;
        claimed_ = true;
        return true;
    }
    // Waits for the engine to be ready; the handover happens here, once.
    MpvHandle take() {
        if (thread_.joinable())
            thread_.join();
        return std::move(engine_);
    }

  private:
    std::thread thread_;
    MpvHandle engine_;  // written by the thread, read only after joining it
    bool claimed_ = false;
};

PreparedEngine& Prepared() {
    static PreparedEngine engine;
    return engine;
}

class Core;

struct PropertyHandler {
    const char* name;
    mpv_format format;
    void (*apply)(Core&, const mpv_event_property&);
};

class Core final : public QObject, public std::enable_shared_from_this<Core> {
  public:
    Core();
    ~Core() override { shutdown(); }

    void shutdown();
    void setURL(const Text& link);
    void play();
    void stop();
    void setVolume(int volume);
    [[nodiscard]] const Text& link() const { return link_; }
    [[nodiscard]] const Text& status() const { return status_; }
    // The engine, taken over first if it was being made ready elsewhere; null without one.
    mpv_handle* handle();
    [[nodiscard]] bool preparedEngine() const { return prepared_; }

    std::function<void()> notify;

  private:
    using Phase = PlayerPhase;

    static void Wakeup(void* self);
    void attach(MpvHandle engine);
    void drain();
    void onEvent(const mpv_event& e);
    void onLoaded();
    void settle(const mpv_event_end_file& end);
    void load(bool secondTry);
    void start(const std::string& url);
    void tryNext();
    void readPlaylist();
    void checkVariants();
    void readVariant();
    void giveUp();
    void retryLater();
    void halt();
    [[nodiscard]] bool unexpectedEnd(int reason) const;
    void update();
    void refresh();

    void onCoreIdle(const mpv_event_property& p);
    void onPausedForCache(const mpv_event_property& p);
    void onBuffering(const mpv_event_property& p);
    void onBitrate(const mpv_event_property& p);
    void onMetadata(const mpv_event_property& p);

    static const PropertyHandler kProperties[];

    MpvHandle h_;
    bool claimed_ = false;   // the prepared engine is this player's, not yet taken
    bool prepared_ = false;  // the engine in use is the one PrepareMpvEngine made
    Text link_;
    Text status_;
    Text failure_;
    Phase phase_ = Phase::Idle;
    int64_t minId_ = kNoEntry;  // entries below it belong to earlier loads
    int64_t currentId_ = -1;
    bool mms_ = false;  // the station's mms:// link, opened as mmsh: mmst comes next
    bool coreIdle_ = true;
    bool pausedForCache_ = false;
    int64_t bufferPercent_ = -1;
    long kbps_ = 0;
    Text title_;
    double duration_ = -1;  // the length known when the load began playing, -1 unknown
    bool live_ = true;      // no length known in advance: a radio stream, which never ends
    bool played_ = false;   // this load reached playback
    QElapsedTimer playing_;
    int attempt_ = 0;  // reconnects in the current round; 0 = not reconnecting
    int reconnectBaseMs_ = MsFromEnvironment("QUORVIN_RECONNECT_MS", kDefaultReconnectMs);
    QTimer retry_;
    // Runs while a load waits for audio, to open or after a stall; when it fires, the load is
    // given up on.
    QTimer patience_;
    OpenLog log_;                              // lower-cased warnings of the current load
    std::optional<mpv_event_end_file> ended_;  // the current load's end, judged after draining
    PlaylistWalk walk_;                        // the station link and the playlists it leads to
    PlaylistFetch fetch_;
    // While the engine opens an HLS link: the same playlists, read beside it (see VariantCheck).
    std::optional<VariantCheck> variants_;
    PlaylistFetch variantFetch_;
    int generation_ = 0;  // bumped by every load and stop; late playlist reads are dropped
};

const PropertyHandler Core::kProperties[] = {
    {"core-idle", MPV_FORMAT_FLAG, [](Core& c, const mpv_event_property& p) { c.onCoreIdle(p); }},
    {"paused-for-cache", MPV_FORMAT_FLAG,
     [](Core& c, const mpv_event_property& p) { c.onPausedForCache(p); }},
    {"cache-buffering-state", MPV_FORMAT_INT64,
     [](Core& c, const mpv_event_property& p) { c.onBuffering(p); }},
    {"audio-bitrate", MPV_FORMAT_DOUBLE,
     [](Core& c, const mpv_event_property& p) { c.onBitrate(p); }},
    {"metadata", MPV_FORMAT_NODE, [](Core& c, const mpv_event_property& p) { c.onMetadata(p); }},
};

Core::Core() : status_(ComposeStatus({})) {
    retry_.setSingleShot(true);
    QObject::connect(&retry_, &QTimer::timeout, this, [this] { load(false); });
    patience_.setSingleShot(true);
    patience_.setInterval(MsFromEnvironment("QUORVIN_STREAM_WAIT_MS", kDefaultStreamWaitMs));
    QObject::connect(&patience_, &QTimer::timeout, this, [this] { giveUp(); });
    claimed_ = Prepared().claim();
    if (claimed_)
        return;  // taken when first needed, so that it has the longest time to get ready
    // libmpv refuses to start under a locale whose decimal point is not '.'.
    std::setlocale(LC_NUMERIC, "C");
    attach(MakeEngine());
}

mpv_handle* Core::handle() {
    if (claimed_) {
        claimed_ = false;
        attach(Prepared().take());
        prepared_ = h_ != nullptr;
    }
    return h_.get();
}

void Core::attach(MpvHandle engine) {
    h_ = std::move(engine);
    if (!h_)
        return;
    mpv_handle* h = h_.get();
    // Verbose, to learn early that a link is HLS; only warnings are kept (log_).
    mpv_request_log_messages(h, "v");
    for (size_t i = 0; i < std::size(kProperties); ++i) {
        mpv_observe_property(h, i + 1, kProperties[i].name, kProperties[i].format);
    }
    // Everything the callback needs stands now.
    mpv_set_wakeup_callback(h, &Core::Wakeup, this);
}

void Core::Wakeup(void* self) {
    auto* core = static_cast<Core*>(self);
    QMetaObject::invokeMethod(
        core, [core] { core->drain(); }, Qt::QueuedConnection);
}

void Core::shutdown() {
    notify = nullptr;
    retry_.stop();
    patience_.stop();
    fetch_.cancel();
    variantFetch_.cancel();
    ++generation_;
    if (claimed_) {
        claimed_ = false;
        Prepared().take();  // never needed: made ready for nothing, and ended here
    }
    if (!h_)
        return;
    mpv_set_wakeup_callback(h_.get(), nullptr, nullptr);
    h_.reset();
}

void Core::drain() {
    auto keep = shared_from_this();  // a status handler may destroy the player
    while (h_) {
        mpv_event* e = mpv_wait_event(h_.get(), 0);
        if (e->event_id == MPV_EVENT_NONE)
            break;
        onEvent(*e);
    }
    // mpv hands over log lines after the events they explain, so an end is judged only now.
    if (h_ && ended_) {
        auto end = *ended_;
        ended_.reset();
        settle(end);
    }
}

void Core::onEvent(const mpv_event& e) {
    switch (e.event_id) {
        case MPV_EVENT_START_FILE:
            currentId_ = static_cast<mpv_event_start_file*>(e.data)->playlist_entry_id;
            return;
        case MPV_EVENT_FILE_LOADED:
            if (currentId_ >= minId_ && phase_ == Phase::Connecting)
                onLoaded();
            return;
        case MPV_EVENT_END_FILE: {
            auto end = *static_cast<mpv_event_end_file*>(e.data);
            if (end.playlist_entry_id >= minId_)
                ended_ = end;
            return;
        }
        case MPV_EVENT_PROPERTY_CHANGE: {
            const uint64_t id = e.reply_userdata;
            if (id >= 1 && id <= std::size(kProperties)) {
                const PropertyHandler& handler = kProperties[id - 1];
                handler.apply(*this, *static_cast<mpv_event_property*>(e.data));
            }
            return;
        }
        case MPV_EVENT_LOG_MESSAGE: {
            auto* m = static_cast<mpv_event_log_message*>(e.data);
            if (m->log_level <= MPV_LOG_LEVEL_WARN) {
                log_.push_back(AsciiLowered(std::string(m->prefix) + ": " + m->text));
                if (log_.size() > kLogLines)
                    log_.pop_front();
            } else if (phase_ == Phase::Connecting && !variants_ &&
                       std::string_view(m->prefix) == "lavf" &&
                       std::string_view(m->text).substr(0, 12) == "Found 'hls' ") {
                checkVariants();
            }
            return;
        }
        default:
            return;
    }
}

void Core::onLoaded() {
    // The engine is past the playlists: whatever they named, it did not loop in them.
    variantFetch_.cancel();
    variants_.reset();
    int flag = 1;
    mpv_get_property(h_.get(), "core-idle", MPV_FORMAT_FLAG, &flag);
    coreIdle_ = flag != 0;
    // Only a file whose size the server stated is finite; mpv shortens a stream's duration to
    // what has arrived, so it is judged now, not at the end.
    int64_t size = -1;
    live_ = mpv_get_property(h_.get(), "file-size", MPV_FORMAT_INT64, &size) < 0 || size <= 0;
    duration_ = -1;
    mpv_get_property(h_.get(), "duration", MPV_FORMAT_DOUBLE, &duration_);
    phase_ = Phase::Loaded;
    update();
}

bool Core::unexpectedEnd(int reason) const {
    if (reason == MPV_END_FILE_REASON_ERROR)
        return true;
    // A live stream has no end; a file that ends well before its stated length was cut off.
    if (live_ || duration_ <= 0)
        return true;
    double playedSec = playing_.isValid() ? static_cast<double>(playing_.elapsed()) / 1000 : 0;
    return playedSec < duration_ - 5;
}

void Core::settle(const mpv_event_end_file& end) {
    if (end.reason != MPV_END_FILE_REASON_EOF && end.reason != MPV_END_FILE_REASON_ERROR)
        return;
    if (phase_ != Phase::Connecting && phase_ != Phase::Loaded)
        return;
    const bool error = end.reason == MPV_END_FILE_REASON_ERROR;
    if (played_) {
        if (unexpectedEnd(end.reason)) {
            retryLater();
        } else if (auto next = walk_.next()) {
            mms_ = false;
            start(*next);  // a finite file played to its end: the playlist goes on
        } else {
            phase_ = Phase::Idle;
            update();
        }
        return;
    }
    const bool formatError =
        end.error == MPV_ERROR_UNKNOWN_FORMAT || end.error == MPV_ERROR_NOTHING_TO_PLAY;
    failure_ = FailureText(ClassifyFailure(formatError, log_));
    if (error && NotAStream(formatError, log_) && PlaylistFetch::CanRead(walk_.current())) {
        readPlaylist();  // mpv reads no playlists: this may be one
    } else if (error && mms_ && attempt_ == 0) {
        load(true);
    } else {
        tryNext();
    }
}

// The walk's next link; when none is left, the load has failed.
void Core::tryNext() {
    if (auto next = walk_.next()) {
        mms_ = false;
        start(*next);
    } else if (attempt_ > 0) {
        retryLater();
    } else {
        halt();
        phase_ = Phase::Failed;
        update();
    }
}

void Core::readPlaylist() {
    const int generation = generation_;
    fetch_.get(walk_.current(), [this, generation](const FetchedText& got) {
        if (generation != generation_ || !h_)
            return;  // stopped or given another link meanwhile
        const Playlist playlist = ReadPlaylist(got.text, got.address, got.contentType);
        if (playlist.form != PlaylistForm::None) {
            if (auto problem = walk_.expand(playlist, got.address))
                failure_ = FailureText(FailureOf(*problem));
        }
        tryNext();
    });
}

void Core::checkVariants() {
    if (!PlaylistFetch::CanRead(walk_.current()))
        return;
    variants_.emplace(walk_.seen(), walk_.current());
    readVariant();
}

void Core::readVariant() {
    const std::optional<std::string> next = variants_->next();
    if (!next)
        return;
    const int generation = generation_;
    variantFetch_.get(*next, [this, generation](const FetchedText& got) {
        if (generation != generation_ || !h_ || !variants_)
            return;
        if (auto problem = variants_->read(got.text, got.address)) {
            failure_ = FailureText(FailureOf(*problem));
            halt();
            tryNext();
            return;
        }
        readVariant();
    });
}

// Waited too long for audio: to open a link, or after the stream stalled.
void Core::giveUp() {
    if (phase_ != Phase::Connecting && phase_ != Phase::Loaded)
        return;
    const bool dropped = played_;
    halt();
    if (dropped) {
        retryLater();
        return;
    }
    failure_ = FailureText(Failure::NoAudio);
    tryNext();
}

void Core::retryLater() {
    if (playing_.isValid() && playing_.elapsed() >= kSteadyPlayMs)
        attempt_ = 0;
    if (attempt_ >= kMaxReconnects) {
        attempt_ = 0;
        minId_ = kNoEntry;
        failure_ = FailureText(Failure::GaveUp);
        phase_ = Phase::Failed;
        update();
        return;
    }
    ++attempt_;
    minId_ = kNoEntry;
    phase_ = Phase::Waiting;
    retry_.start(reconnectBaseMs_ << (attempt_ - 1));
    update();
}

// mpv stops what it was doing; its late reports and any playlist read are dropped.
void Core::halt() {
    retry_.stop();
    fetch_.cancel();
    variantFetch_.cancel();
    variants_.reset();
    ++generation_;
    minId_ = kNoEntry;
    if (h_) {
        const char* args[] = {"stop", nullptr};
        mpv_command(h_.get(), args);
    }
}

// Loads the station link afresh.
void Core::load(bool secondTry) {
    std::string url = Utf8(link_);
    walk_ = PlaylistWalk(url);
    walk_.next();
    const bool mms = StartsWithNoCase(url, "mms://");
    mms_ = mms && !secondTry;
    if (mms)
        url = (secondTry ? "mmst://" : "mmsh://") + url.substr(6);
    start(url);
}

// Opens one link: the station's, or an entry of a playlist it led to.
void Core::start(const std::string& url) {
    retry_.stop();
    patience_.stop();
    fetch_.cancel();
    variantFetch_.cancel();
    variants_.reset();
    ++generation_;
    if (!h_)
        return;
    coreIdle_ = true;
    pausedForCache_ = false;
    bufferPercent_ = -1;
    kbps_ = 0;
    title_.clear();
    duration_ = -1;
    live_ = true;
    played_ = false;
    playing_.invalidate();
    log_.clear();
    ended_.reset();
    const char* args[] = {"loadfile", url.c_str(), "replace", nullptr};
    mpv_node result{};
    minId_ = kNoEntry;
    if (mpv_command_ret(h_.get(), args, &result) >= 0) {
        if (result.format == MPV_FORMAT_NODE_MAP) {
            for (int i = 0; i < result.u.list->num; ++i) {
                const mpv_node& v = result.u.list->values[i];
                if (std::string_view(result.u.list->keys[i]) == "playlist_entry_id" &&
                    v.format == MPV_FORMAT_INT64) {
                    minId_ = v.u.int64;
                }
            }
        }
        mpv_free_node_contents(&result);
        phase_ = Phase::Connecting;
    } else {
        failure_ = FailureText(Failure::CannotOpen);
        phase_ = Phase::Failed;
    }
    update();
}

void Core::setURL(const Text& link) {
    auto keep = shared_from_this();
    handle();
    link_ = link;
    attempt_ = 0;
    if (!link_.empty()) {
        load(false);
        return;
    }
    halt();
    phase_ = Phase::Idle;
    update();
}

void Core::play() {
    auto keep = shared_from_this();
    if (!handle() || link_.empty() || phase_ == Phase::Connecting || phase_ == Phase::Loaded)
        return;
    attempt_ = 0;
    load(false);
}

void Core::stop() {
    auto keep = shared_from_this();
    if (!handle())
        return;
    halt();
    attempt_ = 0;
    phase_ = Phase::Stopped;
    update();
}

void Core::setVolume(int volume) {
    if (!handle())
        return;
    double v = std::clamp(volume, 0, 100);
    mpv_set_property(h_.get(), "volume", MPV_FORMAT_DOUBLE, &v);
}

// After every change of state: notes the start of playback, bounds the wait for audio, and
// shows the status.
void Core::update() {
    const bool audio = phase_ == Phase::Loaded && !coreIdle_;
    if (audio && !played_) {
        played_ = true;
        playing_.start();
    }
    const bool waiting = phase_ == Phase::Connecting || (phase_ == Phase::Loaded && !audio);
    if (!waiting) {
        patience_.stop();
    } else if (!patience_.isActive()) {
        patience_.start();
    }
    refresh();
}

// Composes the status from the state, and raises the event when it changed.
void Core::refresh() {
    PlayerState state;
    state.phase = phase_;
    state.attempt = attempt_;
    state.playing = !coreIdle_;
    state.pausedForCache = pausedForCache_;
    state.bufferPercent = bufferPercent_;
    state.kbps = kbps_;
    state.title = title_;
    state.link = link_;
    state.failure = failure_;
    Text next = ComposeStatus(state);
    if (next == status_)
        return;
    status_ = std::move(next);
    if (auto cb = notify)
        cb();
}

void Core::onCoreIdle(const mpv_event_property& p) {
    if (p.format != MPV_FORMAT_FLAG)
        return;
    coreIdle_ = *static_cast<int*>(p.data) != 0;
    update();
}

void Core::onPausedForCache(const mpv_event_property& p) {
    pausedForCache_ = p.format == MPV_FORMAT_FLAG && *static_cast<int*>(p.data) != 0;
    update();
}

void Core::onBuffering(const mpv_event_property& p) {
    bufferPercent_ = p.format == MPV_FORMAT_INT64 ? *static_cast<int64_t*>(p.data) : -1;
    update();
}

void Core::onBitrate(const mpv_event_property& p) {
    if (p.format != MPV_FORMAT_DOUBLE)
        return;  // unavailable: keep what was shown
    long kbps = std::lround(*static_cast<double*>(p.data) / 1000);
    // Only a real change: the estimate wobbles from second to second.
    if (kbps > 0 && (kbps_ == 0 || std::labs(kbps - kbps_) * 10 > kbps_))
        kbps_ = kbps;
    update();
}

void Core::onMetadata(const mpv_event_property& p) {
    if (p.format != MPV_FORMAT_NODE)
        return;
    const auto* node = static_cast<mpv_node*>(p.data);
    if (node->format != MPV_FORMAT_NODE_MAP)
        return;
    Text icy, tag;
    for (int i = 0; i < node->u.list->num; ++i) {
        const mpv_node& v = node->u.list->values[i];
        if (v.format != MPV_FORMAT_STRING)
            continue;
        const std::string key = AsciiLowered(node->u.list->keys[i]);
        if (key == "icy-title")
            icy = DecodeStreamTitle(v.u.string);
        if (key == "title")
            tag = DecodeStreamTitle(v.u.string);
    }
    title_ = icy.empty() ? tag : icy;
    update();
}

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
    MpvPlayer() : core_(std::make_shared<Core>()) {
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
    [[nodiscard]] mpv_handle* handle() { return core_->handle(); }
    [[nodiscard]] bool preparedEngine() const { return core_->preparedEngine(); }

  private:
    std::shared_ptr<Core> core_;
};

}  // namespace

void PrepareMpvEngine() {
    Prepared().start();
}

std::unique_ptr<MediaPlayer> CreateMpvPlayer() {
    return std::make_unique<MpvPlayer>();
}

bool UsesPreparedEngineForTest(MediaPlayer& player) {
    auto* mpv = dynamic_cast<MpvPlayer*>(&player);
    return mpv && mpv->handle() && mpv->preparedEngine();
}

std::optional<std::string> MpvPropertyForTest(MediaPlayer& player, const char* name) {
    auto* mpv = dynamic_cast<MpvPlayer*>(&player);
    if (!mpv || !mpv->handle())
        return std::nullopt;
    char* value = mpv_get_property_string(mpv->handle(), name);
    if (!value)
        return std::nullopt;
    std::string out(value);
    mpv_free(value);
    return out;
}

}  // namespace qv
