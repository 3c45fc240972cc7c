#include "tests/e2e/harness.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <memory>
#include <sstream>

#include "kit/catalogue.h"
#include "kit/sealed.h"
#include "tests/support/support.h"
#include "texts/text.h"

namespace qv::e2e {
namespace {

namespace fs = std::filesystem;

std::string Trimmed(std::string_view s, const char* blanks = " \t\r\n") {
    const auto b = s.find_first_not_of(blanks);
    if (b == std::string_view::npos)
        return {};
    return std::string(s.substr(b, s.find_last_not_of(blanks) - b + 1));
}

std::vector<std::string> Lines(const std::string& s) {
    std::vector<std::string> out;
    std::istringstream in(s);
    for (std::string line; std::getline(in, line);) {
        line = Trimmed(line);
        if (!line.empty())
            out.push_back(line);
    }
    return out;
}

std::string Tool(const std::string& relative) {
    return test::BuildFolder() + "/" + relative;
}

}  // namespace

// ---- Display ----

Display::Display(bool windowManager) : folder_(kit::NewFolder("display")) {
    // -displayfd 1: Xvfb picks a free display and writes its number on stdout once it listens,
    // so parallel test processes never race for a number.
    if (!xvfb_.start({.argv = {"Xvfb", "-displayfd", "1", "-screen", "0",
                               std::to_string(kWidth) + "x" + std::to_string(kHeight) + "x24",
                               "-br", "-nolisten", "tcp", "-ac", "-noreset"},
                      .cwd = folder_,
                      .log = folder_ + "/xvfb.log",
                      .readOutput = true})) {
        why_ = "Xvfb did not start";
        return;
    }
    const auto number = xvfb_.readLine(20000);
    if (!number || number->empty()) {
        why_ = "Xvfb gave no display number: " + xvfb_.log();
        return;
    }
    name_ = ":" + *number;
    const std::vector<std::string> env = {"DISPLAY=" + name_, "HOME=" + folder_};
    if (windowManager) {
        if (!wm_.start({.argv = {"openbox", "--sm-disable"},
                        .env = env,
                        .cwd = folder_,
                        .log = folder_ + "/openbox.log"})) {
            why_ = "openbox did not start";
            return;
        }
        // openbox names its check window on the root once it manages the screen.
        if (!kit::Poll(
                [&] {
                    return kit::Run({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"},
                                    {"DISPLAY=" + name_})
                               .out.find("window id") != std::string::npos;
                },
                20000)) {
            why_ = "openbox did not take the screen: " + wm_.log();
            return;
        }
    }
    if (!trayer_.start({.argv = {"trayer", "--edge", "bottom", "--align", "right", "--widthtype",
                                 "pixel", "--width", "120", "--heighttype", "pixel", "--height",
                                 "24", "--SetDockType", "false", "--SetPartialStrut", "false"},
                        .env = env,
                        .cwd = folder_,
                        .log = folder_ + "/trayer.log"})) {
        why_ = "trayer did not start";
        return;
    }
    ok_ = kit::Poll(
        [&] {
            return !Lines(xdotool({"search", "--class", "trayer"}).out).empty();
        },
        20000);
    if (!ok_)
        why_ = "trayer did not show: " + trayer_.log();
}

kit::RunResult Display::xdotool(const std::vector<std::string>& args) const {
    std::vector<std::string> argv = {"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    return kit::Run(argv, {"DISPLAY=" + name_});
}

QImage Display::grab() const {
    static int counter = 0;
    const std::string out = folder_ + "/grab-" + std::to_string(++counter) + ".png";
    const kit::RunResult r =
        kit::Run({Tool("tests/e2e/qv-xgrab"), out}, {"DISPLAY=" + name_}, 15000);
    if (r.code != 0)
        return {};
    QImage img(QString::fromStdString(out));
    fs::remove(out);
    return img.convertToFormat(QImage::Format_RGB32);
}

std::string Display::keep(const QImage& image, const std::string& name) const {
    std::string path = folder_ + "/" + name + ".png";
    image.save(QString::fromStdString(path), "PNG");
    return path;
}

void Display::movePointer(int x, int y) const {
    // xdotool's --sync waits for the pointer to move, forever when it is already there.
    const std::string at = Trimmed(xdotool({"getmouselocation", "--shell"}).out);
    if (at.rfind("X=" + std::to_string(x) + "\nY=" + std::to_string(y) + "\n", 0) == 0)
        return;
    xdotool({"mousemove", "--sync", std::to_string(x), std::to_string(y)});
}

void Display::parkPointer() const {
    movePointer(kWidth - 1, 0);
}

std::string Display::wmState(const std::string& window) const {
    const std::string out =
        kit::Run({"xprop", "-id", window, "WM_STATE"}, {"DISPLAY=" + name_}).out;
    const std::string tag = "window state: ";
    const auto at = out.find(tag);
    if (at == std::string::npos)
        return {};
    return Trimmed(out.substr(at + tag.size(), out.find('\n', at) - at - tag.size()));
}

bool Display::isDialog(const std::string& window) const {
    return kit::Run({"xprop", "-id", window, "_NET_WM_WINDOW_TYPE"}, {"DISPLAY=" + name_})
               .out.find("_NET_WM_WINDOW_TYPE_DIALOG") != std::string::npos;
}

std::string Display::focus() const {
    return Trimmed(xdotool({"getwindowfocus"}).out);
}

bool Display::viewable(const std::string& window) const {
    return kit::Run({"xwininfo", "-id", window}, {"DISPLAY=" + name_}).out.find("IsViewable") !=
           std::string::npos;
}

namespace {

std::array<std::unique_ptr<Display>, 2>& Displays() {
    static std::array<std::unique_ptr<Display>, 2> displays;
    return displays;
}

// Ends the shared displays while the test process's Qt still stands.
class DisplayCleanup final : public ::testing::Environment {
  public:
    void TearDown() override {
        for (auto& d : Displays()) d.reset();
    }
};
[[maybe_unused]] ::testing::Environment* const kCleanup =
    ::testing::AddGlobalTestEnvironment(new DisplayCleanup);

}  // namespace

const Display& SharedDisplay(bool windowManager) {
    auto& d = Displays()[windowManager ? 1 : 0];
    if (!d)
        d = std::make_unique<Display>(windowManager);
    return *d;
}

// ---- Program ----

Program::Program(const Display& display, const kit::StreamServer& server,
                 const std::string& realName)
    : display_(display), server_(server), folder_(kit::NewFolder("program")) {
    if (!realName.empty()) {
        // The tools take names as text; they reach the folder through a plain-named link.
        fs::remove(folder_);
        fs::create_directory_symlink(kit::NewFolder(realName), folder_);
    }
    fs::copy_file(test::BuildFolder() + "/quorvin/quorvin", file("quorvin"));
    kit::SealFolder(folder_);
}

bool Program::start(const std::vector<std::string>& env) {
    window_.clear();
    titles_.clear();
    std::vector<std::string> e = kit::SealedEnvironment(folder_);
    e.insert(e.end(), {"DISPLAY=" + display_.name(), "QT_QPA_PLATFORM=xcb", "QUORVIN_AO=null",
                       // No session bus: the icon goes to trayer by XEmbed, and nothing reaches
                       // the user's desktop. No scaling: the tests compare pixels one for one.
                       "DBUS_SESSION_BUS_ADDRESS", "WAYLAND_DISPLAY", "QT_QPA_PLATFORMTHEME",
                       "QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_ENABLE_HIGHDPI_SCALING",
                       "QT_FONT_DPI", "http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY",
                       "no_proxy", "all_proxy", "ALL_PROXY"});
    e.insert(e.end(), env.begin(), env.end());
    // Inside the server's namespace the program keeps its pid: its windows carry it.
    return child_.start({.argv = server_.joined({file("quorvin")}),
                         .env = e,
                         .cwd = folder_,
                         .log = folder_ + "/program.log"});
}

::testing::AssertionResult Program::launch(const Launch& launch) {
    if (launch.stations) {
        std::vector<kit::Row> rows;
        for (const Station& s : *launch.stations)
            rows.push_back({s.name, s.province, server_.url(s.path)});
        const std::string error = kit::WriteCatalogue(file("mmsDT.dll"), rows);
        if (!error.empty())
            return ::testing::AssertionFailure() << "no catalogue: " << error;
    }
    if (launch.settings)
        test::WriteFile(settingsFile(), *launch.settings);
    return relaunch(launch.env);
}

::testing::AssertionResult Program::relaunch(const std::vector<std::string>& env) {
    if (!start(env))
        return ::testing::AssertionFailure() << "the program did not start: " << log();
    if (waitForWindow().empty())
        return ::testing::AssertionFailure() << "no main window came up: " << log();
    return ::testing::AssertionSuccess();
}

std::vector<std::string> Program::visibleWindows() const {
    const std::string tray = trayIcon();
    std::vector<std::string> out;
    for (const std::string& w :
         Lines(display_.xdotool({"search", "--onlyvisible", "--pid", std::to_string(child_.pid())})
                   .out)) {
        if (w != tray)
            out.push_back(w);
    }
    return out;
}

std::string Program::trayIcon() const {
    for (const std::string& w :
         Lines(display_.xdotool({"search", "--pid", std::to_string(child_.pid())}).out)) {
        const auto g = geometry(w);
        if (g && g->width > 1 && g->width <= 64 && g->height <= 64 &&
            Trimmed(display_.xdotool({"getwindowname", w}).out) == "Quorvin") {
            return w;
        }
    }
    return {};
}

std::string Program::waitForWindow(int timeoutMs) {
    kit::Poll(
        [&] {
            for (const std::string& w : visibleWindows()) {
                const auto g = geometry(w);
                if (g && g->width == 346 && g->height == 507) {
                    window_ = w;
                    return true;
                }
            }
            return !child_.running();
        },
        timeoutMs, 100);
    return window_;
}

std::optional<Geometry> Program::geometry(const std::string& window) const {
    const std::string w = window.empty() ? window_ : window;
    if (w.empty())
        return std::nullopt;
    const kit::RunResult r = display_.xdotool({"getwindowgeometry", "--shell", w});
    if (r.code != 0)
        return std::nullopt;
    Geometry g;
    int seen = 0;
    for (const std::string& line : Lines(r.out)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string k = line.substr(0, eq);
        const int v = std::stoi(line.substr(eq + 1));
        if (k == "X")
            g.x = v, ++seen;
        if (k == "Y")
            g.y = v, ++seen;
        if (k == "WIDTH")
            g.width = v, ++seen;
        if (k == "HEIGHT")
            g.height = v, ++seen;
    }
    if (seen != 4)
        return std::nullopt;
    return g;
}

std::string Program::title() const {
    if (window_.empty())
        return {};
    return Trimmed(display_.xdotool({"getwindowname", window_}).out, "\r\n");
}

bool Program::waitForTitle(const std::string& prefix, int timeoutMs) {
    return kit::Poll(
        [&] {
            const std::string t = title();
            if (titles_.empty() || titles_.back() != t)
                titles_.push_back(t);
            return t.rfind(prefix, 0) == 0;
        },
        timeoutMs);
}

std::string Program::titlesSeen() const {
    std::string out;
    for (const std::string& t : titles_) out += "\"" + t + "\" ";
    return out;
}

void Program::click(int x, int y, const std::string& window) const {
    const auto g = geometry(window);
    if (!g)
        return;
    display_.movePointer(g->x + x, g->y + y);
    display_.xdotool({"click", "1"});
}

bool Program::move(int x, int y) const {
    display_.xdotool({"windowmove", window_, std::to_string(x), std::to_string(y)});
    return kit::Poll(
        [&] {
            const auto g = geometry();
            return g && g->x == x && g->y == y;
        },
        10000);
}

QImage Program::shot() const {
    const auto g = geometry();
    const QImage screen = display_.grab();
    if (!g || screen.isNull())
        return {};
    return screen.copy(g->x, g->y, 346, 507);
}

std::string Program::waitForLook(const std::function<std::string(const QImage&)>& check,
                                 int timeoutMs) const {
    QImage last;
    std::string complaint;
    const bool fine = kit::Poll(
        [&] {
            last = shot();
            complaint = last.isNull() ? "no picture of the window" : check(last);
            return complaint.empty();
        },
        timeoutMs, 100);
    if (fine)
        return {};
    static int counter = 0;
    return complaint +
           " (last grab: " + display_.keep(last, "window-" + std::to_string(++counter)) +
           "; QV_KEEP_TEMP=1 keeps it)";
}

std::optional<int> Program::close() {
    click(305, 11);
    return waitForExit();
}

std::optional<int> Program::waitForExit(int timeoutMs) {
    return child_.waitForExit(timeoutMs);
}

std::optional<std::string> IniValue(const std::string& bytes, const std::string& section,
                                    const std::string& key) {
    const Text wantSection = Gbk(section);
    const Text wantKey = Gbk(key);
    bool inSection = false;
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);) {
        const std::string l = Trimmed(line, " \t\r");
        if (!l.empty() && l.front() == '[' && l.back() == ']') {
            inSection = Trimmed(l.substr(1, l.size() - 2), " \t") == wantSection;
            continue;
        }
        const auto eq = l.find('=');
        if (inSection && eq != std::string::npos && Trimmed(l.substr(0, eq), " \t") == wantKey)
            return Utf8(Trimmed(l.substr(eq + 1), " \t"));
    }
    return std::nullopt;
}

}  // namespace qv::e2e
