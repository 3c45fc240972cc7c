// The real libmpv player (ao=null) against the loopback stream server.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QThread>
#include <cmath>
#include <cstdlib>

#include "kit/sealed.h"
#include "kit/stream_server.h"
#include "mpv_player_private.h"
#include "player/media_player.h"
#include "tests/support/support.h"

namespace qv {
namespace {

using kit::StreamServer;
using test::WaitUntil;

constexpr int kWaitMs = 10000;

bool Begins(const Text& text, const char* utf8Prefix) {
    return text.rfind(Gbk(utf8Prefix), 0) == 0;
}

// A player whose status events are recorded, with the thread each one ran on.
class PlayerTest : public ::testing::Test {
  protected:
    void SetUp() override { MakePlayer(); }

    // A new player with the waits as they stand now.
    void MakePlayer() {
        player = nullptr;
        player = CreateMpvPlayer(timings);
        player->onStatusChange = [this] {
            offThread |= QThread::currentThread() != QCoreApplication::instance()->thread();
            if (!seen.empty() && seen.back() == player->status())
                unchanged = true;
            seen.push_back(player->status());
        };
    }

    void TearDown() override {
        player.reset();
        EXPECT_FALSE(offThread) << "a status event ran off the UI thread";
        EXPECT_FALSE(unchanged) << "a status event came with an unchanged text";
    }

    // Waits for a status that stays until the next step of the test.
    bool WaitFor(const char* utf8Prefix, int ms = kWaitMs) {
        return WaitUntil([&] { return Begins(player->status(), utf8Prefix); }, ms);
    }
    // The first status from `from` on that begins with the prefix, or npos.
    [[nodiscard]] size_t FirstSeen(const char* utf8Prefix, size_t from = 0) const {
        for (size_t i = from; i < seen.size(); ++i) {
            if (Begins(seen[i], utf8Prefix))
                return i;
        }
        return std::string::npos;
    }
    // Waits for a status that may pass before a look at the current one would catch it (one
    // that lasts as long as a reconnect's pause, or a second of audio).
    bool Reached(const char* utf8Prefix, size_t from = 0, int ms = kWaitMs) {
        return WaitUntil([&] { return FirstSeen(utf8Prefix, from) != std::string::npos; }, ms);
    }
    [[nodiscard]] bool EverBegan(const char* utf8Prefix) const {
        return FirstSeen(utf8Prefix) != std::string::npos;
    }
    [[nodiscard]] std::string Shown() const { return Utf8(player->status()); }
    // A new player that waits `ms` for a stream's audio instead of the usual time.
    void WaitingForAudio(int ms) {
        timings.streamWaitMs = ms;
        MakePlayer();
    }

    SessionTimings timings = [] {
        SessionTimings t;
        t.reconnectMs = 50;
        return t;
    }();
    std::unique_ptr<MediaPlayer> player;
    std::vector<Text> seen;
    bool offThread = false;
    bool unchanged = false;
};

TEST_F(PlayerTest, PlaysStopsAndPlaysAgain) {
    StreamServer server;
    ASSERT_TRUE(server.running());
    EXPECT_EQ(player->status(), Gbk("准备就绪"));
    const Text link = server.url("/station1");

    player->setURL(link);
    // The connecting text comes inside the write of the link.
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), Gbk("正在连接…"));
    EXPECT_EQ(player->URL(), link);

    ASSERT_TRUE(WaitFor("正在播放")) << Shown();
    // No title sent: the link names what plays; the bit rate follows once mpv knows it.
    EXPECT_NE(player->status().find(link), Text::npos) << Shown();
    EXPECT_TRUE(WaitUntil([&] { return Shown().find("128 kbps") != std::string::npos; }, kWaitMs))
        << Shown();

    auto controls = player->controls();
    controls->stop();
    EXPECT_EQ(player->status(), Gbk("已停止"));
    test::Pump(500);  // mpv's own end-of-file report must not change the text
    EXPECT_EQ(player->status(), Gbk("已停止"));

    controls->play();
    ASSERT_TRUE(WaitFor("正在播放")) << Shown();
    EXPECT_EQ(server.count("GET /station1"), 2);
}

TEST_F(PlayerTest, EmptyLinkUnloads) {
    StreamServer server;
    player->setURL(server.url("/station1"));
    ASSERT_TRUE(WaitFor("正在播放")) << Shown();
    player->setURL("");
    EXPECT_EQ(player->status(), Gbk("准备就绪"));
    EXPECT_EQ(player->URL(), "");
    test::Pump(500);
    EXPECT_EQ(player->status(), Gbk("准备就绪"));
    // play with no link has nothing to play
    player->controls()->play();
    EXPECT_EQ(player->status(), Gbk("准备就绪"));
}

TEST_F(PlayerTest, GbkLinkIsKeptAndSentAsUtf8) {
    StreamServer server;
    const Text link = server.url(Gbk("/电台一"));
    player->setURL(link);
    EXPECT_EQ(player->URL(), link);
    ASSERT_TRUE(WaitFor("正在播放")) << Shown();
    auto lines = server.requests();
    ASSERT_FALSE(lines.empty());
    const std::string& got = lines.front();
    EXPECT_TRUE(got == "GET /电台一" || got == "GET /%E7%94%B5%E5%8F%B0%E4%B8%80") << got;
}

TEST_F(PlayerTest, LinksThatCannotPlayFail) {
    StreamServer server;
    const kit::RefusedPort refused;
    const struct {
        std::string link;
        const char* reason;
    } cases[] = {
        {refused.url("/x"), "服务器拒绝连接"},
        {server.url("/html"), "这不是音频流"},
        {server.url("/404"), "服务器上没有这个电台"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link);
        seen.clear();
        player->setURL(c.link);
        ASSERT_TRUE(WaitFor("无法播放：")) << Shown();
        EXPECT_NE(Shown().find(c.reason), std::string::npos) << Shown();
        EXPECT_FALSE(EverBegan("正在播放"));
        test::Pump(300);  // and no reconnect follows a link that never played
        EXPECT_TRUE(Begins(player->status(), "无法播放：")) << Shown();
    }
}

TEST_F(PlayerTest, DroppedStreamReconnectsThenGivesUp) {
    StreamServer server;
    player->setURL(server.url("/drop1"));
    ASSERT_TRUE(Reached("正在播放")) << Shown();
    ASSERT_TRUE(Reached("连接中断，正在重新连接（第 1 次）")) << Shown();
    const size_t reconnecting = FirstSeen("连接中断，正在重新连接（第 1 次）");
    ASSERT_TRUE(WaitUntil([&] { return server.count("GET /drop1") >= 2; }, kWaitMs));
    ASSERT_TRUE(Reached("正在播放", reconnecting)) << Shown();
    // The server drops every time: after a bounded number of tries the player says so.
    ASSERT_TRUE(WaitFor("连接中断，已停止重试", 40000)) << Shown();
    EXPECT_EQ(server.count("GET /drop1"), 6);
    EXPECT_TRUE(EverBegan("连接中断，正在重新连接（第 5 次）"));
    test::Pump(500);
    EXPECT_EQ(server.count("GET /drop1"), 6);
}

TEST_F(PlayerTest, FiniteFilePlaysToItsEndWithoutReconnecting) {
    StreamServer server;
    player->setURL(server.url("/file1"));
    ASSERT_TRUE(Reached("正在播放")) << Shown();
    ASSERT_TRUE(WaitFor("准备就绪")) << Shown();
    test::Pump(500);
    EXPECT_EQ(player->status(), Gbk("准备就绪"));
    EXPECT_EQ(server.count("GET /file1"), 1);
    EXPECT_FALSE(EverBegan("连接中断"));
}

TEST_F(PlayerTest, StopDuringReconnectStaysStopped) {
    StreamServer server;
    constexpr int kPauseMs = 1000;  // before the first reconnect
    timings.reconnectMs = kPauseMs;
    MakePlayer();
    player->setURL(server.url("/drop2"));
    // Seen as the current status, so the reconnect it announces has not begun: stop comes first.
    ASSERT_TRUE(WaitFor("连接中断，正在重新连接")) << Shown();
    const int requests = server.count("GET /drop2");
    player->controls()->stop();
    EXPECT_EQ(player->status(), Gbk("已停止"));
    const size_t events = seen.size();
    test::Pump(2 * kPauseMs + 500);  // well past the time the reconnect was due
    EXPECT_EQ(player->status(), Gbk("已停止"));
    EXPECT_EQ(seen.size(), events);
    EXPECT_EQ(server.count("GET /drop2"), requests);
}

TEST_F(PlayerTest, StreamTitleInGbkOrUtf8) {
    for (const char* charset : {"gbk", "utf8"}) {
        SCOPED_TRACE(charset);
        StreamServer server({"--icy-title", "中文电台 Test FM", "--icy-charset", charset});
        ASSERT_TRUE(server.running());
        player->setURL(server.url("/icy"));
        ASSERT_TRUE(WaitFor("正在播放：中文电台 Test FM")) << Shown();
        player->setURL("");
    }
}

// A station's title changes as its programme goes on; each change reaches the status as its
// audio plays. Stations send a title once, in the first metadata block after it changed. (The
// server's first 8 s come at once, so the changes come every 8 s, as they arrive during play.)
TEST_F(PlayerTest, StreamTitlesFollowTheStream) {
    StreamServer server({"--icy-title", "Song", "--icy-title-every", "8", "--icy-changes-only"});
    ASSERT_TRUE(server.running());
    player->setURL(server.url("/icy"));
    size_t from = 0;
    for (const char* title : {"正在播放：Song 0", "正在播放：Song 1", "正在播放：Song 2"}) {
        ASSERT_TRUE(Reached(title, from, 15000)) << title << " never came; " << Shown();
        from = FirstSeen(title, from);
    }
}

// Many stations send their first title only some way into the stream, at an interval of 16000
// bytes: until it comes the link shows, then the title.
TEST_F(PlayerTest, AFirstTitleThatComesLateStillShows) {
    StreamServer server(
        {"--icy-title", "Song", "--icy-metaint", "16000", "--icy-first-title-after", "9"});
    ASSERT_TRUE(server.running());
    const std::string link = server.url("/icy");
    player->setURL(link);
    ASSERT_TRUE(Reached(("正在播放：" + link).c_str())) << Shown();
    EXPECT_TRUE(WaitFor("正在播放：Song", 20000)) << Shown();
}

// A server that declares a metadata interval no stream has still plays, and shows its true bit
// rate.
TEST_F(PlayerTest, AnIntervalNoStreamHasStillPlays) {
    StreamServer server({"--icy-metaint-header", "-5"});
    ASSERT_TRUE(server.running());
    player->setURL(server.url("/icy"));
    ASSERT_TRUE(WaitFor("正在播放")) << Shown();
    EXPECT_TRUE(
        WaitUntil([&] { return Shown().find("（128 kbps）") != std::string::npos; }, kWaitMs))
        << Shown();
}

TEST_F(PlayerTest, PlaylistsLeadToTheirStream) {
    StreamServer server;
    for (const char* kind : {"pls", "m3u", "asx"}) {
        SCOPED_TRACE(kind);
        const std::string path = std::string("/") + kind + "/listed-" + kind;
        player->setURL(server.url(path));
        ASSERT_TRUE(WaitFor("正在播放")) << Shown();
        // mpv reads the link first and, finding no stream, the player reads it as a playlist.
        EXPECT_EQ(server.count("GET " + path), 2);
        const std::string entry = std::string("GET /listed-") + kind;
        EXPECT_EQ(server.count(kind == std::string("asx") ? entry + "?a=1&b=2" : entry), 1);
        EXPECT_EQ(player->URL(), server.url(path));
    }
    // The user's own playlist file, named by its path.
    const std::string list = kit::NewFolder("lists") + "/radio.m3u";
    test::WriteFile(list, "#EXTM3U\n" + server.url("/listed-locally") + "\n");
    player->setURL(list);
    ASSERT_TRUE(WaitFor("正在播放")) << Shown();
    EXPECT_EQ(server.count("GET /listed-locally"), 1);
}

// A playlist that leads back to a link already on the way, or nests without end, fails after a
// few requests and then leaves the server alone.
TEST_F(PlayerTest, PlaylistsThatLoopOrNestEndInFailure) {
    StreamServer server;
    ASSERT_TRUE(server.running());
    for (const char* kind : {"m3u", "pls", "asx"}) {
        const struct {
            std::string path;
            const char* reason;
            size_t requests;  // two for each playlist: mpv's try, then the player's read
        } cases[] = {
            {std::string("/loop/") + kind + "/x", "播放列表指回自身", 2},
            {std::string("/ping/") + kind + "/x", "播放列表指回自身", 4},
            {std::string("/deep/") + kind + "/1", "播放列表嵌套过深", 8},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.path);
            const size_t before = server.requests().size();
            player->setURL(server.url(c.path));
            ASSERT_TRUE(WaitFor("无法播放：")) << Shown();
            EXPECT_NE(Shown().find(c.reason), std::string::npos) << Shown();
            test::Pump(500);
            EXPECT_EQ(server.requests().size() - before, c.requests);
            EXPECT_TRUE(Begins(player->status(), "无法播放：")) << Shown();
        }
    }
}

// An HLS master playlist is read by the engine itself, which would follow a variant that leads
// back, or on without end, as fast as the server answers.
TEST_F(PlayerTest, HlsPlaylistsThatLoopOrNestEndInFailure) {
    StreamServer server;
    ASSERT_TRUE(server.running());
    const struct {
        const char* path;
        const char* reason;
    } cases[] = {
        {"/loop/hls/x", "播放列表指回自身"},
        {"/ping/hls/x", "播放列表指回自身"},
        {"/deep/hls/1", "播放列表嵌套过深"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const size_t before = server.requests().size();
        player->setURL(server.url(c.path));
        ASSERT_TRUE(WaitFor("无法播放：")) << Shown();
        EXPECT_NE(Shown().find(c.reason), std::string::npos) << Shown();
        // The engine may read a few more while the player reads beside it, and what it had on the
        // way when the player gave up may still arrive; then its requests stop. Without the check
        // it reads thousands a second until it runs out of memory or time.
        size_t last = server.requests().size();
        const bool stopped = WaitUntil(
            [&] {
                test::Pump(500);
                const size_t now = server.requests().size();
                const bool quiet = now == last;
                last = now;
                return quiet;
            },
            kWaitMs);
        EXPECT_TRUE(stopped) << "the engine kept reading";
        EXPECT_LT(last - before, 400U);
    }
}

// Two seconds of a tone as a WAV file: what the player would play if it opened the file.
std::string ToneWav() {
    const uint32_t rate = 8000, samples = rate * 2;
    std::string w;
    auto put = [&w](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) w.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
    };
    w += "RIFF";
    put(36 + samples * 2, 4);
    w += "WAVEfmt ";
    put(16, 4);        // format chunk size
    put(1, 2);         // PCM
    put(1, 2);         // mono
    put(rate, 4);      // samples per second
    put(rate * 2, 4);  // bytes per second
    put(2, 2);         // bytes per sample
    put(16, 2);        // bits per sample
    w += "data";
    put(samples * 2, 4);
    for (uint32_t i = 0; i < samples; ++i) {
        const double v = 8000 * std::sin(2 * M_PI * 440 * i / rate);
        put(static_cast<uint16_t>(static_cast<int16_t>(v)), 2);
    }
    return w;
}

// A playlist fetched from a server leads only to the network: an entry naming a file of the user's
// is dropped, never opened.
TEST_F(PlayerTest, RemotePlaylistsNeverOpenLocalFiles) {
    const std::string file = kit::NewFolder("local") + "/tone.wav";
    test::WriteFile(file, ToneWav());
    StreamServer server({"--ref", "file://" + file});
    ASSERT_TRUE(server.running());
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, file.c_str(), IN_OPEN | IN_ACCESS), 0);
    for (const char* kind : {"asx", "m3u", "pls"}) {
        SCOPED_TRACE(kind);
        // Only the local entry: nothing is left to play.
        player->setURL(server.url(std::string("/ref/") + kind));
        ASSERT_TRUE(WaitFor("无法播放：")) << Shown();
        EXPECT_NE(Shown().find("播放列表中没有可播放的地址"), std::string::npos) << Shown();
        // The local entry first, then a stream of the server's: the stream plays.
        player->setURL(server.url(std::string("/ref/") + kind + "/station-" + kind));
        ASSERT_TRUE(WaitFor("正在播放")) << Shown();
        EXPECT_EQ(server.count(std::string("GET /station-") + kind), 1);
        player->setURL("");
    }
    test::Pump(300);
    char events[4096];
    EXPECT_LE(::read(watch, events, sizeof events), 0) << "the local file was opened";
    ::close(watch);
}

// An HLS master playlist from a server names its variants; those that name files of the user's
// are neither read beside the engine nor handed to it.
TEST_F(PlayerTest, RemoteHlsPlaylistsNeverOpenLocalFiles) {
    const std::string folder = kit::NewFolder("canary");
    const std::string media = folder + "/v.m3u8";
    const std::string secret = folder + "/passwd";
    test::WriteFile(media, "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\ntone.wav\n");
    test::WriteFile(secret, "root:x:0:0::/root:/bin/sh\n");
    test::WriteFile(folder + "/tone.wav", ToneWav());
    StreamServer server({"--ref", "file://" + media, "--ref", "file://" + secret});
    ASSERT_TRUE(server.running());
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, folder.c_str(), IN_OPEN | IN_ACCESS), 0);
    player->setURL(server.url("/ref/hls"));
    ASSERT_TRUE(WaitFor("无法播放：")) << Shown();
    test::Pump(500);
    char events[4096];
    EXPECT_LE(::read(watch, events, sizeof events), 0) << "a local file was opened";
    ::close(watch);
}

// However many entries a playlist holds, the player takes its first hundred and tries them in turn.
TEST_F(PlayerTest, HugePlaylistsAreCutShort) {
    StreamServer server;
    ASSERT_TRUE(server.running());
    for (const char* path : {"/many/m3u/200000", "/many/pls/200000", "/many/asx/100000"}) {
        SCOPED_TRACE(path);
        const size_t before = server.requests().size();
        player->setURL(server.url(path));
        ASSERT_TRUE(WaitFor("无法播放：", 60000)) << Shown();
        EXPECT_NE(Shown().find("服务器上没有这个电台"), std::string::npos) << Shown();
        const auto lines = server.requests();
        std::vector<std::string> entries;
        for (size_t i = before; i < lines.size(); ++i) {
            if (lines[i].rfind("GET /404/", 0) == 0)
                entries.push_back(lines[i].substr(9));
        }
        ASSERT_EQ(entries.size(), 100u);
        EXPECT_EQ(entries.front(), "1");
        EXPECT_EQ(entries.back(), "100");
    }
}

// A server that answers and then sends nothing, or sends what is not audio, is given up on.
TEST_F(PlayerTest, StreamsThatNeverBecomeAudioFail) {
    StreamServer server;
    ASSERT_TRUE(server.running());
    WaitingForAudio(1500);
    for (const char* path : {"/silent", "/noise"}) {
        SCOPED_TRACE(path);
        player->setURL(server.url(path));
        ASSERT_TRUE(WaitFor("无法播放：")) << Shown();
        EXPECT_NE(Shown().find("等待音频超时"), std::string::npos) << Shown();
        EXPECT_FALSE(EverBegan("正在播放"));
        EXPECT_FALSE(EverBegan("连接中断"));
    }
}

// A stream that played and then stalls is a dropped stream: the player reconnects.
TEST_F(PlayerTest, StalledStreamReconnects) {
    StreamServer server;
    ASSERT_TRUE(server.running());
    // Short, so the stall shows soon; long enough that the first audio always comes within it.
    WaitingForAudio(3000);
    player->setURL(server.url("/stall"));
    ASSERT_TRUE(Reached("正在播放")) << Shown();
    ASSERT_TRUE(Reached("连接中断，正在重新连接（第 1 次）", 0, 20000)) << Shown();
    EXPECT_TRUE(WaitUntil([&] { return server.count("GET /stall") >= 2; }, kWaitMs));
    EXPECT_FALSE(EverBegan("无法播放"));
}

// Most stations stream HLS: a playlist of short AAC segments in MPEG-TS, made here by ffmpeg.
TEST_F(PlayerTest, HlsStreamPlays) {
    const std::string folder = kit::NewFolder("hls");
    const std::string make =
        "ffmpeg -nostdin -hide_banner -loglevel error -f lavfi -i "
        "sine=frequency=440:sample_rate=44100:duration=8 -c:a aac -b:a 64k "
        "-f hls -hls_time 1 -hls_list_size 0 -hls_segment_filename '" +
        folder + "/seg%d.ts' '" + folder + "/index.m3u8'";
    ASSERT_EQ(std::system(make.c_str()), 0) << "ffmpeg makes the HLS fixture";
    StreamServer server({"--files", folder});
    player->setURL(server.url("/files/index.m3u8"));
    ASSERT_TRUE(WaitFor("正在播放")) << Shown();
    EXPECT_GE(server.count("GET /files/index.m3u8"), 1);
    EXPECT_GE(server.count("GET /files/seg0.ts"), 1);
    EXPECT_FALSE(EverBegan("无法播放"));
}

TEST_F(PlayerTest, VolumeReachesMpv) {
    auto settings = player->settings();
    const struct {
        int given;
        double expected;
    } cases[] = {{37, 37}, {0, 0}, {100, 100}, {150, 100}, {-5, 0}};
    for (const auto& c : cases) {
        settings->setVolume(c.given);
        auto v = MpvPropertyForTest(*player, "volume");
        ASSERT_TRUE(v.has_value());
        EXPECT_DOUBLE_EQ(std::stod(*v), c.expected) << c.given;
    }
}

TEST_F(PlayerTest, HeldObjectsOutliveThePlayer) {
    StreamServer server;
    player->setURL(server.url("/station1"));
    ASSERT_TRUE(WaitFor("正在播放")) << Shown();
    auto controls = player->controls();
    auto settings = player->settings();
    const size_t events = seen.size();
    const int requests = server.count("GET /station1");
    player.reset();
    // Held past the player (as at exit), they do nothing: no playback, no status event.
    controls->play();
    controls->stop();
    settings->setVolume(50);
    test::Pump(500);
    EXPECT_EQ(seen.size(), events);
    EXPECT_EQ(server.count("GET /station1"), requests) << "play after the player went";
    controls.reset();
    settings.reset();
}

TEST_F(PlayerTest, StatusHandlerMayDestroyThePlayer) {
    StreamServer server;
    player->onStatusChange = [this] {
        if (Begins(player->status(), "正在播放"))
            player.reset();
    };
    player->setURL(server.url("/station1"));
    EXPECT_TRUE(WaitUntil([&] { return player == nullptr; }, kWaitMs));
    test::Pump(300);
}

// The engine made ready at start-up: the first player made afterwards takes it over, the next
// makes its own, and both play with their status events on the UI thread.
TEST(PreparedEngineTest, FirstPlayerMadeAfterwardsTakesItOver) {
    StreamServer server;
    ASSERT_TRUE(server.running());
    PrepareMpvEngine();
    auto first = CreateMpvPlayer();
    auto second = CreateMpvPlayer();
    bool offThread = false;
    for (MediaPlayer* p : {first.get(), second.get()}) {
        p->onStatusChange = [&offThread] {
            offThread |= QThread::currentThread() != QCoreApplication::instance()->thread();
        };
    }
    EXPECT_EQ(first->status(), Gbk("准备就绪"));
    // The volume restored at start-up reaches the engine taken over.
    first->settings()->setVolume(37);
    const auto volume = MpvPropertyForTest(*first, "volume");
    ASSERT_TRUE(volume.has_value());
    EXPECT_DOUBLE_EQ(std::stod(*volume), 37);

    first->setURL(server.url("/first"));
    second->setURL(server.url("/second"));
    EXPECT_TRUE(WaitUntil(
        [&] { return Begins(first->status(), "正在播放") && Begins(second->status(), "正在播放"); },
        kWaitMs))
        << Utf8(first->status()) << " / " << Utf8(second->status());
    EXPECT_TRUE(UsesPreparedEngineForTest(*first));
    EXPECT_FALSE(UsesPreparedEngineForTest(*second));
    EXPECT_EQ(server.count("GET /first"), 1);
    EXPECT_EQ(server.count("GET /second"), 1);
    first.reset();
    second.reset();
    EXPECT_FALSE(offThread) << "a status event ran off the UI thread";
}

// A player that goes without ever needing the engine made ready for it takes it along; the
// next engine made ready serves the next player.
TEST(PreparedEngineTest, UnusedEngineGoesWithItsPlayer) {
    PrepareMpvEngine();
    CreateMpvPlayer().reset();
    StreamServer server;
    PrepareMpvEngine();
    auto player = CreateMpvPlayer();
    player->setURL(server.url("/after"));
    EXPECT_TRUE(WaitUntil([&] { return Begins(player->status(), "正在播放"); }, kWaitMs))
        << Utf8(player->status());
    EXPECT_TRUE(UsesPreparedEngineForTest(*player));
}

}  // namespace
}  // namespace qv
