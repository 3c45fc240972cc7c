#include "engine.h"

#include <mpv/client.h>

#include <QMetaObject>
#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <limits>
#include <string_view>
#include <thread>
#include <utility>

#include "texts/ascii.h"

namespace qv {
namespace {

constexpr int64_t kNoEntry = std::numeric_limits<int64_t>::max();
constexpr size_t kLogLines = 16;

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
        // A radio never seeks back, but the stream's titles are timed to the audio the demuxer
        // still holds behind the decoder: with none held, each change is dropped before it is
        // heard. A small, fixed back buffer keeps them (3 s even at 1.4 Mbit/s, well past the
        // decoder's lead over what is heard) and memory flat; lent the unused forward buffer, it
        // would grow to that buffer's size.
        {"demuxer-max-back-bytes", "512KiB"},
        {"demuxer-donate-buffer", "no"},
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

// The engine made ready at start-up on a thread of its own (PrepareEngine), until the first
// Engine made afterwards claims it and, when it first needs it, takes it.
class PreparedEngine {
  public:
    ~PreparedEngine() { take(); }

    // Starts making one, unless one is already on its way.
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

bool Flag(const mpv_event_property& p, bool fallback) {
    return p.format == MPV_FORMAT_FLAG ? *static_cast<int*>(p.data) != 0 : fallback;
}

// The stream's titles from mpv's metadata map; nullopt when it holds no map.
std::optional<Metadata> TitlesOf(const mpv_event_property& p) {
    if (p.format != MPV_FORMAT_NODE)
        return std::nullopt;
    const auto* node = static_cast<mpv_node*>(p.data);
    if (node->format != MPV_FORMAT_NODE_MAP)
        return std::nullopt;
    Metadata titles;
    for (int i = 0; i < node->u.list->num; ++i) {
        const mpv_node& v = node->u.list->values[i];
        if (v.format != MPV_FORMAT_STRING)
            continue;
        const std::string key = AsciiLowered(node->u.list->keys[i]);
        if (key == "icy-title")
            titles.icyTitle = v.u.string;
        if (key == "title")
            titles.tagTitle = v.u.string;
    }
    return titles;
}

}  // namespace

void MpvDestroy::operator()(mpv_handle* handle) const {
    mpv_terminate_destroy(handle);
}

// One row for each property the engine observes: how its changes become events.
struct Engine::PropertyHandler {
    const char* name;
    mpv_format format;
    std::optional<EngineEvent> (*event)(const mpv_event_property&);
};

const Engine::PropertyHandler Engine::kProperties[] = {
    {"core-idle", MPV_FORMAT_FLAG,
     [](const mpv_event_property& p) -> std::optional<EngineEvent> {
         if (p.format != MPV_FORMAT_FLAG)
             return std::nullopt;
         return IdleChanged{Flag(p, true)};
     }},
    {"paused-for-cache", MPV_FORMAT_FLAG,
     [](const mpv_event_property& p) -> std::optional<EngineEvent> {
         return PausedForCache{Flag(p, false)};
     }},
    {"cache-buffering-state", MPV_FORMAT_INT64,
     [](const mpv_event_property& p) -> std::optional<EngineEvent> {
         return Buffering{p.format == MPV_FORMAT_INT64 ? *static_cast<int64_t*>(p.data) : -1};
     }},
    {"audio-bitrate", MPV_FORMAT_DOUBLE,
     [](const mpv_event_property& p) -> std::optional<EngineEvent> {
         if (p.format != MPV_FORMAT_DOUBLE)
             return Bitrate{};
         return Bitrate{*static_cast<double*>(p.data)};
     }},
    {"metadata", MPV_FORMAT_NODE,
     [](const mpv_event_property& p) -> std::optional<EngineEvent> {
         if (auto titles = TitlesOf(p))
             return *titles;
         return std::nullopt;
     }},
};

Engine::Engine() : minId_(kNoEntry) {
    claimed_ = Prepared().claim();
    if (claimed_)
        return;  // taken when first needed, so that it has the longest time to get ready
    // libmpv refuses to start under a locale whose decimal point is not '.'.
    std::setlocale(LC_NUMERIC, "C");
    attach(MakeEngine());
}

Engine::~Engine() {
    shutdown();
}

mpv_handle* Engine::handle() {
    if (claimed_) {
        claimed_ = false;
        attach(Prepared().take());
        prepared_ = h_ != nullptr;
    }
    return h_.get();
}

void Engine::attach(MpvHandle engine) {
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
    mpv_set_wakeup_callback(h, &Engine::Wakeup, this);
}

void Engine::Wakeup(void* self) {
    auto* engine = static_cast<Engine*>(self);
    QMetaObject::invokeMethod(
        engine, [engine] { engine->drain(); }, Qt::QueuedConnection);
}

void Engine::shutdown() {
    onEvent = nullptr;
    if (claimed_) {
        claimed_ = false;
        Prepared().take();  // never needed: made ready for nothing, and ended here
    }
    if (!h_)
        return;
    mpv_set_wakeup_callback(h_.get(), nullptr, nullptr);
    h_.reset();
}

bool Engine::open(const std::string& address) {
    mpv_handle* h = handle();
    minId_ = kNoEntry;
    log_.clear();
    ended_.reset();
    if (!h)
        return false;
    const char* args[] = {"loadfile", address.c_str(), "replace", nullptr};
    mpv_node result{};
    if (mpv_command_ret(h, args, &result) < 0)
        return false;
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
    return true;
}

void Engine::stop() {
    minId_ = kNoEntry;
    ended_.reset();
    if (mpv_handle* h = handle()) {
        const char* args[] = {"stop", nullptr};
        mpv_command(h, args);
    }
}

void Engine::setVolume(int volume) {
    mpv_handle* h = handle();
    if (!h)
        return;
    double v = std::clamp(volume, 0, 100);
    mpv_set_property(h, "volume", MPV_FORMAT_DOUBLE, &v);
}

bool Engine::prepared() {
    return handle() && prepared_;
}

std::optional<std::string> Engine::property(const char* name) {
    mpv_handle* h = handle();
    char* value = h ? mpv_get_property_string(h, name) : nullptr;
    if (!value)
        return std::nullopt;
    std::string out(value);
    mpv_free(value);
    return out;
}

void Engine::emitEvent(const EngineEvent& event) {
    if (auto cb = onEvent)  // a copy: the handler may shut the engine down
        cb(event);
}

void Engine::drain() {
    auto keep = shared_from_this();  // a handler may let go of the engine's last owner
    while (h_) {
        mpv_event* e = mpv_wait_event(h_.get(), 0);
        if (e->event_id == MPV_EVENT_NONE)
            break;
        dispatch(*e);
    }
    // mpv hands over log lines after the events they explain, so an end goes on only now.
    if (h_ && ended_) {
        Ended end = std::move(*ended_);
        ended_.reset();
        end.log = log_;
        emitEvent(end);
    }
}

void Engine::dispatch(const mpv_event& e) {
    switch (e.event_id) {
        case MPV_EVENT_START_FILE:
            currentId_ = static_cast<mpv_event_start_file*>(e.data)->playlist_entry_id;
            return;
        case MPV_EVENT_FILE_LOADED: {
            if (currentId_ < minId_)
                return;
            int idle = 1;
            mpv_get_property(h_.get(), "core-idle", MPV_FORMAT_FLAG, &idle);
            // Only a file whose size the server stated is finite; mpv shortens a stream's
            // duration to what has arrived, so it is read now, not at the end.
            int64_t size = -1;
            const bool sized =
                mpv_get_property(h_.get(), "file-size", MPV_FORMAT_INT64, &size) >= 0 && size > 0;
            double duration = -1;
            mpv_get_property(h_.get(), "duration", MPV_FORMAT_DOUBLE, &duration);
            emitEvent(Loaded{sized, duration, idle != 0});
            return;
        }
        case MPV_EVENT_END_FILE: {
            const auto* end = static_cast<mpv_event_end_file*>(e.data);
            if (end->playlist_entry_id < minId_)
                return;
            Ended ended;
            ended.reason = end->reason == MPV_END_FILE_REASON_EOF     ? EndReason::Eof
                           : end->reason == MPV_END_FILE_REASON_ERROR ? EndReason::Error
                                                                      : EndReason::Other;
            ended.formatError =
                end->error == MPV_ERROR_UNKNOWN_FORMAT || end->error == MPV_ERROR_NOTHING_TO_PLAY;
            ended_ = std::move(ended);
            return;
        }
        case MPV_EVENT_PROPERTY_CHANGE: {
            const uint64_t id = e.reply_userdata;
            if (id < 1 || id > std::size(kProperties))
                return;
            if (auto event = kProperties[id - 1].event(*static_cast<mpv_event_property*>(e.data)))
                emitEvent(*event);
            return;
        }
        case MPV_EVENT_LOG_MESSAGE: {
            const auto* m = static_cast<mpv_event_log_message*>(e.data);
            if (m->log_level <= MPV_LOG_LEVEL_WARN) {
                log_.push_back(AsciiLowered(std::string(m->prefix) + ": " + m->text));
                if (log_.size() > kLogLines)
                    log_.pop_front();
            } else if (std::string_view(m->prefix) == "lavf" &&
                       std::string_view(m->text).substr(0, 12) == "Found 'hls' ") {
                emitEvent(HlsFound{});
            }
            return;
        }
        default:
            return;
    }
}

void PrepareEngine() {
    Prepared().start();
}

}  // namespace qv
