#pragma once
// End-to-end harness: an Xvfb display with a notification area (trayer), the loopback stream
// server, and a copy of the built program in a folder of its own, driven with xdotool. Every
// child process is ended when its owner goes, also when a test fails half-way.
//
// Where the machine allows it (user and network namespaces), the stream server runs in a network
// namespace that holds nothing but a loopback interface (kit::Network::LoopbackOnly), and every
// program joins it: nothing a program under test asks for can leave the machine, not even a DNS
// lookup.
#include <gtest/gtest.h>

#include <QImage>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "kit/process.h"
#include "kit/stream_server.h"

namespace qv::e2e {

struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
};

// An Xvfb screen of 1024 x 768 with a black root, trayer as its notification area at the
// bottom right and, when asked, openbox as its window manager (iconifying a window needs one).
class Display final {
  public:
    explicit Display(bool windowManager);
    [[nodiscard]] bool ok() const { return ok_; }
    [[nodiscard]] const std::string& name() const { return name_; }
    [[nodiscard]] std::string why() const { return why_; }
    kit::RunResult xdotool(const std::vector<std::string>& args) const;
    // The whole screen, grabbed by qv-xgrab; a null image when the grab failed.
    [[nodiscard]] QImage grab() const;
    // Saves an image beside the display's logs; returns its path (for failure messages).
    std::string keep(const QImage& image, const std::string& name) const;
    // Moves the pointer to a place on the screen and waits until it is there.
    void movePointer(int x, int y) const;
    // The pointer to the top right corner, where no window lies, so no control shows its hover
    // look.
    void parkPointer() const;
    // The window's WM_STATE as the window manager keeps it: "Normal", "Iconic", or empty.
    [[nodiscard]] std::string wmState(const std::string& window) const;
    // Whether the window calls itself a dialog (_NET_WM_WINDOW_TYPE).
    [[nodiscard]] bool isDialog(const std::string& window) const;
    // The window that has the keyboard focus.
    [[nodiscard]] std::string focus() const;
    // Whether the window is mapped and all its ancestors are (it can be seen).
    [[nodiscard]] bool viewable(const std::string& window) const;

    static constexpr int kWidth = 1024;
    static constexpr int kHeight = 768;

  private:
    std::string name_;
    std::string folder_;
    std::string why_;
    bool ok_ = false;
    kit::Child xvfb_;
    kit::Child wm_;
    kit::Child trayer_;
};

// One display per kind for the whole test process, started on first use.
const Display& SharedDisplay(bool windowManager = false);

// A station of a test catalogue; its link is the stream server's `path`.
struct Station {
    std::string name;      // UTF-8
    std::string province;  // UTF-8
    std::string path;
};

// The catalogue most tests use: four provinces in the grid (北京, 广东, 广东珠海, 上海, in GBK
// order), 广东's two neighbours sharing its text, and names whose GBK order differs from their
// Unicode order. Rows are stored in this order.
inline const std::vector<Station> kStations = {
    {"北京音乐广播", "北京", "/radio/1"}, {"羊城交通广播", "广东", "/radio/3"},
    {"珠江经济台", "广东", "/radio/5"},   {"上海故事广播", "上海", "/radio/6"},
    {"广东新闻广播", "广东", "/radio/4"}, {"北京交通广播", "北京", "/radio/2"},
    {"珠海电台", "广东珠海", "/radio/7"},
};

// What the program's folder gets before the program starts.
struct Launch {
    // mmsDT.dll's rows, in this order; nullopt leaves the folder's own (none, or the test's).
    std::optional<std::vector<Station>> stations = kStations;
    // pz.ini's bytes as stored (GBK); nullopt leaves the folder's own.
    std::optional<std::string> settings = std::nullopt;
    // KEY=VALUE entries added to the program's environment.
    std::vector<std::string> env = {};
};

// A copy of the built program in a new folder of its own, with HOME and the XDG folders inside.
// It joins the stream server's network namespace when the server has one. With `realName`, the
// folder's own name is those bytes (any bytes but '/'); file() and the working folder reach it
// through a link, so the program's own path (/proc/self/exe) holds that name.
class Program final {
  public:
    Program(const Display& display, const kit::StreamServer& server,
            const std::string& realName = {});
    [[nodiscard]] std::string file(const std::string& name) const { return folder_ + "/" + name; }
    [[nodiscard]] std::string settingsFile() const { return file("pz.ini"); }

    // Writes the catalogue and pz.ini of `launch` into the folder, starts the program and
    // waits for its main window; a failure says what went wrong, with the program's log.
    [[nodiscard]] ::testing::AssertionResult launch(const Launch& launch = {});
    // Starts the program again in its folder as it stands, and waits for its main window.
    [[nodiscard]] ::testing::AssertionResult relaunch(const std::vector<std::string>& env = {});
    // Only starts it (env: KEY=VALUE entries added to its environment).
    bool start(const std::vector<std::string>& env = {});
    // The main window's id once a 346 x 507 window of the process is mapped; empty after
    // timeoutMs or when the process ended.
    std::string waitForWindow(int timeoutMs = 20000);
    // The main window's id as waitForWindow found it.
    [[nodiscard]] const std::string& window() const { return window_; }
    // The mapped windows of the process, other than the notification-area icon.
    [[nodiscard]] std::vector<std::string> visibleWindows() const;
    // The notification-area icon's window (the process's small window named after its tip).
    [[nodiscard]] std::string trayIcon() const;
    [[nodiscard]] std::optional<Geometry> geometry(const std::string& window = {}) const;
    [[nodiscard]] std::string title() const;
    // Waits for a title starting with `prefix`; remembers every title seen on the way.
    bool waitForTitle(const std::string& prefix, int timeoutMs);
    [[nodiscard]] std::string titlesSeen() const;
    // A left click at a place relative to the main window (or another window of the process).
    void click(int x, int y, const std::string& window = {}) const;
    // Moves the main window (without a window manager the move is immediate) and waits until
    // the X server reports it there.
    bool move(int x, int y) const;
    // The main window's pixels as now on the screen (346 x 507; parts off the screen are black).
    [[nodiscard]] QImage shot() const;
    // Grabs the window until `check` finds nothing wrong (returns an empty text) or timeoutMs
    // passes; returns the last complaint, with the path of the last grab kept for a look.
    std::string waitForLook(const std::function<std::string(const QImage&)>& check,
                            int timeoutMs = 10000) const;
    // Clicks the close button and waits for the process to end; its exit code.
    std::optional<int> close();
    std::optional<int> waitForExit(int timeoutMs = 15000);
    [[nodiscard]] bool running() const { return child_.running(); }
    [[nodiscard]] std::string log() const { return child_.log(); }

  private:
    const Display& display_;
    const kit::StreamServer& server_;
    std::string folder_;
    std::string window_;
    std::vector<std::string> titles_;
    kit::Child child_;
};

// The value of a key in INI bytes (GBK), in UTF-8; nullopt when the section or key is missing.
// A plain reader of its own: section lines "[name]", then "key=value" lines, blanks around key
// and value ignored, CR LF or LF line ends.
[[nodiscard]] std::optional<std::string> IniValue(const std::string& bytes,
                                                  const std::string& section,
                                                  const std::string& key);

// The program's default station link and name.
inline constexpr const char* kDefaultLink = "mms://alive.rbc.cn/fm876";
inline constexpr const char* kDefaultName = ">>> 北京电台文艺广播";

// A test with the shared display (openbox on it when windowManager()) and a stream server of
// its own.
class E2eTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(display().ok()) << display().why();
        ASSERT_TRUE(server.running()) << "the stream server did not start";
    }
    [[nodiscard]] virtual bool windowManager() const { return false; }
    [[nodiscard]] const Display& display() const { return SharedDisplay(windowManager()); }

    kit::StreamServer server{{}, kit::Network::LoopbackOnly};
};

}  // namespace qv::e2e
