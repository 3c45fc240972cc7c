// The media player on libmpv. One UI thread: libmpv's wakeup callback only posts a queued call,
// and everything else (events, status, reconnects) happens on the thread that made the player.
#include <mpv/client.h>

#include <QElapsedTimer>
#include <QMetaObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <limits>
#include <memory>
#include <optional>

#include "platform/asx.h"
#include "platform/media_player.h"
#include "platform/mpv_player_private.h"
#include "platform/utf8.h"

namespace qv {
namespace {

constexpr int kMaxReconnects = 5;
constexpr int kDefaultReconnectMs = 1000;
// A stream that played this long before dropping gets a fresh round of reconnects.
constexpr qint64 kSteadyPlayMs = 15000;
constexpr int64_t kNoEntry = std::numeric_limits<int64_t>::max();
// An ASX playlist is a small text; anything longer is not one.
constexpr qint64 kMaxPlaylistBytes = 64 * 1024;
constexpr int kPlaylistTimeoutMs = 10000;

struct MpvDestroy {
    void operator()(mpv_handle* h) const { mpv_terminate_destroy(h); }
};
using MpvHandle = std::unique_ptr<mpv_handle, MpvDestroy>;

const Text& Fixed(const char* utf8) {
    // Each fixed wording is converted once; the map keeps the few distinct literals.
    static std::deque<std::pair<const char*, Text>> cache;
    for (const auto& [key, text] : cache) {
        if (key == utf8)
            return text;
    }
    return cache.emplace_back(utf8, Gbk(utf8)).second;
}

// A stream title as mpv hands it over (raw bytes) -> GBK. Stations send UTF-8 or GBK.
Text DecodeTitle(std::string_view raw) {
    Text t = ValidUtf8(raw) ? Gbk(raw) : Gbk(Utf8(raw));
    t.erase(std::remove_if(t.begin(), t.end(),
                           [](char c) { return static_cast<unsigned char>(c) < 0x20; }),
            t.end());
    size_t b = t.find_first_not_of(' ');
    size_t e = t.find_last_not_of(' ');
    return b == Text::npos ? Text() : t.substr(b, e - b + 1);
}

bool HasPrefixNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(s[i])) != prefix[i])
            return false;
    }
    return true;
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool NotAStream(int error, const std::deque<std::string>& log) {
    return error == MPV_ERROR_UNKNOWN_FORMAT || error == MPV_ERROR_NOTHING_TO_PLAY ||
           std::any_of(log.begin(), log.end(), [](const std::string& l) {
               return l.find("recognize file format") != std::string::npos;
           });
}

// Why a link could not be opened, from mpv's error and the warnings logged while opening it.
Text FailureText(int error, const std::deque<std::string>& log) {
    auto logged = [&](const char* what) {
        return std::any_of(log.begin(), log.end(),
                           [&](const std::string& l) { return l.find(what) != std::string::npos; });
    };
    const char* reason = "无法打开该链接";
    if (logged("resolve") || logged("name or service not known") || logged("no address")) {
        reason = "找不到服务器";
    } else if (logged("refused")) {
        reason = "服务器拒绝连接";
    } else if (logged("timed out") || logged("timeout")) {
        reason = "连接超时";
    } else if (logged("404")) {
        reason = "服务器上没有这个电台";
    } else if (logged("http error") || logged("server returned")) {
        reason = "服务器返回了错误";
    } else if (NotAStream(error, log)) {
        reason = "这不是音频流";
    }
    return Gbk(std::string("无法播放：") + reason);
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
    [[nodiscard]] mpv_handle* handle() const { return h_.get(); }

    std::function<void()> notify;

  private:
    enum class Phase { Idle, Stopped, Connecting, Loaded, Waiting, Failed };

    static void Wakeup(void* self);
    void drain();
    void onEvent(const mpv_event& e);
    void settle(const mpv_event_end_file& end);
    void load(bool secondTry);
    void start(const std::string& url);
    void fetchPlaylist(int error);
    void retryLater();
    [[nodiscard]] bool moreEntriesAfter(int64_t id) const;
    [[nodiscard]] bool unexpectedEnd(int reason) const;
    void refresh();

    void onCoreIdle(const mpv_event_property& p);
    void onPausedForCache(const mpv_event_property& p);
    void onBuffering(const mpv_event_property& p);
    void onBitrate(const mpv_event_property& p);
    void onMetadata(const mpv_event_property& p);

    static const PropertyHandler kProperties[];

    MpvHandle h_;
    Text link_;
    Text status_;
    Text failure_;
    Phase phase_ = Phase::Idle;
    int64_t minId_ = kNoEntry;  // entries below it belong to earlier loads
    int64_t currentId_ = -1;
    bool mms_ = false;  // an mms:// link: mmsh first, then mmst
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
    int reconnectBaseMs_ = kDefaultReconnectMs;
    QTimer retry_;
    std::deque<std::string> log_;              // lower-cased warnings of the current load
    std::optional<mpv_event_end_file> ended_;  // the current load's end, judged after draining
    QNetworkAccessManager* net_ = nullptr;     // made on the first ASX playlist
    bool playlistTried_ = false;               // this load's link was fetched as an ASX playlist
    int generation_ = 0;  // bumped by every load and stop; late replies are dropped
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

Core::Core() : status_(Fixed("准备就绪")) {
    retry_.setSingleShot(true);
    QObject::connect(&retry_, &QTimer::timeout, this, [this] { load(false); });
    if (const char* ms = std::getenv("QUORVIN_RECONNECT_MS"); ms && *ms) {
        reconnectBaseMs_ = std::clamp(std::atoi(ms), 1, 60000);
    }
    // libmpv refuses to start under a locale whose decimal point is not '.'.
    std::setlocale(LC_NUMERIC, "C");
    h_.reset(mpv_create());
    if (!h_)
        return;
    mpv_handle* h = h_.get();
    const char* ao = std::getenv("QUORVIN_AO");
    const std::pair<const char*, const char*> options[] = {
        {"config", "no"},
        {"terminal", "no"},
        {"msg-level", "all=no"},
        {"load-scripts", "no"},
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
    if (mpv_initialize(h) < 0) {
        h_.reset();
        return;
    }
    mpv_request_log_messages(h, "warn");
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
    ++generation_;
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
        case MPV_EVENT_FILE_LOADED: {
            if (currentId_ < minId_ || phase_ != Phase::Connecting)
                return;
            int flag = 1;
            mpv_get_property(h_.get(), "core-idle", MPV_FORMAT_FLAG, &flag);
            coreIdle_ = flag != 0;
            // Only a file whose size the server stated is finite; mpv shortens a stream's
            // duration to what has arrived, so it is judged now, not at the end.
            int64_t size = -1;
            live_ =
                mpv_get_property(h_.get(), "file-size", MPV_FORMAT_INT64, &size) < 0 || size <= 0;
            duration_ = -1;
            mpv_get_property(h_.get(), "duration", MPV_FORMAT_DOUBLE, &duration_);
            phase_ = Phase::Loaded;
            refresh();
            return;
        }
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
            log_.push_back(Lower(std::string(m->prefix) + ": " + m->text));
            if (log_.size() > 16)
                log_.pop_front();
            return;
        }
        default:
            return;
    }
}

bool Core::moreEntriesAfter(int64_t id) const {
    int64_t count = 0;
    if (mpv_get_property(h_.get(), "playlist-count", MPV_FORMAT_INT64, &count) < 0 || count < 1) {
        return false;
    }
    int64_t last = -1;
    std::string name = "playlist/" + std::to_string(count - 1) + "/id";
    mpv_get_property(h_.get(), name.c_str(), MPV_FORMAT_INT64, &last);
    return last > id;
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
    if (end.reason == MPV_END_FILE_REASON_REDIRECT)
        return;  // a playlist: its entries follow
    if (end.reason != MPV_END_FILE_REASON_EOF && end.reason != MPV_END_FILE_REASON_ERROR)
        return;
    if (phase_ != Phase::Connecting && phase_ != Phase::Loaded)
        return;
    if (end.reason == MPV_END_FILE_REASON_ERROR && moreEntriesAfter(end.playlist_entry_id)) {
        return;  // mpv goes on with the playlist's next entry
    }
    const std::string url = Utf8(link_);
    if (end.reason == MPV_END_FILE_REASON_ERROR && !played_ && !playlistTried_ &&
        NotAStream(end.error, log_) &&
        (HasPrefixNoCase(url, "http://") || HasPrefixNoCase(url, "https://"))) {
        fetchPlaylist(end.error);  // mpv cannot read it: it may be an ASX playlist
        return;
    }
    const bool unexpected = unexpectedEnd(end.reason);
    if ((played_ || attempt_ > 0) && unexpected) {
        retryLater();
    } else if (mms_ && end.reason == MPV_END_FILE_REASON_ERROR) {
        load(true);
    } else if (end.reason == MPV_END_FILE_REASON_ERROR || !played_) {
        failure_ = FailureText(end.error, log_);
        phase_ = Phase::Failed;
        refresh();
    } else {
        phase_ = Phase::Idle;  // a finite file played to its end
        refresh();
    }
}

void Core::retryLater() {
    if (playing_.isValid() && playing_.elapsed() >= kSteadyPlayMs)
        attempt_ = 0;
    if (attempt_ >= kMaxReconnects) {
        attempt_ = 0;
        minId_ = kNoEntry;
        failure_ = Fixed("连接中断，已停止重试");
        phase_ = Phase::Failed;
        refresh();
        return;
    }
    ++attempt_;
    minId_ = kNoEntry;
    phase_ = Phase::Waiting;
    retry_.start(reconnectBaseMs_ << (attempt_ - 1));
    refresh();
}

void Core::load(bool secondTry) {
    std::string url = Utf8(link_);
    mms_ = !secondTry && HasPrefixNoCase(url, "mms://");
    if (HasPrefixNoCase(url, "mms://"))
        url = (secondTry ? "mmst://" : "mmsh://") + url.substr(6);
    playlistTried_ = false;
    start(url);
}

void Core::fetchPlaylist(int error) {
    playlistTried_ = true;
    if (!net_)
        net_ = new QNetworkAccessManager(this);
    QNetworkRequest request(QUrl(QString::fromStdString(Utf8(link_))));
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Quorvin/1.0"));
    request.setTransferTimeout(kPlaylistTimeoutMs);
    QNetworkReply* reply = net_->get(request);
    auto body = std::make_shared<std::string>();
    QObject::connect(reply, &QNetworkReply::readyRead, this, [reply, body] {
        const QByteArray more =
            reply->read(kMaxPlaylistBytes + 1 - static_cast<qint64>(body->size()));
        body->append(more.constData(), static_cast<size_t>(more.size()));
        if (static_cast<qint64>(body->size()) > kMaxPlaylistBytes)
            reply->abort();  // a stream of some kind, not a playlist
    });
    const int generation = generation_;
    QObject::connect(reply, &QNetworkReply::finished, this, [this, reply, body, generation, error] {
        reply->deleteLater();
        if (generation != generation_ || !h_)
            return;  // stopped or given another link meanwhile
        const std::vector<std::string> refs =
            static_cast<qint64>(body->size()) <= kMaxPlaylistBytes && LooksLikeAsx(*body)
                ? AsxReferences(*body)
                : std::vector<std::string>();
        if (!refs.empty()) {
            start(AsxAsMemoryPlaylist(refs));
            return;
        }
        failure_ = FailureText(error, log_);
        phase_ = Phase::Failed;
        refresh();
    });
}

void Core::start(const std::string& url) {
    retry_.stop();
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
        failure_ = FailureText(0, log_);
        phase_ = Phase::Failed;
    }
    refresh();
}

void Core::setURL(const Text& link) {
    auto keep = shared_from_this();
    link_ = link;
    attempt_ = 0;
    if (!link_.empty()) {
        load(false);
        return;
    }
    retry_.stop();
    ++generation_;
    minId_ = kNoEntry;
    if (h_) {
        const char* args[] = {"stop", nullptr};
        mpv_command(h_.get(), args);
    }
    phase_ = Phase::Idle;
    refresh();
}

void Core::play() {
    auto keep = shared_from_this();
    if (!h_ || link_.empty() || phase_ == Phase::Connecting || phase_ == Phase::Loaded)
        return;
    attempt_ = 0;
    load(false);
}

void Core::stop() {
    auto keep = shared_from_this();
    if (!h_)
        return;
    retry_.stop();
    ++generation_;
    attempt_ = 0;
    minId_ = kNoEntry;
    const char* args[] = {"stop", nullptr};
    mpv_command(h_.get(), args);
    phase_ = Phase::Stopped;
    refresh();
}

void Core::setVolume(int volume) {
    if (!h_)
        return;
    double v = std::clamp(volume, 0, 100);
    mpv_set_property(h_.get(), "volume", MPV_FORMAT_DOUBLE, &v);
}

void Core::refresh() {
    Text next;
    const Text reconnecting =
        Gbk("连接中断，正在重新连接（第 " + std::to_string(attempt_) + " 次）…");
    switch (phase_) {
        case Phase::Idle:
            next = Fixed("准备就绪");
            break;
        case Phase::Stopped:
            next = Fixed("已停止");
            break;
        case Phase::Waiting:
            next = reconnecting;
            break;
        case Phase::Connecting:
            next = attempt_ > 0 ? reconnecting : Fixed("正在连接…");
            break;
        case Phase::Failed:
            next = failure_;
            break;
        case Phase::Loaded:
            if (!coreIdle_) {
                if (!played_)
                    playing_.start();
                played_ = true;
                next = Fixed("正在播放：") + (title_.empty() ? link_ : title_);
                if (kbps_ > 0)
                    next += Gbk("（" + std::to_string(kbps_) + " kbps）");
            } else if (pausedForCache_ && bufferPercent_ >= 0) {
                next = Gbk("正在缓冲 " + std::to_string(bufferPercent_) + "%");
            } else {
                next = Fixed("正在缓冲…");
            }
            break;
    }
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
    refresh();
}

void Core::onPausedForCache(const mpv_event_property& p) {
    pausedForCache_ = p.format == MPV_FORMAT_FLAG && *static_cast<int*>(p.data) != 0;
    refresh();
}

void Core::onBuffering(const mpv_event_property& p) {
    bufferPercent_ = p.format == MPV_FORMAT_INT64 ? *static_cast<int64_t*>(p.data) : -1;
    refresh();
}

void Core::onBitrate(const mpv_event_property& p) {
    if (p.format != MPV_FORMAT_DOUBLE)
        return;  // unavailable: keep what was shown
    long kbps = std::lround(*static_cast<double*>(p.data) / 1000);
    // Only a real change: the estimate wobbles from second to second.
    if (kbps > 0 && (kbps_ == 0 || std::labs(kbps - kbps_) * 10 > kbps_))
        kbps_ = kbps;
    refresh();
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
        std::string key = Lower(node->u.list->keys[i]);
        if (key == "icy-title")
            icy = DecodeTitle(v.u.string);
        if (key == "title")
            tag = DecodeTitle(v.u.string);
    }
    title_ = icy.empty() ? tag : icy;
    refresh();
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
    [[nodiscard]] mpv_handle* handle() const { return core_->handle(); }

  private:
    std::shared_ptr<Core> core_;
};

}  // namespace

std::unique_ptr<MediaPlayer> CreateMpvPlayer() {
    return std::make_unique<MpvPlayer>();
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
