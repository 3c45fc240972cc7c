// Start-up of the program on a private Xvfb display: from exec to its 346 x 507 window mapped
// (the list is filled before the window is shown) and to its first paint, with the program's
// peak memory; for the shipped catalogue and a generated one of many stations.
//
//   quorvin-startup-bench [--tray] [timed runs (default 7)] [generated stations (default 100000)]
//
// --tray runs trayer on the display first, so the notification-area icon is embedded as on a
// desktop with a tray; without it the icon has nowhere to go.
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/playback/support.h"
#include "kit/catalogue.h"
#include "kit/process.h"
#include "kit/sealed.h"
#include "kit/stream_server.h"

namespace {

using Clock = std::chrono::steady_clock;
using qv::bench::Goal;
using qv::bench::Median;

constexpr int kWidth = 346;
constexpr int kHeight = 507;
// A point inside the station list, well inside the window's outline.
constexpr int kProbeX = 216;
constexpr int kProbeY = 200;
// The root window is painted this colour: the program's window has no background of its own, so
// the probe reads this until the program draws.
constexpr uint32_t kGround = 0x123456;
constexpr int kTimeoutMs = 30000;
// Peak memory is read this long after the first paint, once the tune attempt has settled.
constexpr auto kSettle = std::chrono::milliseconds(1000);

double MsSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// SIGTERM (then SIGKILL), reaps the child and returns its peak resident size in KiB: the larger
// of VmHWM just before the end and ru_maxrss after it (newer kernels report ru_maxrss a little
// below VmHWM, even for a process that only grows).
long EndAndPeakKb(pid_t pid) {
    const long hwm = qv::bench::StatusKb(pid, "VmHWM:");
    ::kill(pid, SIGTERM);
    rusage usage{};
    int status = 0;
    for (int i = 0; i < 200; ++i) {
        if (::wait4(pid, &status, WNOHANG, &usage) == pid)
            return std::max(hwm, usage.ru_maxrss);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    return ::wait4(pid, &status, 0, &usage) == pid ? std::max(hwm, usage.ru_maxrss) : hwm;
}

struct Run {
    double mappedMs = -1;
    double paintedMs = -1;
    long paintKb = -1;  // VmHWM at the first paint
    long peakKb = -1;   // over the whole run
    std::string failure;
};

// Watches the display's top-level windows from outside the program.
class Watcher final {
  public:
    explicit Watcher(const std::string& display) : c_(xcb_connect(display.c_str(), nullptr)) {
        if (xcb_connection_has_error(c_))
            return;
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        const uint32_t ground[] = {kGround};
        xcb_change_window_attributes(c_, root, XCB_CW_BACK_PIXEL, ground);
        xcb_clear_area(c_, 0, root, 0, 0, 0, 0);
        const uint32_t events[] = {XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY};
        xcb_change_window_attributes(c_, root, XCB_CW_EVENT_MASK, events);
        free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
        ok_ = true;
    }
    ~Watcher() { xcb_disconnect(c_); }
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;
    [[nodiscard]] bool ok() const { return ok_; }

    // Waits until some top-level window is mapped (another client's, such as the tray's).
    bool WaitForAnyMap(int timeoutMs) {
        const auto t0 = Clock::now();
        bool mapped = false;
        while (!mapped && MsSince(t0) < timeoutMs && !xcb_connection_has_error(c_)) {
            pollfd p{xcb_get_file_descriptor(c_), POLLIN, 0};
            ::poll(&p, 1, 20);
            while (xcb_generic_event_t* e = xcb_poll_for_event(c_)) {
                mapped = mapped || (e->response_type & 0x7F) == XCB_MAP_NOTIFY;
                free(e);
            }
        }
        return mapped;
    }

    // Waits for the program's window to be mapped, then for its first drawn pixel.
    void Follow(pid_t pid, Clock::time_point t0, Run& run) {
        xcb_window_t window = XCB_NONE;
        while (window == XCB_NONE) {
            if (MsSince(t0) > kTimeoutMs) {
                run.failure = "no window within 30 s";
                return;
            }
            if (!qv::kit::Running(pid)) {
                run.failure = "the program ended before its window was shown";
                return;
            }
            pollfd p{xcb_get_file_descriptor(c_), POLLIN, 0};
            ::poll(&p, 1, 20);
            while (xcb_generic_event_t* e = xcb_poll_for_event(c_)) {
                if ((e->response_type & 0x7F) == XCB_MAP_NOTIFY) {
                    const auto* m = reinterpret_cast<xcb_map_notify_event_t*>(e);
                    const double at = MsSince(t0);
                    if (window == XCB_NONE && HasWindowSize(m->window)) {
                        window = m->window;
                        run.mappedMs = at;
                    }
                }
                free(e);
            }
            if (xcb_connection_has_error(c_)) {
                run.failure = "lost the X connection";
                return;
            }
        }
        while (Probe(window) == kGround) {
            if (MsSince(t0) > kTimeoutMs || !qv::kit::Running(pid)) {
                run.failure = "the window was never painted";
                return;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        run.paintedMs = MsSince(t0);
        run.paintKb = qv::bench::StatusKb(pid, "VmHWM:");
        // Events of this run must not leak into the next one.
        while (xcb_generic_event_t* e = xcb_poll_for_event(c_)) free(e);
    }

  private:
    bool HasWindowSize(xcb_window_t w) {
        auto* g = xcb_get_geometry_reply(c_, xcb_get_geometry(c_, w), nullptr);
        const bool match = g && g->width == kWidth && g->height == kHeight;
        free(g);
        return match;
    }
    uint32_t Probe(xcb_window_t w) {
        auto* img = xcb_get_image_reply(
            c_, xcb_get_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, w, kProbeX, kProbeY, 1, 1, ~0u),
            nullptr);
        uint32_t pixel = kGround;
        if (img && xcb_get_image_data_length(img) >= 4) {
            const uint8_t* d = xcb_get_image_data(img);
            pixel = static_cast<uint32_t>(d[2]) << 16 | static_cast<uint32_t>(d[1]) << 8 | d[0];
        }
        free(img);
        return pixel;
    }

    xcb_connection_t* c_;
    bool ok_ = false;
};

Run StartOnce(Watcher& watcher, const std::string& programFolder,
              const std::vector<std::string>& env) {
    Run run;
    const auto t0 = Clock::now();
    const pid_t pid =
        qv::kit::Spawn({.argv = {programFolder + "/quorvin"}, .env = env, .cwd = programFolder});
    if (pid <= 0) {
        run.failure = "cannot start the program";
        return run;
    }
    watcher.Follow(pid, t0, run);
    if (run.failure.empty())
        std::this_thread::sleep_for(kSettle);
    run.peakKb = EndAndPeakKb(pid);
    return run;
}

int StationCount(const std::string& catalogue) {
    sqlite3* db = nullptr;
    sqlite3_stmt* s = nullptr;
    int n = -1;
    if (sqlite3_open_v2(catalogue.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, "select count(*) from radio", -1, &s, nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW)
        n = sqlite3_column_int(s, 0);
    sqlite3_finalize(s);
    sqlite3_close(db);
    return n;
}

template <typename F>
std::vector<double> Column(const std::vector<Run>& runs, F f) {
    std::vector<double> v;
    for (const Run& r : runs) v.push_back(static_cast<double>(f(r)));
    return v;
}

void Report(const std::vector<Run>& runs, const Run& first, double timeGoalMs, double memGoalMb) {
    const auto mapped = Column(runs, [](const Run& r) { return r.mappedMs; });
    const auto painted = Column(runs, [](const Run& r) { return r.paintedMs; });
    const auto paintMb = Column(runs, [](const Run& r) { return r.paintKb / 1024.0; });
    const auto peakMb = Column(runs, [](const Run& r) { return r.peakKb / 1024.0; });
    const auto range = [](const std::vector<double>& v) {
        return std::make_pair(*std::min_element(v.begin(), v.end()),
                              *std::max_element(v.begin(), v.end()));
    };
    const auto [mapLo, mapHi] = range(mapped);
    const auto [paintLo, paintHi] = range(painted);
    std::printf("  exec -> window mapped      %9.1f ms  (min %.1f, max %.1f; first run %.1f)\n",
                Median(mapped), mapLo, mapHi, first.mappedMs);
    std::printf("  exec -> first paint        %9.1f ms  (min %.1f, max %.1f; first run %.1f)\n",
                Median(painted), paintLo, paintHi, first.paintedMs);
    std::printf("  peak memory at first paint %9.1f MB\n", Median(paintMb));
    std::printf("  peak memory, whole run     %9.1f MB  (max %.1f)\n", Median(peakMb),
                range(peakMb).second);
    Goal("exec -> window mapped", Median(mapped), timeGoalMs, "ms");
    Goal("exec -> first paint", Median(painted), timeGoalMs, "ms");
    if (memGoalMb > 0)
        Goal("peak memory", Median(peakMb), memGoalMb, "MB");
}

void Measure(const char* label, const std::string& catalogue, const std::string& folder,
             const std::string& link, Watcher& watcher, const std::vector<std::string>& env,
             int runs, double timeGoalMs, double memGoalMb) {
    const std::string programFolder = folder + "/" + label;
    std::filesystem::create_directories(programFolder);
    if (!qv::bench::PrepareProgramFolder(programFolder, catalogue, link)) {
        std::printf("%s: cannot prepare the program's folder\n", label);
        return;
    }
    std::printf("start-up, %s catalogue (%d stations), median of %d runs\n", label,
                StationCount(catalogue), runs);
    // The first start fills the sealed home's caches (fonts and the like): reported, not counted.
    const Run first = StartOnce(watcher, programFolder, env);
    if (!first.failure.empty()) {
        std::printf("  %s\n", first.failure.c_str());
        return;
    }
    std::vector<Run> timed;
    for (int i = 0; i < runs; ++i) {
        Run r = StartOnce(watcher, programFolder, env);
        if (!r.failure.empty()) {
            std::printf("  run %d: %s\n", i + 1, r.failure.c_str());
            return;
        }
        timed.push_back(r);
    }
    Report(timed, first, timeGoalMs, memGoalMb);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const bool tray = std::erase(args, "--tray") > 0;
    const int runs = !args.empty() ? std::max(1, std::atoi(args[0].c_str())) : 7;
    const int stations = args.size() > 1 ? std::max(1, std::atoi(args[1].c_str())) : 100000;
    const std::string folder = qv::kit::MakeSealedFolder("startup-bench");
    if (folder.empty())
        return 1;
    int rc = 1;
    {
        // The program's tune on start-up fails at once and stays off the internet.
        const qv::kit::RefusedPort refused;
        qv::bench::Xvfb x;
        if (refused.port() == 0 || x.display().empty()) {
            std::printf("%s\n", x.display().empty() ? "Xvfb did not start" : "no loopback port");
        } else if (Watcher watcher(x.display()); !watcher.ok()) {
            std::printf("cannot watch display %s\n", x.display().c_str());
        } else {
            const std::string link = refused.url("/startup-bench");
            auto env = qv::kit::SealedEnvironment(folder);
            // No session bus (the icon would reach the user's desktop), no theme plug-in, no
            // proxy for the loopback link.
            env.insert(env.end(),
                       {"QUORVIN_AO=null", "QT_QPA_PLATFORM=xcb", "DISPLAY=" + x.display(),
                        "DBUS_SESSION_BUS_ADDRESS=disabled:", "QT_QPA_PLATFORMTHEME=",
                        "WAYLAND_DISPLAY=", "http_proxy=", "https_proxy=", "HTTP_PROXY=",
                        "HTTPS_PROXY=", "all_proxy=", "ALL_PROXY="});
            pid_t trayer = -1;
            if (tray) {
                trayer = qv::kit::Spawn({.argv = {"/usr/bin/trayer", "--edge", "bottom", "--align",
                                                  "right", "--widthtype", "pixel", "--width", "120",
                                                  "--heighttype", "pixel", "--height", "24"},
                                         .env = env,
                                         .cwd = folder});
                const bool shown = trayer > 0 && watcher.WaitForAnyMap(10000);
                std::printf("notification area: %s\n", shown ? "trayer" : "trayer did not show");
            }
            Measure("shipped", qv::bench::ProgramDir() + "/mmsDT.dll", folder, link, watcher, env,
                    runs, 250, 60);
            const std::string generated = folder + "/generated.dll";
            if (qv::kit::WriteCatalogue(generated, qv::bench::GeneratedStations(stations))
                    .empty()) {
                Measure("generated", generated, folder, link, watcher, env, runs, 1500, 0);
            } else {
                std::printf("cannot make a catalogue of %d stations\n", stations);
            }
            qv::kit::Stop(trayer);
            rc = 0;
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return rc;
}
