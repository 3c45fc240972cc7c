// Tune latency of the real libmpv player against the mpv command's own start-to-playing time,
// and the program's CPU time and peak memory while it plays a 128 kbit/s stream, against mpv's.
//
//   quorvin-playback-bench [seconds-of-playing (default 60)] [tune runs (default 7)]
#include <poll.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/playback/support.h"
#include "platform/media_player.h"

namespace {

using qv::bench::Goal;
using qv::bench::Median;

// Prints a line as soon as playback runs, by the same test the player uses: core-idle false.
constexpr const char* kPlayingScript = R"(
mp.observe_property("core-idle", "bool", function(_, idle)
    if idle == false then io.stdout:write("PLAYING\n"); io.stdout:flush() end
end)
)";

std::vector<std::string> MpvArgs(const std::string& script, const std::string& url) {
    std::vector<std::string> a = {"/usr/bin/mpv", "--no-config", "--ao=null", "--no-video",
                                  "--really-quiet"};
    if (!script.empty())
        a.push_back("--script=" + script);
    a.push_back(url);
    return a;
}

// Exec to "PLAYING" of the mpv command, in ms; -1 if it did not play within 20 s.
double MpvStartToPlaying(const std::string& script, const std::string& url,
                         const std::vector<std::string>& env) {
    int out = -1;
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = qv::bench::Spawn(MpvArgs(script, url), env, "", &out);
    if (pid <= 0)
        return -1;
    std::string got;
    char buf[64];
    while (got.find("PLAYING") == std::string::npos) {
        pollfd p{out, POLLIN, 0};
        if (::poll(&p, 1, 20000) <= 0)
            break;
        const ssize_t n = ::read(out, buf, sizeof buf);
        if (n <= 0)
            break;
        got.append(buf, static_cast<size_t>(n));
    }
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    ::close(out);
    qv::bench::Stop(pid);
    return got.find("PLAYING") == std::string::npos ? -1 : ms;
}

// setURL to the first status that begins with "正在播放", in ms; -1 after 20 s.
double TuneToPlaying(qv::MediaPlayer& player, const std::string& url) {
    const qv::Text playing = qv::Gbk("正在播放");
    bool reached = false;
    QElapsedTimer t;
    player.onStatusChange = [&] {
        if (!reached && player.status().rfind(playing, 0) == 0)
            reached = true;
    };
    t.start();
    player.setURL(qv::Gbk(url));
    while (!reached && t.elapsed() < 20000) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
    player.onStatusChange = nullptr;
    return reached ? ms : -1;
}

void Unload(qv::MediaPlayer& player) {
    player.setURL(qv::Text());
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 300) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

void TuneLatency(const qv::bench::StreamServer& server, const std::string& folder, int runs) {
    const std::string script = folder + "/playing.lua";
    std::ofstream(script) << kPlayingScript;
    const auto env = qv::bench::SealedEnvironment(folder);
    std::vector<double> tune, cold, mpv;
    auto player = qv::CreateMpvPlayer();
    TuneToPlaying(*player, server.url("/warmup"));  // first load pulls in codecs and the demuxer
    for (int i = 0; i < runs; ++i) {
        Unload(*player);
        tune.push_back(TuneToPlaying(*player, server.url("/tune/" + std::to_string(i))));
        {
            QElapsedTimer t;
            t.start();
            auto fresh = qv::CreateMpvPlayer();
            const double ms = TuneToPlaying(*fresh, server.url("/cold/" + std::to_string(i)));
            cold.push_back(ms < 0 ? -1 : static_cast<double>(t.nsecsElapsed()) / 1e6);
        }
        mpv.push_back(MpvStartToPlaying(script, server.url("/mpv/" + std::to_string(i)), env));
    }
    player.reset();
    const double ours = Median(tune), oursCold = Median(cold), theirs = Median(mpv);
    std::printf("tune to playing (median of %d)\n", runs);
    std::printf("  player tune (setURL -> 正在播放)        %8.1f ms\n", ours);
    std::printf("  new player + tune                        %8.1f ms\n", oursCold);
    std::printf("  mpv command exec -> playing              %8.1f ms\n", theirs);
    const double ratio = theirs > 0 && ours >= 0 ? ours / theirs : -1;
    std::printf("  ratio tune / mpv %.2f, new player + tune / mpv %.2f\n", ratio,
                theirs > 0 ? oursCold / theirs : -1);
    Goal("tune latency / mpv's own", ratio, 1.2, "x");
}

struct Usage {
    double cpu = -1;  // s
    long hwmKb = -1;  // VmHWM
    bool alive = false;
};

// Lets the process run for `seconds`, then reads its CPU time and peak memory.
Usage Watch(pid_t pid, int seconds) {
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    Usage u;
    u.cpu = qv::bench::CpuSeconds(pid);
    u.hwmKb = qv::bench::StatusKb(pid, "VmHWM:");
    u.alive = u.cpu >= 0;
    return u;
}

void WhilePlaying(const qv::bench::StreamServer& server, const std::string& folder, int seconds) {
    const std::string programFolder = folder + "/program";
    std::filesystem::create_directories(programFolder);
    const std::string link = server.url("/program");
    if (!qv::bench::PrepareProgramFolder(programFolder, qv::bench::ProgramDir() + "/mmsDT.dll",
                                         link)) {
        std::printf("cannot prepare the program's folder\n");
        return;
    }
    qv::bench::Xvfb x;
    auto env = qv::bench::SealedEnvironment(folder);
    env.push_back("QUORVIN_AO=null");
    if (x.display().empty()) {
        env.push_back("QT_QPA_PLATFORM=offscreen");
    } else {
        env.push_back("QT_QPA_PLATFORM=xcb");
        env.push_back("DISPLAY=" + x.display());
    }
    // Both play the same stream at the same time, on separate connections.
    const pid_t program = qv::bench::Spawn({programFolder + "/quorvin"}, env, programFolder);
    const pid_t mpv = qv::bench::Spawn(MpvArgs("", server.url("/mpv-play")), env, "");
    std::thread watchMpv;
    Usage m;
    watchMpv = std::thread([&] { m = Watch(mpv, seconds); });
    const Usage p = Watch(program, seconds);
    watchMpv.join();
    qv::bench::Stop(program);
    qv::bench::Stop(mpv);
    const std::string log = server.requests();
    const bool programPlayed = log.find("GET /program") != std::string::npos;
    std::printf("playing a 128 kbit/s stream for %d s (%s)\n", seconds,
                x.display().empty() ? "offscreen" : "Xvfb");
    if (!p.alive || !programPlayed) {
        std::printf("  the program %s\n", !p.alive ? "ended early" : "never asked for the stream");
    }
    std::printf("  program: CPU %6.2f s  peak memory %7.1f MB\n", p.cpu, p.hwmKb / 1024.0);
    std::printf("  mpv:     CPU %6.2f s  peak memory %7.1f MB\n", m.cpu, m.hwmKb / 1024.0);
    const double ratio = m.cpu > 0 ? p.cpu / m.cpu : -1;
    std::printf("  CPU ratio program / mpv %.2f\n", ratio);
    Goal("CPU time / mpv's", ratio, 1.1, "x");
    Goal("peak memory", p.hwmKb / 1024.0, 80, "MB");
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
    const std::string folder = qv::bench::MakeSealedFolder("playback-bench");
    if (folder.empty())
        return 1;
    qv::bench::SealThisProcess(folder);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QUORVIN_AO", "null", 1);
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    {
        qv::bench::StreamServer server;
        if (!server.running()) {
            std::printf("the stream server did not start\n");
            return 1;
        }
        TuneLatency(server, folder, runs);
        WhilePlaying(server, folder, seconds);
    }
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return 0;
}
