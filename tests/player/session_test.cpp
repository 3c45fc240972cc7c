// The player's connection rules without the engine: sequences of events on a session with a clock
// of the test's own, and what it answers to each (its commands, then its status).
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "session.h"

namespace qv {
namespace {

std::string Describe(const SessionCommand& c) {
    using Kind = SessionCommand::Kind;
    const std::string timer = c.timer == SessionTimer::Retry ? "retry" : "patience";
    switch (c.kind) {
        case Kind::Open:
            return "open " + c.lead.address;
        case Kind::Halt:
            return "halt";
        case Kind::ReadPlaylist:
            return "read " + c.lead.address;
        case Kind::CheckVariants:
            return "check " + c.lead.address;
        case Kind::EndVariantCheck:
            return "end check";
        case Kind::Arm:
            return "arm " + timer + " " + std::to_string(c.ms);
        case Kind::Disarm:
            return "disarm " + timer;
    }
    return "?";
}

// A session on a clock that moves only when the test says so, and the answers it gives.
class Rig {
  public:
    Rig() : session_(SessionTimings{}, [this] { return now_; }) {}

    // "command; command | status", or "| status" without commands.
    std::string answer(const SessionCommands& commands) {
        std::string text;
        for (const SessionCommand& c : commands) {
            text += (text.empty() ? "" : "; ") + Describe(c);
            if (c.kind == SessionCommand::Kind::ReadPlaylist)
                readTicket_ = c.ticket;
            if (c.kind == SessionCommand::Kind::CheckVariants)
                checkTicket_ = c.ticket;
        }
        return (text.empty() ? "" : text + " ") + "| " + Utf8(session_.status());
    }

    Session& session() { return session_; }
    void wait(int64_t ms) { now_ += ms; }
    [[nodiscard]] int readTicket() const { return readTicket_; }
    [[nodiscard]] int checkTicket() const { return checkTicket_; }

  private:
    int64_t now_ = 1000000;
    Session session_;
    int readTicket_ = -1;
    int checkTicket_ = -1;
};

// One event and the answer it must get; a step of `waitMs` only moves the clock.
struct Step {
    std::string event;
    std::function<SessionCommands(Rig&)> apply;
    std::string answer;
    int64_t waitMs = 0;
};

Step Tune(const std::string& link, std::string answer) {
    return {"tune " + link, [link](Rig& r) { return r.session().tune(link); }, std::move(answer)};
}
Step Play(std::string answer) {
    return {"play", [](Rig& r) { return r.session().play(); }, std::move(answer)};
}
Step Stop(std::string answer) {
    return {"stop", [](Rig& r) { return r.session().stop(); }, std::move(answer)};
}
Step OpenFailed(std::string answer) {
    return {"open failed", [](Rig& r) { return r.session().openFailed(); }, std::move(answer)};
}
// A live stream (no size stated), opened and still silent.
Step LoadedLive(std::string answer) {
    return {"loaded live",
            [](Rig& r) {
                return r.session().loaded({false, -1, true});
            },
            std::move(answer)};
}
Step LoadedFile(double seconds, std::string answer) {
    return {"loaded file",
            [seconds](Rig& r) {
                return r.session().loaded({true, seconds, true});
            },
            std::move(answer)};
}
Step Audio(std::string answer) {
    return {"audio", [](Rig& r) { return r.session().idleChanged(false); }, std::move(answer)};
}
Step Silence(std::string answer) {
    return {"silence", [](Rig& r) { return r.session().idleChanged(true); }, std::move(answer)};
}
Step EndOfFile(std::string answer) {
    return {"end of file",
            [](Rig& r) {
                return r.session().ended({EndReason::Eof, false, {}});
            },
            std::move(answer)};
}
// The engine could not open the address; `log` says why.
Step OpenError(const std::string& log, std::string answer) {
    return {"error: " + log,
            [log](Rig& r) {
                return r.session().ended({EndReason::Error, false, {log}});
            },
            std::move(answer)};
}
// The engine found nothing it could read: perhaps a playlist.
Step NoStream(std::string answer) {
    return {"no stream",
            [](Rig& r) {
                return r.session().ended({EndReason::Error, true, {}});
            },
            std::move(answer)};
}
Step StoppedByEngine(std::string answer) {
    return {"ended otherwise",
            [](Rig& r) {
                return r.session().ended({EndReason::Other, false, {}});
            },
            std::move(answer)};
}
// The playlist read last holds these lines, read from `base`.
Step PlaylistText(const std::string& text, const std::string& base, std::string answer) {
    return {"playlist from " + base,
            [text, base](Rig& r) {
                return r.session().playlistRead(r.readTicket(), ReadPlaylist(text, base), base);
            },
            std::move(answer)};
}
Step Hls(std::string answer) {
    return {"hls", [](Rig& r) { return r.session().hlsFound(); }, std::move(answer)};
}
Step VariantsLoop(std::string answer) {
    return {
        "variants loop",
        [](Rig& r) { return r.session().variantProblem(r.checkTicket(), PlaylistProblem::Loop); },
        std::move(answer)};
}
Step Fire(SessionTimer timer, std::string answer) {
    return {timer == SessionTimer::Retry ? "retry fires" : "patience fires",
            [timer](Rig& r) { return r.session().fired(timer); }, std::move(answer)};
}
Step Kbps(double bitsPerSecond, std::string answer) {
    return {"bit rate " + std::to_string(bitsPerSecond),
            [bitsPerSecond](Rig& r) { return r.session().bitrate(bitsPerSecond); },
            std::move(answer)};
}
Step NoKbps(std::string answer) {
    return {"bit rate unknown", [](Rig& r) { return r.session().bitrate(std::nullopt); },
            std::move(answer)};
}
Step Titles(const std::string& icy, const std::string& tag, std::string answer) {
    return {"titles " + icy + " / " + tag,
            [icy, tag](Rig& r) { return r.session().metadata(icy, tag); }, std::move(answer)};
}
Step Wait(int64_t ms) {
    return {"wait " + std::to_string(ms), nullptr, "", ms};
}

struct Case {
    const char* name;
    std::vector<Step> steps;
};

void Replay(const Case& c) {
    SCOPED_TRACE(c.name);
    Rig rig;
    for (size_t i = 0; i < c.steps.size(); ++i) {
        const Step& step = c.steps[i];
        if (!step.apply) {
            rig.wait(step.waitMs);
            continue;
        }
        EXPECT_EQ(rig.answer(step.apply(rig)), step.answer)
            << "step " << i + 1 << ": " << step.event;
    }
}

const std::string kConnecting = "| 正在连接…";
const std::string kOpenA = "open http://s/a; arm patience 15000 | 正在连接…";
const std::string kPlayingA = "disarm patience | 正在播放：http://s/a";

std::string Reconnecting(int attempt) {
    return "连接中断，正在重新连接（第 " + std::to_string(attempt) + " 次）…";
}

TEST(Session, PlaysStopsAndPlaysAgain) {
    Replay({"a live stream",
            {Tune("http://s/a", kOpenA), LoadedLive("| 正在缓冲…"), Audio(kPlayingA),
             Kbps(128000, "| 正在播放：http://s/a（128 kbps）"),
             Titles("Song", "", "| 正在播放：Song（128 kbps）"),
             Titles("", "Tag title", "| 正在播放：Tag title（128 kbps）"),
             Titles("Song 2", "Tag title", "| 正在播放：Song 2（128 kbps）"),
             // Only an end of file or an error ends a load.
             StoppedByEngine("| 正在播放：Song 2（128 kbps）"),
             // The engine's own end of what it stopped changes nothing.
             Stop("halt | 已停止"), StoppedByEngine("| 已停止"), Play(kOpenA),
             // A play while it connects or plays starts nothing new.
             Play(kConnecting), LoadedLive("| 正在缓冲…"), Play("| 正在缓冲…"),
             Tune("", "halt; disarm patience | 准备就绪"), Play("| 准备就绪")}});
}

TEST(Session, EventsOutsideALoadChangeNothing) {
    Replay({"reports that come late",
            {Tune("http://s/a", kOpenA), Stop("halt; disarm patience | 已停止"),
             LoadedLive("| 已停止"), EndOfFile("| 已停止"), Hls("| 已停止"),
             Fire(SessionTimer::Retry, "| 已停止"), Fire(SessionTimer::Patience, "| 已停止")}});
    Replay(
        {"an engine that refuses the address",
         {Tune("http://s/a", kOpenA), OpenFailed("disarm patience | 无法播放：无法打开该链接")}});
}

// A stream that drops is reconnected, each wait twice the one before, five times; then the player
// says so and stays quiet.
TEST(Session, DroppedStreamReconnectsWithWaitsThatDoubleThenGivesUp) {
    std::vector<Step> steps = {Tune("http://s/a", kOpenA), LoadedLive("| 正在缓冲…"),
                               Audio(kPlayingA), Wait(3000),
                               EndOfFile("arm retry 1000 | " + Reconnecting(1))};
    for (int attempt = 1; attempt <= 5; ++attempt) {
        steps.push_back(Fire(SessionTimer::Retry,
                             "open http://s/a; arm patience 15000 | " + Reconnecting(attempt)));
        const std::string next = attempt < 5
                                     ? "arm retry " + std::to_string(1000 << attempt) +
                                           "; disarm patience | " + Reconnecting(attempt + 1)
                                     : "disarm patience | 连接中断，已停止重试";
        steps.push_back(OpenError("connection refused", "halt; " + next));
    }
    steps.push_back(Fire(SessionTimer::Retry, "| 连接中断，已停止重试"));
    steps.push_back(Play(kOpenA));  // the user may try again: a fresh round
    Replay({"every reconnect refused", steps});
}

// A stream that played steadily before it dropped starts a fresh round of reconnects; one that
// dropped again soon goes on counting.
TEST(Session, SteadyPlayStartsAFreshRound) {
    const struct {
        int64_t playedMs;
        std::string answer;
    } cases[] = {
        {14999, "arm retry 2000 | " + Reconnecting(2)},
        {15000, "arm retry 1000 | " + Reconnecting(1)},
        {600000, "arm retry 1000 | " + Reconnecting(1)},
    };
    for (const auto& c : cases) {
        Replay(
            {"played for a while after a reconnect",
             {Tune("http://s/a", kOpenA), LoadedLive("| 正在缓冲…"), Audio(kPlayingA),
              EndOfFile("arm retry 1000 | " + Reconnecting(1)),
              Fire(SessionTimer::Retry, "open http://s/a; arm patience 15000 | " + Reconnecting(1)),
              LoadedLive("| 正在缓冲…"), Audio(kPlayingA), Wait(c.playedMs), EndOfFile(c.answer)}});
    }
}

// An mms link is tried over MMS-over-HTTP, then over MMS-over-TCP, on the first connection only.
TEST(Session, MmsLinksGetASecondTry) {
    const std::string refused = "halt; disarm patience | 无法播放：服务器拒绝连接";
    Replay({"both tries fail",
            {Tune("mms://h/a", "open mmsh://h/a; arm patience 15000 | 正在连接…"),
             OpenError("connection refused",
                       "disarm patience; open mmst://h/a; arm patience 15000 | 正在连接…"),
             OpenError("connection refused", refused)}});
    Replay({"the second try plays",
            {Tune("MMS://h/a", "open mmsh://h/a; arm patience 15000 | 正在连接…"),
             OpenError("x", "disarm patience; open mmst://h/a; arm patience 15000 | 正在连接…"),
             LoadedLive("| 正在缓冲…"), Audio("disarm patience | 正在播放：MMS://h/a")}});
    Replay({"a reconnect tries once",
            {Tune("mms://h/a", "open mmsh://h/a; arm patience 15000 | 正在连接…"),
             LoadedLive("| 正在缓冲…"), Audio("disarm patience | 正在播放：mms://h/a"),
             EndOfFile("arm retry 1000 | " + Reconnecting(1)),
             Fire(SessionTimer::Retry, "open mmsh://h/a; arm patience 15000 | " + Reconnecting(1)),
             OpenError("x", "halt; arm retry 2000; disarm patience | " + Reconnecting(2))}});
    Replay({"other links get one try",
            {Tune("http://s/a", kOpenA), OpenError("connection refused", refused)}});
}

// A file whose server stated its size ends where its length says: played to its end it is done,
// ended well before it (more than five seconds) it was cut off and is fetched again.
TEST(Session, FilesCutShortAreFetchedAgain) {
    const struct {
        const char* name;
        bool finite;
        double seconds;
        int64_t playedMs;
        std::string answer;
    } cases[] = {
        {"played to its end", true, 60, 60000, "| 准备就绪"},
        {"ended five seconds early", true, 60, 55000, "| 准备就绪"},
        {"ended a little more early", true, 60, 54999, "arm retry 1000 | " + Reconnecting(1)},
        {"ended halfway", true, 60, 30000, "arm retry 1000 | " + Reconnecting(1)},
        {"no length known", true, -1, 60000, "arm retry 1000 | " + Reconnecting(1)},
        {"a live stream never ends", false, 60, 60000, "arm retry 1000 | " + Reconnecting(1)},
    };
    for (const auto& c : cases) {
        const bool finite = c.finite;
        const double seconds = c.seconds;
        Replay({c.name,
                {Tune("http://s/a", kOpenA),
                 {"loaded",
                  [finite, seconds](Rig& r) {
                      return r.session().loaded({finite, seconds, true});
                  },
                  "| 正在缓冲…"},
                 Audio(kPlayingA),
                 Wait(c.playedMs),
                 EndOfFile(c.answer)}});
    }
}

// A stream that never brings audio fails after the stream wait; one that played and then stalls
// for as long is reconnected.
TEST(Session, WaitsForAudioAreBounded) {
    Replay({"never connects",
            {Tune("http://s/a", kOpenA), Wait(15000),
             Fire(SessionTimer::Patience, "halt | 无法播放：等待音频超时")}});
    Replay({"connects, never plays",
            {Tune("http://s/a", kOpenA), LoadedLive("| 正在缓冲…"), Wait(15000),
             Fire(SessionTimer::Patience, "halt | 无法播放：等待音频超时")}});
    Replay({"stalls after playing",
            {Tune("http://s/a", kOpenA), LoadedLive("| 正在缓冲…"), Audio(kPlayingA), Wait(30000),
             Silence("arm patience 15000 | 正在缓冲…"), Audio(kPlayingA),
             Silence("arm patience 15000 | 正在缓冲…"), Wait(15000),
             Fire(SessionTimer::Patience, "halt; arm retry 1000 | " + Reconnecting(1))}});
    Replay({"a reconnect that brings no audio waits for its next try",
            {Tune("http://s/a", kOpenA), LoadedLive("| 正在缓冲…"), Audio(kPlayingA),
             EndOfFile("arm retry 1000 | " + Reconnecting(1)),
             Fire(SessionTimer::Retry, "open http://s/a; arm patience 15000 | " + Reconnecting(1)),
             Fire(SessionTimer::Patience, "halt; arm retry 2000 | " + Reconnecting(2))}});
}

TEST(Session, StopEndsEveryWait) {
    Replay({"stop while a reconnect waits",
            {Tune("http://s/a", kOpenA), LoadedLive("| 正在缓冲…"), Audio(kPlayingA),
             EndOfFile("arm retry 1000 | " + Reconnecting(1)), Stop("disarm retry; halt | 已停止"),
             Fire(SessionTimer::Retry, "| 已停止")}});
    Replay({"another station while a reconnect waits",
            {Tune("http://s/a", kOpenA), LoadedLive("| 正在缓冲…"), Audio(kPlayingA),
             EndOfFile("arm retry 1000 | " + Reconnecting(1)),
             Tune("http://s/b", "disarm retry; open http://s/b; arm patience 15000 | 正在连接…"),
             Fire(SessionTimer::Retry, kConnecting)}});
}

// A link that is no stream is read as a playlist, whose entries are tried in turn.
TEST(Session, PlaylistsLeadToTheirEntries) {
    const std::string next = "disarm patience; open ";
    const std::string wait = "; arm patience 15000 | 正在连接…";
    Replay({"the second entry plays",
            {Tune("http://h/l.m3u", "open http://h/l.m3u; arm patience 15000 | 正在连接…"),
             NoStream("read http://h/l.m3u | 正在连接…"),
             PlaylistText("#EXTM3U\nhttp://o/1\n2.mp3\nfile:///etc/passwd\n", "http://h/l.m3u",
                          next + "http://o/1" + wait),
             OpenError("404 not found", next + "http://h/2.mp3" + wait), LoadedLive("| 正在缓冲…"),
             Audio("disarm patience | 正在播放：http://h/l.m3u")}});
    Replay({"no entry plays",
            {Tune("http://h/l.m3u", "open http://h/l.m3u; arm patience 15000 | 正在连接…"),
             NoStream("read http://h/l.m3u | 正在连接…"),
             PlaylistText("http://o/1\n", "http://h/l.m3u", next + "http://o/1" + wait),
             OpenError("http error 404 not found",
                       "halt; disarm patience | 无法播放：服务器上没有这个电台")}});
    Replay({"a playlist that names itself",
            {Tune("http://h/l.m3u", "open http://h/l.m3u; arm patience 15000 | 正在连接…"),
             NoStream("read http://h/l.m3u | 正在连接…"),
             PlaylistText("#EXTM3U\nl.m3u\n", "http://h/l.m3u",
                          "halt; disarm patience | 无法播放：播放列表指回自身")}});
    Replay({"a remote playlist of local files",
            {Tune("http://h/l.m3u", "open http://h/l.m3u; arm patience 15000 | 正在连接…"),
             NoStream("read http://h/l.m3u | 正在连接…"),
             PlaylistText("#EXTM3U\nfile:///home/u/a.wav\n", "http://h/l.m3u",
                          "halt; disarm patience | 无法播放：播放列表中没有可播放的地址")}});
    Replay({"no playlist either",
            {Tune("http://h/page", "open http://h/page; arm patience 15000 | 正在连接…"),
             NoStream("read http://h/page | 正在连接…"),
             PlaylistText("<html></html>", "http://h/page",
                          "halt; disarm patience | 无法播放：这不是音频流")}});
    Replay({"an mms link is no playlist to read",
            {Tune("mms://h/a", "open mmsh://h/a; arm patience 15000 | 正在连接…"),
             NoStream("disarm patience; open mmst://h/a; arm patience 15000 | 正在连接…")}});
    Replay({"a file in a playlist played to its end: the next entry",
            {Tune("http://h/l.m3u", "open http://h/l.m3u; arm patience 15000 | 正在连接…"),
             NoStream("read http://h/l.m3u | 正在连接…"),
             PlaylistText("#EXTM3U\nhttp://o/1\nhttp://o/2\n", "http://h/l.m3u",
                          next + "http://o/1" + wait),
             LoadedFile(10, "| 正在缓冲…"), Audio("disarm patience | 正在播放：http://h/l.m3u"),
             Wait(10000), EndOfFile("open http://o/2" + wait)}});
}

TEST(Session, LateAnswersOfReadsAreDropped) {
    Rig rig;
    (void)rig.session().tune("http://h/l.m3u");
    EXPECT_EQ(rig.answer(rig.session().ended({EndReason::Error, true, {}})),
              "read http://h/l.m3u | 正在连接…");
    const int stale = rig.readTicket();
    EXPECT_EQ(rig.answer(rig.session().tune("http://s/b")),
              "disarm patience; open http://s/b; arm patience 15000 | 正在连接…");
    EXPECT_EQ(rig.answer(rig.session().playlistRead(stale, ReadPlaylist("#EXTM3U\nhttp://o/x\n"),
                                                    "http://h/l.m3u")),
              kConnecting);
    EXPECT_EQ(rig.answer(rig.session().hlsFound()), "check http://s/b | 正在连接…");
    const int check = rig.checkTicket();
    EXPECT_EQ(rig.answer(rig.session().stop()), "halt; disarm patience | 已停止");
    EXPECT_EQ(rig.answer(rig.session().variantProblem(check, PlaylistProblem::Loop)), "| 已停止");
}

// The engine reads an HLS playlist itself; the player reads the same playlists beside it until
// the stream opens, and stops a load that loops in them.
TEST(Session, HlsPlaylistsAreCheckedUntilTheStreamOpens) {
    Replay({"a master playlist that loops",
            {Tune("http://h/m.m3u8", "open http://h/m.m3u8; arm patience 15000 | 正在连接…"),
             Hls("check http://h/m.m3u8 | 正在连接…"), Hls(kConnecting),
             VariantsLoop("halt; disarm patience | 无法播放：播放列表指回自身")}});
    Replay({"a stream that opens",
            {Tune("http://h/m.m3u8", "open http://h/m.m3u8; arm patience 15000 | 正在连接…"),
             Hls("check http://h/m.m3u8 | 正在连接…"), LoadedLive("end check | 正在缓冲…"),
             VariantsLoop("| 正在缓冲…"), Hls("| 正在缓冲…")}});
    Replay(
        {"an mms link is not read beside the engine",
         {Tune("mms://h/a", "open mmsh://h/a; arm patience 15000 | 正在连接…"), Hls(kConnecting)}});
}

// The bit rate shown follows real changes only: the engine's estimate wobbles from second to
// second. A figure no audio stream has, or none at all, keeps what was shown.
TEST(Session, TheBitRateShownFollowsRealChanges) {
    const std::string playing = "| 正在播放：http://s/a";
    Replay({"a wobbling estimate",
            {Tune("http://s/a", kOpenA), LoadedLive("| 正在缓冲…"), Audio(kPlayingA),
             Kbps(61192000, playing), Kbps(0, playing), NoKbps(playing),
             Kbps(128000, playing + "（128 kbps）"), Kbps(140000, playing + "（128 kbps）"),
             Kbps(116000, playing + "（128 kbps）"), Kbps(141000, playing + "（141 kbps）"),
             Kbps(126000, playing + "（126 kbps）"), NoKbps(playing + "（126 kbps）"),
             Kbps(61192000, playing + "（126 kbps）"), Kbps(40000000, playing + "（40000 kbps）"),
             Kbps(40001000, playing + "（40000 kbps）"),
             // Each address starts without one.
             Tune("http://s/a", kOpenA)}});
    Replay({"a change of a tenth is no change",
            {Tune("http://s/a", kOpenA), LoadedLive("| 正在缓冲…"), Audio(kPlayingA),
             Kbps(100000, playing + "（100 kbps）"), Kbps(110000, playing + "（100 kbps）"),
             Kbps(90000, playing + "（100 kbps）"), Kbps(111000, playing + "（111 kbps）")}});
}

}  // namespace
}  // namespace qv
