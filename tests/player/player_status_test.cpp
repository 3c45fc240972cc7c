// The player's wording, without the engine: status texts, failure reasons, stream titles.
#include <gtest/gtest.h>

#include <set>

#include "player_status.h"

namespace qv {
namespace {

PlayerState In(PlayerPhase phase) {
    PlayerState state;
    state.phase = phase;
    return state;
}

TEST(PlayerStatus, EachStateHasItsWording) {
    const Text link = "http://127.0.0.1/s";
    PlayerState playing = In(PlayerPhase::Loaded);
    playing.playing = true;
    playing.link = link;
    PlayerState titled = playing;
    titled.title = Gbk("中文电台");
    titled.kbps = 128;
    PlayerState buffering = In(PlayerPhase::Loaded);
    buffering.pausedForCache = true;
    buffering.bufferPercent = 40;
    PlayerState reconnecting = In(PlayerPhase::Waiting);
    reconnecting.attempt = 3;
    PlayerState retrying = reconnecting;
    retrying.phase = PlayerPhase::Connecting;
    PlayerState failed = In(PlayerPhase::Failed);
    failed.failure = FailureText(Failure::NotFound);

    const struct {
        PlayerState state;
        std::string utf8;
    } cases[] = {
        {{}, "准备就绪"},
        {In(PlayerPhase::Stopped), "已停止"},
        {In(PlayerPhase::Connecting), "正在连接…"},
        {playing, "正在播放：" + link},
        {titled, "正在播放：中文电台（128 kbps）"},
        {buffering, "正在缓冲 40%"},
        {In(PlayerPhase::Loaded), "正在缓冲…"},
        {reconnecting, "连接中断，正在重新连接（第 3 次）…"},
        {retrying, "连接中断，正在重新连接（第 3 次）…"},
        {failed, "无法播放：服务器上没有这个电台"},
    };
    for (const auto& c : cases) EXPECT_EQ(Utf8(ComposeStatus(c.state)), c.utf8);
}

TEST(PlayerStatus, FailuresAreToldApart) {
    std::set<Text> texts;
    for (Failure f : {Failure::CannotOpen, Failure::NoServer, Failure::Refused, Failure::TimedOut,
                      Failure::NotFound, Failure::HttpError, Failure::NotAStream, Failure::NoAudio,
                      Failure::PlaylistLoop, Failure::PlaylistTooDeep, Failure::PlaylistEmpty}) {
        const Text text = FailureText(f);
        EXPECT_EQ(text.rfind(Gbk("无法播放："), 0), 0u) << Utf8(text);
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), 11u) << "two failures share a wording";
    // The end of a round of reconnects is no "cannot play": the stream did play.
    EXPECT_EQ(Utf8(FailureText(Failure::GaveUp)), "连接中断，已停止重试");
}

TEST(PlayerStatus, FailureIsReadFromTheEnginesLog) {
    const struct {
        OpenLog log;
        bool formatError;
        Failure expected;
    } cases[] = {
        {{"ffmpeg: tcp: failed to resolve hostname nowhere.invalid: name or service not known"},
         false,
         Failure::NoServer},
        {{"ffmpeg: tcp: connection to tcp://127.0.0.1:9 failed: connection refused"},
         false,
         Failure::Refused},
        {{"ffmpeg: tcp: connection to tcp://10.1.1.1:80 failed: connection timed out"},
         false,
         Failure::TimedOut},
        {{"ffmpeg: http: http error 404 not found"}, false, Failure::NotFound},
        {{"ffmpeg: http: http error 503 service unavailable"}, false, Failure::HttpError},
        {{"cplayer: failed to recognize file format."}, false, Failure::NotAStream},
        {{}, true, Failure::NotAStream},
        // A server error explains more than the engine's "unknown format" that follows it.
        {{"ffmpeg: http: http error 404 not found"}, true, Failure::NotFound},
        {{"cplayer: some other warning"}, false, Failure::CannotOpen},
        {{}, false, Failure::CannotOpen},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.log.empty() ? "(empty log)" : c.log.front());
        EXPECT_EQ(ClassifyFailure(c.formatError, c.log), c.expected);
    }
    EXPECT_TRUE(NotAStream(false, {"x", "cplayer: failed to recognize file format."}));
    EXPECT_FALSE(NotAStream(false, {"ffmpeg: http: http error 404 not found"}));
}

TEST(PlayerStatus, StreamTitlesInUtf8OrGbkBecomeGbk) {
    const std::string gbk = Gbk("中文电台");
    EXPECT_EQ(DecodeStreamTitle("中文电台 Test FM"), Gbk("中文电台 Test FM"));
    EXPECT_EQ(DecodeStreamTitle(gbk), gbk);
    EXPECT_EQ(DecodeStreamTitle("  \t Song\r\n - Artist \x01 "), "Song - Artist");
    EXPECT_EQ(DecodeStreamTitle(" \n "), "");
    // Characters that would reorder or break the status line around the title: the direction
    // marks, embeddings, overrides and isolates, C1 controls, line and paragraph separators.
    const struct {
        std::string raw;
        std::string utf8;
    } invisible[] = {
        {"abc\u202Eexe.txt", "abcexe.txt"},
        {"\u202A\u202B\u202C\u202D\u202ESong\u2066\u2067\u2068\u2069", "Song"},
        {"\u200Eleft\u200F right\u061C", "left right"},
        {"one\u2028two\u2029three\u0085four\u009B", "onetwothreefour"},
        {"\u202E \u4E2D\u6587 \u202C", "\u4E2D\u6587"},
        {"\xe2\x80\xae" + Utf8(Gbk("电台")), "电台"},
    };
    for (const auto& c : invisible) EXPECT_EQ(Utf8(DecodeStreamTitle(c.raw)), c.utf8) << c.raw;
    // The same characters in a GBK title (GB18030 four-byte codes) go as well.
    EXPECT_EQ(Utf8(DecodeStreamTitle(Gbk("abc\u202Eexe.txt"))), "abcexe.txt");
    // Bytes that are neither: nothing breaks, no control byte survives.
    const Text odd = DecodeStreamTitle(std::string("\xff\xfe\x80\x00\x1b[2J", 8));
    for (char c : odd) EXPECT_GE(static_cast<unsigned char>(c), 0x20);
}

}  // namespace
}  // namespace qv
