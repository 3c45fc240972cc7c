#pragma once
// Watching the two players from outside for the moment they play: the program by its window
// title on the display (it shows the player's status), mpv through its IPC socket (its core
// stops being idle). And driving them as a user would: a click on the program's window, a
// command on mpv's socket. Times are CLOCK_MONOTONIC seconds, as MonotonicSeconds() gives them.
#include <sys/types.h>
#include <xcb/xcb.h>

#include <optional>
#include <string>
#include <vector>

namespace qv::bench {

// Follows the display's top-level windows and their titles, and clicks on them.
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
    // The window whose title matched in the last waitForTitle.
    [[nodiscard]] xcb_window_t titled() const { return titled_; }
    // How long the window's owner takes to answer a _NET_WM_PING, in ms: the delay of its event
    // loop. -1 when no answer came within timeoutMs or process pid ended.
    [[nodiscard]] double ping(xcb_window_t w, pid_t pid, int timeoutMs);

    // Where a window of this size, created since reset(), was mapped: its place on the screen.
    // nullopt after timeoutMs or once process pid has ended.
    struct Place {
        int x = 0, y = 0;
    };
    [[nodiscard]] std::optional<Place> waitForWindow(int width, int height, pid_t pid,
                                                     int timeoutMs);
    // Puts the pointer at a point of the screen, through XTEST as a mouse moves it.
    bool movePointer(int x, int y);
    // A left click (press and release) where the pointer is, through XTEST as a mouse button
    // gives it; returns when it was sent, once the X server has taken it, or -1.
    [[nodiscard]] double click();

  private:
    // Waits for events until `done` holds for one, timeoutMs passes or pid ends; what `done`
    // returned last. Windows created meanwhile are followed for their titles.
    template <typename Done>
    bool pump(pid_t pid, int timeoutMs, Done done);
    [[nodiscard]] bool titleBegins(xcb_window_t w, const std::string& prefix);
    bool fakeInput(uint8_t type, uint8_t detail, int16_t x, int16_t y);
    void sync();

    xcb_connection_t* c_;
    xcb_window_t root_ = XCB_NONE;
    xcb_atom_t netWmName_ = XCB_NONE;
    xcb_atom_t utf8_ = XCB_NONE;
    xcb_atom_t wmProtocols_ = XCB_NONE;
    xcb_atom_t netWmPing_ = XCB_NONE;
    xcb_window_t titled_ = XCB_NONE;
    uint32_t pings_ = 0;
    bool xtest_ = false;
    bool ok_ = false;
};

// mpv's IPC socket (--input-ipc-server), observing core-idle from the start.
class MpvSocket final {
  public:
    // Connects as soon as mpv has opened the socket; ok() is false when it did not within
    // timeoutMs, or process pid ended first.
    MpvSocket(const std::string& socketPath, pid_t pid, int timeoutMs);
    ~MpvSocket();
    MpvSocket(const MpvSocket&) = delete;
    MpvSocket& operator=(const MpvSocket&) = delete;
    [[nodiscard]] bool ok() const { return fd_ >= 0; }

    // Writes one command (a JSON line without its line end); when it was written, or -1.
    [[nodiscard]] double send(const std::string& json);
    // When mpv next reports core-idle as `idle` (the first report is the value it has when
    // observed); -1 after timeoutMs or once the socket closed.
    [[nodiscard]] double waitForCoreIdle(bool idle, int timeoutMs);

  private:
    int fd_ = -1;
    std::string got_;
};

// When mpv, started with --input-ipc-server=socketPath, reports core-idle false; -1 after
// timeoutMs or once process pid has ended.
[[nodiscard]] double WaitForMpvPlaying(const std::string& socketPath, pid_t pid, int timeoutMs);

// Resident, proportional, private and anonymous memory of a process, in KiB, from
// /proc/<pid>/smaps_rollup and VmHWM of /proc/<pid>/status. Private memory counts the pages of
// libraries and fonts that no other process maps, and so moves as other programs come and go;
// anonymous memory (heap, stacks, buffers) is the process's own.
struct Memory {
    long peakRssKb = -1;
    long pssKb = -1;
    long privateKb = -1;  // Private_Clean + Private_Dirty
    long anonKb = -1;     // Anonymous
};
[[nodiscard]] Memory ReadMemory(pid_t pid);

// /proc/<pid>/smaps summed by what is mapped (a file, [heap], [anon] and so on), the largest
// `lines` by resident size, as printable lines.
[[nodiscard]] std::vector<std::string> MappingsBySize(pid_t pid, size_t lines);

}  // namespace qv::bench
