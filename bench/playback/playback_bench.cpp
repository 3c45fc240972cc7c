// The built program against the bare mpv player, measured alike: both started from fork/exec,
// in interleaved rounds of one run, on the same loopback streams. Start to playing (the program's
// window title beginning "正在播放"; mpv's core no longer idle, seen through its IPC socket),
// a click on a station of the idle program against a loadfile command to an idle mpv, CPU time
// over a stretch of playing, and memory while playing.
//
//   quorvin-playback-bench [--program DIR] [--smaps] [--only start|click|playing]
//                          [start and click rounds (7)] [seconds (60)] [playing rounds (3)]
//
// --program DIR runs DIR/quorvin instead of the build's (to compare builds on the same streams);
// --smaps prints both players' memory by mapping at the end of the last playing round; --only
// runs one of the three parts.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/playback/support.h"
#include "bench/playback/watch.h"
#include "kit/catalogue.h"
#include "kit/process.h"
#include "kit/sealed.h"
#include "kit/stream_server.h"

namespace {

using qv::bench::Median;
using qv::bench::MonotonicSeconds;

constexpr int kPlayTimeoutMs = 20000;
constexpr int kBurstBytes = 64 * 1024;
constexpr int kSegmentSeconds = 4;
constexpr int kLiveWindow = 5;
// The main window and its station list (x, y, width, height in the window), as the window
// definition places them.
constexpr int kWindowWidth = 346;
constexpr int kWindowHeight = 507;
constexpr int kList[] = {112, 25, 208, 351};
// Rows enough to fill the list, all of the same station: a click in its middle finds one.
constexpr int kClickStations = 40;
// Before the click or the command: both players idle, start-up done.
constexpr int kIdleMs = 1000;
// While playing, the program's window is asked to answer this often.
constexpr auto kPingEvery = std::chrono::milliseconds(500);
constexpr int kPingTimeoutMs = 2000;

struct Stream {
    const char* key;
    const char* label;
    // The path a run asks for; `tag` makes it the run's own in the server's log.
    std::function<std::string(const std::string& tag)> path;
};

const Stream kStreams[] = {
    {"a", "MP3 128 kbit/s, 64 KiB burst",
     [](const std::string& tag) {
         return "/paced/" + std::to_string(kBurstBytes) + "/tone.mp3?" + tag;
     }},
    {"b", "MP3 128 kbit/s, strict real rate",
     [](const std::string& tag) { return "/paced/0/tone.mp3?" + tag; }},
    {"c", "HLS live, AAC in MPEG-TS",
     [](const std::string& tag) { return "/live/" + tag + "/radio.m3u8"; }},
};

enum class Who { Program, Mpv };

struct Outcome {
    double playingMs = -1;  // exec -> playing
    double requestMs = -1;  // exec -> the first request at the server
    double cpu = -1;        // CPU seconds over the stretch of playing
    qv::bench::Memory memory;
    long earlyAnonKb = -1;        // anonymous memory a sixth into the stretch
    double slowestAnswerMs = -1;  // the window's slowest answer over the stretch
    std::vector<std::string> mappings;
};

struct Bench {
    std::string folder;
    std::string programFolder;
    std::string clickFolder;  // the program for the click, its catalogue written for each round
    std::vector<std::string> env;
    qv::kit::StreamServer* server = nullptr;
    qv::bench::TitleWatcher* titles = nullptr;
    int serial = 0;
};

// Sounds that keep a decoder busy as music does: a tone over pink noise, in stereo.
std::string Source(int seconds) {
    const std::string d = std::to_string(seconds);
    return "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=" + d +
           " -f lavfi -i anoisesrc=color=pink:amplitude=0.1:sample_rate=44100:duration=" + d +
           " -filter_complex amix=inputs=2,aformat=channel_layouts=stereo ";
}

// A 30 s MP3 that the server loops (no Xing frame or ID3 tag, so the loop is seamless), and an
// HLS stream long enough for the longest run.
bool MakeStreams(const std::string& dir, int hlsSeconds) {
    const std::string ff = "ffmpeg -nostdin -hide_banner -loglevel error -y ";
    const std::string mp3 = ff + Source(30) +
                            "-c:a libmp3lame -b:a 128k -write_xing 0 -id3v2_version 0 '" + dir +
                            "/tone.mp3'";
    const std::string hls = ff + Source(hlsSeconds) + "-c:a aac -b:a 128k -f hls -hls_time " +
                            std::to_string(kSegmentSeconds) +
                            " -hls_list_size 0 -hls_segment_filename '" + dir + "/seg%d.ts' '" +
                            dir + "/radio.m3u8'";
    return std::system(mp3.c_str()) == 0 && std::system(hls.c_str()) == 0;
}

pid_t Start(Who who, Bench& b, const std::string& url, const std::string& socket) {
    if (who == Who::Program) {
        if (!qv::bench::WriteStationLink(b.programFolder, url))
            return -1;
        b.titles->reset();
        return qv::kit::Spawn(
            {.argv = {b.programFolder + "/quorvin"}, .env = b.env, .cwd = b.programFolder});
    }
    return qv::kit::Spawn({.argv = {"/usr/bin/mpv", "--no-config", "--ao=null", "--no-terminal",
                                    "--input-ipc-server=" + socket, url},
                           .env = b.env,
                           .cwd = b.folder});
}

// One start of one player on one stream; with seconds > 0 it then plays that long.
Outcome RunOnce(Who who, const Stream& stream, Bench& b, int seconds, bool mappings) {
    Outcome o;
    const std::string tag =
        std::string(who == Who::Program ? "p" : "m") + stream.key + std::to_string(++b.serial);
    const std::string path = stream.path(tag);
    const std::string socket = b.folder + "/mpv-" + tag + ".sock";
    const double t0 = MonotonicSeconds();
    const pid_t pid = Start(who, b, b.server->url(path), socket);
    if (pid <= 0)
        return o;
    const double playing = who == Who::Program
                               ? b.titles->waitForTitle("正在播放", pid, kPlayTimeoutMs)
                               : qv::bench::WaitForMpvPlaying(socket, pid, kPlayTimeoutMs);
    if (playing > 0) {
        o.playingMs = (playing - t0) * 1000;
        if (seconds > 0) {
            const double cpu0 = qv::bench::CpuSeconds(pid);
            const auto begin = std::chrono::steady_clock::now();
            const auto end = begin + std::chrono::seconds(seconds);
            const auto early = begin + std::chrono::seconds(seconds) / 6;
            const xcb_window_t window = who == Who::Program ? b.titles->titled() : XCB_NONE;
            bool timedOut = false;
            for (auto now = begin; now < end; now = std::chrono::steady_clock::now()) {
                if (o.earlyAnonKb < 0 && now >= early)
                    o.earlyAnonKb = qv::bench::ReadMemory(pid).anonKb;
                if (window != XCB_NONE) {
                    const double answer = b.titles->ping(window, pid, kPingTimeoutMs);
                    timedOut = timedOut || answer < 0;
                    o.slowestAnswerMs = timedOut ? -1 : std::max(o.slowestAnswerMs, answer);
                }
                std::this_thread::sleep_until(std::min(end, now + kPingEvery));
            }
            const double cpu1 = qv::bench::CpuSeconds(pid);
            o.memory = qv::bench::ReadMemory(pid);
            if (cpu0 >= 0 && cpu1 >= 0 && qv::kit::Running(pid))
                o.cpu = cpu1 - cpu0;
            if (mappings)
                o.mappings = qv::bench::MappingsBySize(pid, 24);
        }
    }
    qv::kit::Stop(pid);
    std::filesystem::remove(socket);
    const double request = b.server->firstRequestAt(path);
    if (request > 0)
        o.requestMs = (request - t0) * 1000;
    return o;
}

// The idle player given the (a) stream as a user gives it: a click on a row of the program's
// station list, a loadfile command on mpv's socket. Times from the click or the command.
Outcome ClickOnce(Who who, Bench& b) {
    Outcome o;
    const std::string tag =
        std::string(who == Who::Program ? "pk" : "mk") + std::to_string(++b.serial);
    const std::string path = kStreams[0].path(tag);
    const std::string url = b.server->url(path);
    double clicked = -1;
    double playing = -1;
    pid_t pid = -1;
    const std::string socket = b.folder + "/mpv-" + tag + ".sock";
    const auto idle = std::chrono::milliseconds(kIdleMs);
    if (who == Who::Program) {
        std::vector<qv::kit::Row> rows;
        for (int i = 0; i < kClickStations; ++i)
            rows.push_back({"基准电台" + std::to_string(i), "北京", url});
        // No station in pz.ini: the program starts idle.
        if (!qv::kit::WriteCatalogue(b.clickFolder + "/mmsDT.dll", rows).empty() ||
            !qv::bench::WriteStationLink(b.clickFolder, ""))
            return o;
        b.titles->reset();
        pid = qv::kit::Spawn(
            {.argv = {b.clickFolder + "/quorvin"}, .env = b.env, .cwd = b.clickFolder});
        if (pid <= 0)
            return o;
        const auto place =
            b.titles->waitForWindow(kWindowWidth, kWindowHeight, pid, kPlayTimeoutMs);
        if (place) {
            std::this_thread::sleep_for(idle);
            // On a row first, as a hand moves there before it clicks.
            if (b.titles->movePointer(place->x + kList[0] + kList[2] / 2,
                                      place->y + kList[1] + kList[3] / 2)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                clicked = b.titles->click();
            }
            if (clicked > 0)
                playing = b.titles->waitForTitle("正在播放", pid, kPlayTimeoutMs);
        }
    } else {
        pid = qv::kit::Spawn({.argv = {"/usr/bin/mpv", "--idle", "--no-config", "--ao=null",
                                       "--no-terminal", "--input-ipc-server=" + socket},
                              .env = b.env,
                              .cwd = b.folder});
        if (pid <= 0)
            return o;
        qv::bench::MpvSocket mpv(socket, pid, kPlayTimeoutMs);
        if (mpv.ok() && mpv.waitForCoreIdle(true, kPlayTimeoutMs) > 0) {
            std::this_thread::sleep_for(idle + std::chrono::milliseconds(100));
            clicked = mpv.send(R"({"command":["loadfile",")" + url + R"("]})");
            if (clicked > 0)
                playing = mpv.waitForCoreIdle(false, kPlayTimeoutMs);
        }
    }
    qv::kit::Stop(pid);
    std::filesystem::remove(socket);
    if (clicked > 0 && playing > 0)
        o.playingMs = (playing - clicked) * 1000;
    const double request = b.server->firstRequestAt(path);
    if (clicked > 0 && request > 0)
        o.requestMs = (request - clicked) * 1000;
    return o;
}

struct Series {
    std::vector<double> values;
    bool signedValues = false;  // negative values are results, not failures; NaN fails
    void add(double v) { values.push_back(v); }
    [[nodiscard]] bool complete() const {
        return !values.empty() && std::none_of(values.begin(), values.end(), [this](double v) {
            return std::isnan(v) || (!signedValues && v < 0);
        });
    }
    [[nodiscard]] double median() const { return complete() ? Median(values) : -1; }
    [[nodiscard]] double largest() const {
        return complete() ? *std::max_element(values.begin(), values.end()) : -1;
    }
    [[nodiscard]] std::string text(const char* format) const {
        if (!complete())
            return "failed";
        char buf[96];
        const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
        const std::string f = std::string(format) + " [" + format + ".." + format + "]";
        std::snprintf(buf, sizeof buf, f.c_str(), Median(values), *lo, *hi);
        return buf;
    }
};

struct Pair {
    Series program, mpv;
    [[nodiscard]] double ratio() const {
        return program.median() > 0 && mpv.median() > 0 ? program.median() / mpv.median() : -1;
    }
};

void GoalAtMost(const std::string& what, double value, double limit, const char* unit) {
    std::printf("  goal: %-46s %8.2f %-2s <= %-6g %s\n", what.c_str(), value, unit, limit,
                value >= 0 && value <= limit ? "PASS" : "MISS");
}

// Both players on the same stream, the order turned round every round.
template <typename F>
void Interleaved(int round, F run) {
    if (round % 2 == 0) {
        run(Who::Program);
        run(Who::Mpv);
    } else {
        run(Who::Mpv);
        run(Who::Program);
    }
}

void StartRounds(Bench& b, int rounds) {
    // Uncounted: the sealed home's font cache, and the page cache for both players' libraries.
    for (Who who : {Who::Program, Who::Mpv}) RunOnce(who, kStreams[0], b, 0, false);
    Pair playing[3], request[3];
    for (int r = 0; r < rounds; ++r) {
        for (int s = 0; s < 3; ++s) {
            Interleaved(r, [&](Who who) {
                const Outcome o = RunOnce(who, kStreams[s], b, 0, false);
                (who == Who::Program ? playing[s].program : playing[s].mpv).add(o.playingMs);
                (who == Who::Program ? request[s].program : request[s].mpv).add(o.requestMs);
            });
        }
    }
    std::printf("\nstart to playing, ms from exec: median [min..max] of %d interleaved rounds\n",
                rounds);
    std::printf("  %-36s %-24s %-24s %6s   %s\n", "stream", "program", "mpv", "ratio",
                "first request, program / mpv");
    for (int s = 0; s < 3; ++s) {
        std::printf("  (%s) %-32s %-24s %-24s %6.2f   %s / %s\n", kStreams[s].key,
                    kStreams[s].label, playing[s].program.text("%.0f").c_str(),
                    playing[s].mpv.text("%.0f").c_str(), playing[s].ratio(),
                    request[s].program.text("%.0f").c_str(), request[s].mpv.text("%.0f").c_str());
    }
    GoalAtMost("start to playing / mpv's, (a)", playing[0].ratio(), 1.1, "x");
    GoalAtMost("start to playing / mpv's, (c)", playing[2].ratio(), 1.1, "x");
}

void ClickRounds(Bench& b, int rounds) {
    for (Who who : {Who::Program, Who::Mpv}) ClickOnce(who, b);  // uncounted, as above
    Pair playing, request;
    for (int r = 0; r < rounds; ++r) {
        Interleaved(r, [&](Who who) {
            const Outcome o = ClickOnce(who, b);
            (who == Who::Program ? playing.program : playing.mpv).add(o.playingMs);
            (who == Who::Program ? request.program : request.mpv).add(o.requestMs);
        });
    }
    std::printf(
        "\nidle, then given a station: a click on a row of the program's list, a loadfile command"
        "\non mpv's socket (mpv --idle); ms from the click or the command: median [min..max] of"
        "\n%d interleaved rounds\n",
        rounds);
    std::printf("  %-36s %-24s %-24s %6s   %s\n", "stream", "program", "mpv", "ratio",
                "request, program / mpv");
    std::printf("  (%s) %-32s %-24s %-24s %6.2f   %s / %s\n", kStreams[0].key, kStreams[0].label,
                playing.program.text("%.0f").c_str(), playing.mpv.text("%.0f").c_str(),
                playing.ratio(), request.program.text("%.0f").c_str(),
                request.mpv.text("%.0f").c_str());
    GoalAtMost("click to playing / mpv's loadfile, (a)", playing.ratio(), 1.1, "x");
}

void PlayingRounds(Bench& b, int rounds, int seconds, bool smaps) {
    const int streams[] = {0, 2};
    Pair cpu[2], peak[2], pss[2], priv[2], anon[2], growth[2], answer[2];
    for (Pair& g : growth) g.program.signedValues = g.mpv.signedValues = true;
    std::vector<std::string> maps[2][2];
    for (int r = 0; r < rounds; ++r) {
        for (int i = 0; i < 2; ++i) {
            Interleaved(r, [&](Who who) {
                const bool last = smaps && r == rounds - 1;
                const Outcome o = RunOnce(who, kStreams[streams[i]], b, seconds, last);
                const int w = who == Who::Program ? 0 : 1;
                auto pick = [w](Pair& p) -> Series& { return w == 0 ? p.program : p.mpv; };
                pick(cpu[i]).add(o.cpu);
                pick(peak[i]).add(o.memory.peakRssKb / 1024.0);
                pick(pss[i]).add(o.memory.pssKb / 1024.0);
                pick(priv[i]).add(o.memory.privateKb / 1024.0);
                pick(anon[i]).add(o.memory.anonKb / 1024.0);
                pick(growth[i]).add(o.memory.anonKb >= 0 && o.earlyAnonKb >= 0
                                        ? (o.memory.anonKb - o.earlyAnonKb) / 1024.0
                                        : std::nan(""));
                if (w == 0)
                    answer[i].program.add(o.slowestAnswerMs);
                if (last)
                    maps[i][w] = o.mappings;
            });
        }
    }
    std::printf("\nwhile playing, after %d s of it: median [min..max] of %d interleaved rounds\n",
                seconds, rounds);
    std::printf("  %-24s %-22s %-22s %6s\n", "", "program", "mpv", "ratio");
    for (int i = 0; i < 2; ++i) {
        const Stream& s = kStreams[streams[i]];
        std::printf("  (%s) %s\n", s.key, s.label);
        const struct {
            const char* what;
            const Pair& p;
            const char* format;
        } rows[] = {{"CPU, s", cpu[i], "%.2f"},
                    {"peak RSS, MB", peak[i], "%.1f"},
                    {"PSS, MB", pss[i], "%.1f"},
                    {"private, MB", priv[i], "%.1f"},
                    {"anonymous, MB", anon[i], "%.1f"}};
        for (const auto& row : rows) {
            std::printf("    %-20s %-22s %-22s %6.2f\n", row.what,
                        row.p.program.text(row.format).c_str(), row.p.mpv.text(row.format).c_str(),
                        row.p.ratio());
        }
        std::printf("    %-20s %-22s %-22s\n", "anonymous growth, MB",
                    growth[i].program.text("%.2f").c_str(), growth[i].mpv.text("%.2f").c_str());
        std::printf("    %-20s %-22s %-22s\n", "slowest answer, ms",
                    answer[i].program.text("%.1f").c_str(), "(no window)");
    }
    for (int i = 0; i < 2; ++i) {
        const std::string k = std::string(" (") + kStreams[streams[i]].key + ")";
        GoalAtMost("CPU / mpv's," + k, cpu[i].ratio(), 1.0, "x");
        GoalAtMost("peak RSS / mpv's," + k, peak[i].ratio(), 1.25, "x");
        const double extra = priv[i].program.median() >= 0 && priv[i].mpv.median() >= 0
                                 ? priv[i].program.median() - priv[i].mpv.median()
                                 : -1;
        GoalAtMost("private memory - mpv's," + k, extra, 22, "MB");
        GoalAtMost("anonymous memory / mpv's," + k, anon[i].ratio(), 1.0, "x");
        // Memory given back counts as none grown.
        const Series& grown = growth[i].program;
        GoalAtMost("program's anonymous growth, largest," + k,
                   grown.complete() ? std::max(0.0, grown.largest()) : -1, 1, "MB");
        GoalAtMost("window's slowest answer," + k, answer[i].program.largest(), 100, "ms");
    }
    for (int i = 0; smaps && i < 2; ++i) {
        for (int w = 0; w < 2; ++w) {
            std::printf("\n%s on (%s), by mapping (MB): rss pss private\n",
                        w == 0 ? "program" : "mpv", kStreams[streams[i]].key);
            for (const std::string& line : maps[i][w]) std::printf("  %s\n", line.c_str());
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string programDir = qv::bench::ProgramDir();
    bool smaps = false;
    std::string only;
    std::vector<int> numbers;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--program" && i + 1 < args.size()) {
            programDir = args[++i];
        } else if (args[i] == "--only" && i + 1 < args.size()) {
            only = args[++i];
        } else if (args[i] == "--smaps") {
            smaps = true;
        } else {
            numbers.push_back(std::max(1, std::atoi(args[i].c_str())));
        }
    }
    const int startRounds = numbers.size() > 0 ? numbers[0] : 7;
    const int seconds = numbers.size() > 1 ? numbers[1] : 60;
    const int playRounds = numbers.size() > 2 ? numbers[2] : 3;

    Bench b;
    b.folder = qv::kit::MakeSealedFolder("playback-bench");
    if (b.folder.empty())
        return 1;
    const std::string media = b.folder + "/media";
    std::filesystem::create_directories(media);
    b.programFolder = b.folder + "/program";
    std::filesystem::create_directories(b.programFolder);
    b.clickFolder = b.folder + "/click";
    std::filesystem::create_directories(b.clickFolder);
    int rc = 1;
    if (!MakeStreams(media, seconds + 60 + kSegmentSeconds * kLiveWindow)) {
        std::printf("ffmpeg could not make the streams\n");
    } else if (!qv::bench::PrepareProgramFolder(b.programFolder, programDir + "/mmsDT.dll", "",
                                                programDir) ||
               !qv::bench::PrepareProgramFolder(b.clickFolder, programDir + "/mmsDT.dll", "",
                                                programDir)) {
        std::printf("cannot prepare the program's folder from %s\n", programDir.c_str());
    } else {
        qv::kit::StreamServer server(
            {"--files", media, "--times", "--live-window", std::to_string(kLiveWindow)});
        qv::bench::Xvfb x;
        std::unique_ptr<qv::bench::TitleWatcher> titles;
        if (!x.display().empty())
            titles = std::make_unique<qv::bench::TitleWatcher>(x.display());
        if (!server.running() || !titles || !titles->ok()) {
            std::printf("%s\n", !server.running() ? "the stream server did not start"
                                                  : "no private X display to watch");
        } else {
            b.server = &server;
            b.titles = titles.get();
            b.env = qv::kit::SealedEnvironment(b.folder);
            // As the start-up benchmark: no session bus, no theme plug-in, no proxy.
            b.env.insert(b.env.end(),
                         {"QUORVIN_AO=null", "QT_QPA_PLATFORM=xcb", "DISPLAY=" + x.display(),
                          "DBUS_SESSION_BUS_ADDRESS=disabled:", "QT_QPA_PLATFORMTHEME=",
                          "WAYLAND_DISPLAY=", "http_proxy=", "https_proxy=", "HTTP_PROXY=",
                          "HTTPS_PROXY=", "all_proxy=", "ALL_PROXY="});
            std::printf("program: %s/quorvin; mpv: /usr/bin/mpv --no-config --ao=null\n",
                        programDir.c_str());
            if (only.empty() || only == "start")
                StartRounds(b, startRounds);
            if (only.empty() || only == "click")
                ClickRounds(b, startRounds);
            if (only.empty() || only == "playing")
                PlayingRounds(b, playRounds, seconds, smaps);
            rc = 0;
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(b.folder, ec);
    return rc;
}
