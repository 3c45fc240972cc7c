#pragma once
// Watching the two players from outside for the moment they play: the program by its window
// title on the display (it shows the player's status), mpv through its IPC socket (its core
// stops being idle). Times are CLOCK_MONOTONIC seconds, as MonotonicSeconds() gives them.
#include <sys/types.h>
#include <xcb/xcb.h>

#include <string>
#include <vector>

namespace qv::bench {

// Follows the titles of the display's top-level windows.
class TitleWatcher final {
  public:
    explicit TitleWatcher(const std::string& display);
    ~TitleWatcher();
    TitleWatcher(const TitleWatcher&) = delete;
    TitleWatcher& operator=(const TitleWatcher&) = delete;
    [[nodiscard]] bool ok() const { return ok_; }

    // Drops what earlier runs left behind; call before starting the program.
    void reset();
    // When some window created since reset() first had a title beginning with `prefix`
    // (UTF-8); -1 after timeoutMs or once process pid has ended.
    [[nodiscard]] double waitForTitle(const std::string& prefix, pid_t pid, int timeoutMs);

  private:
    [[nodiscard]] bool titleBegins(xcb_window_t w, const std::string& prefix);

    xcb_connection_t* c_;
    xcb_atom_t netWmName_ = XCB_NONE;
    xcb_atom_t utf8_ = XCB_NONE;
    bool ok_ = false;
};

// When mpv, started with --input-ipc-server=socketPath, reports core-idle false; -1 after
// timeoutMs or once process pid has ended.
[[nodiscard]] double WaitForMpvPlaying(const std::string& socketPath, pid_t pid, int timeoutMs);

// Resident, proportional and private memory of a process, in KiB, from /proc/<pid>/smaps_rollup
// and VmHWM of /proc/<pid>/status.
struct Memory {
    long peakRssKb = -1;
    long pssKb = -1;
    long privateKb = -1;  // Private_Clean + Private_Dirty
};
[[nodiscard]] Memory ReadMemory(pid_t pid);

// /proc/<pid>/smaps summed by what is mapped (a file, [heap], [anon] and so on), the largest
// `lines` by resident size, as printable lines.
[[nodiscard]] std::vector<std::string> MappingsBySize(pid_t pid, size_t lines);

}  // namespace qv::bench
