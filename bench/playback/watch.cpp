#include "bench/playback/watch.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcbext.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "bench/playback/support.h"
#include "kit/process.h"

namespace qv::bench {
namespace {

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    auto* r = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : XCB_NONE;
    free(r);
    return a;
}

// The XTEST extension, spoken directly (libxcb-xtest is not among the project's packages): its
// FakeInput request, as the X server takes it from xdotool.
xcb_extension_t gXTest = {"XTEST", 0};
constexpr uint8_t kFakeInput = 2;
struct FakeInputRequest {
    uint8_t major = 0;  // both opcodes and the length are filled in by xcb
    uint8_t minor = 0;
    uint16_t length = 0;
    uint8_t type = 0;
    uint8_t detail = 0;
    uint8_t pad0[2] = {};
    uint32_t time = 0;  // XCB_CURRENT_TIME: now
    xcb_window_t root = XCB_NONE;
    uint8_t pad1[8] = {};
    int16_t rootX = 0;
    int16_t rootY = 0;
    uint8_t pad2[7] = {};
    uint8_t deviceId = 0;
};
static_assert(sizeof(FakeInputRequest) == 36);

}  // namespace

TitleWatcher::TitleWatcher(const std::string& display) : c_(xcb_connect(display.c_str(), nullptr)) {
    if (xcb_connection_has_error(c_))
        return;
    netWmName_ = Atom(c_, "_NET_WM_NAME");
    utf8_ = Atom(c_, "UTF8_STRING");
    wmProtocols_ = Atom(c_, "WM_PROTOCOLS");
    netWmPing_ = Atom(c_, "_NET_WM_PING");
    root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
    // Structure events of the root too: Qt answers a ping with those.
    const uint32_t events[] = {XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY |
                               XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_change_window_attributes(c_, root_, XCB_CW_EVENT_MASK, events);
    const xcb_query_extension_reply_t* xtest = xcb_get_extension_data(c_, &gXTest);
    xtest_ = xtest && xtest->present;
    sync();
    ok_ = netWmName_ != XCB_NONE && utf8_ != XCB_NONE;
}

TitleWatcher::~TitleWatcher() {
    xcb_disconnect(c_);
}

void TitleWatcher::reset() {
    sync();
    while (xcb_generic_event_t* e = xcb_poll_for_event(c_)) free(e);
}

// A round trip: the server has handled every request sent before it.
void TitleWatcher::sync() {
    free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
}

bool TitleWatcher::titleBegins(xcb_window_t w, const std::string& prefix) {
    auto* r =
        xcb_get_property_reply(c_, xcb_get_property(c_, 0, w, netWmName_, utf8_, 0, 256), nullptr);
    bool match = false;
    if (r) {
        const auto* v = static_cast<const char*>(xcb_get_property_value(r));
        const auto n = static_cast<size_t>(xcb_get_property_value_length(r));
        match = n >= prefix.size() && std::memcmp(v, prefix.data(), prefix.size()) == 0;
    }
    free(r);
    return match;
}

template <typename Done>
bool TitleWatcher::pump(pid_t pid, int timeoutMs, Done done) {
    const double end = MonotonicSeconds() + timeoutMs / 1000.0;
    while (MonotonicSeconds() < end && kit::Running(pid) && !xcb_connection_has_error(c_)) {
        pollfd p{xcb_get_file_descriptor(c_), POLLIN, 0};
        ::poll(&p, 1, 5);
        while (xcb_generic_event_t* e = xcb_poll_for_event(c_)) {
            if ((e->response_type & 0x7F) == XCB_CREATE_NOTIFY) {
                // Follow its properties from now on (done() reads the title it may have already).
                const xcb_window_t w = reinterpret_cast<xcb_create_notify_event_t*>(e)->window;
                const uint32_t events[] = {XCB_EVENT_MASK_PROPERTY_CHANGE};
                xcb_change_window_attributes(c_, w, XCB_CW_EVENT_MASK, events);
            }
            const bool held = done(e);
            free(e);
            if (held)
                return true;
        }
    }
    return false;
}

double TitleWatcher::waitForTitle(const std::string& prefix, pid_t pid, int timeoutMs) {
    const bool seen = pump(pid, timeoutMs, [&](const xcb_generic_event_t* e) {
        const int type = e->response_type & 0x7F;
        xcb_window_t w = XCB_NONE;
        if (type == XCB_CREATE_NOTIFY) {
            w = reinterpret_cast<const xcb_create_notify_event_t*>(e)->window;
        } else if (type == XCB_PROPERTY_NOTIFY) {
            const auto* pe = reinterpret_cast<const xcb_property_notify_event_t*>(e);
            if (pe->atom == netWmName_)
                w = pe->window;
        }
        if (w == XCB_NONE || !titleBegins(w, prefix))
            return false;
        titled_ = w;
        return true;
    });
    return seen ? MonotonicSeconds() : -1;
}

double TitleWatcher::ping(xcb_window_t w, pid_t pid, int timeoutMs) {
    xcb_client_message_event_t m{};
    m.response_type = XCB_CLIENT_MESSAGE;
    m.format = 32;
    m.window = w;
    m.type = wmProtocols_;
    m.data.data32[0] = netWmPing_;
    m.data.data32[1] = ++pings_;  // the time field, here telling the answers apart
    m.data.data32[2] = w;
    const double sent = MonotonicSeconds();
    // No event mask: the message goes to the window's owner, which sends it back to the root
    // window.
    xcb_send_event(c_, 0, w, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&m));
    xcb_flush(c_);
    const bool answered = pump(pid, timeoutMs, [&](const xcb_generic_event_t* e) {
        if ((e->response_type & 0x7F) != XCB_CLIENT_MESSAGE)
            return false;
        const auto* a = reinterpret_cast<const xcb_client_message_event_t*>(e);
        return a->window == root_ && a->data.data32[0] == netWmPing_ && a->data.data32[1] == pings_;
    });
    return answered ? (MonotonicSeconds() - sent) * 1000 : -1;
}

std::optional<TitleWatcher::Place> TitleWatcher::waitForWindow(int width, int height, pid_t pid,
                                                               int timeoutMs) {
    Place place;
    const bool mapped = pump(pid, timeoutMs, [&](const xcb_generic_event_t* e) {
        if ((e->response_type & 0x7F) != XCB_MAP_NOTIFY)
            return false;
        const xcb_window_t w = reinterpret_cast<const xcb_map_notify_event_t*>(e)->window;
        auto* g = xcb_get_geometry_reply(c_, xcb_get_geometry(c_, w), nullptr);
        // Without a window manager a top-level window's parent is the root: x and y are its
        // place on the screen.
        const bool match = g && g->width == width && g->height == height;
        if (match)
            place = {g->x, g->y};
        free(g);
        return match;
    });
    return mapped ? std::optional(place) : std::nullopt;
}

bool TitleWatcher::fakeInput(uint8_t type, uint8_t detail, int16_t x, int16_t y) {
    if (!xtest_)
        return false;
    FakeInputRequest request;
    request.type = type;
    request.detail = detail;
    request.root = root_;
    request.rootX = x;
    request.rootY = y;
    static const xcb_protocol_request_t kRequest = {
        .count = 2, .ext = &gXTest, .opcode = kFakeInput, .isvoid = 1};
    // xcb_send_request uses the two iovecs before the ones it is given.
    iovec parts[4] = {};
    parts[2].iov_base = &request;
    parts[2].iov_len = sizeof request;
    parts[3].iov_base = nullptr;
    parts[3].iov_len = 0;
    xcb_send_request(c_, 0, parts + 2, &kRequest);
    return true;
}

bool TitleWatcher::movePointer(int x, int y) {
    if (!fakeInput(XCB_MOTION_NOTIFY, 0, static_cast<int16_t>(x), static_cast<int16_t>(y)))
        return false;
    sync();
    return true;
}

double TitleWatcher::click() {
    const double at = MonotonicSeconds();
    if (!fakeInput(XCB_BUTTON_PRESS, 1, 0, 0) || !fakeInput(XCB_BUTTON_RELEASE, 1, 0, 0))
        return -1;
    sync();
    return at;
}

MpvSocket::MpvSocket(const std::string& socketPath, pid_t pid, int timeoutMs) {
    const double end = MonotonicSeconds() + timeoutMs / 1000.0;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof addr.sun_path)
        return;
    std::memcpy(addr.sun_path, socketPath.c_str(), socketPath.size() + 1);
    // mpv opens its socket early in its start-up, long before it reaches the network.
    while (MonotonicSeconds() < end && kit::Running(pid)) {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0)
            break;
        ::close(fd_);
        fd_ = -1;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    if (fd_ >= 0 && send(R"({"command":["observe_property",1,"core-idle"]})") < 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

MpvSocket::~MpvSocket() {
    if (fd_ >= 0)
        ::close(fd_);
}

double MpvSocket::send(const std::string& json) {
    const std::string line = json + "\n";
    const double at = MonotonicSeconds();
    if (fd_ < 0 || ::write(fd_, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
        return -1;
    return at;
}

double MpvSocket::waitForCoreIdle(bool idle, int timeoutMs) {
    const double end = MonotonicSeconds() + timeoutMs / 1000.0;
    const std::string value = idle ? "\"data\":true" : "\"data\":false";
    char buf[4096];
    while (fd_ >= 0 && MonotonicSeconds() < end) {
        for (size_t nl; (nl = got_.find('\n')) != std::string::npos;) {
            const std::string line = got_.substr(0, nl);
            got_.erase(0, nl + 1);
            if (line.find("\"property-change\"") != std::string::npos &&
                line.find("\"core-idle\"") != std::string::npos &&
                line.find(value) != std::string::npos)
                return MonotonicSeconds();
        }
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 20) < 0)
            return -1;
        if (!(p.revents & (POLLIN | POLLHUP)))
            continue;
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n <= 0)
            return -1;
        got_.append(buf, static_cast<size_t>(n));
    }
    return -1;
}

double WaitForMpvPlaying(const std::string& socketPath, pid_t pid, int timeoutMs) {
    const double end = MonotonicSeconds() + timeoutMs / 1000.0;
    MpvSocket mpv(socketPath, pid, timeoutMs);
    const int left = static_cast<int>((end - MonotonicSeconds()) * 1000);
    return mpv.ok() && left > 0 ? mpv.waitForCoreIdle(false, left) : -1;
}

Memory ReadMemory(pid_t pid) {
    Memory m;
    m.peakRssKb = StatusKb(pid, "VmHWM:");
    std::ifstream in("/proc/" + std::to_string(pid) + "/smaps_rollup");
    long privateKb = 0;
    int privateFields = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("Pss:", 0) == 0)
            m.pssKb = std::atol(line.c_str() + 4);
        if (line.rfind("Anonymous:", 0) == 0)
            m.anonKb = std::atol(line.c_str() + 10);
        for (const char* f : {"Private_Clean:", "Private_Dirty:"}) {
            if (line.rfind(f, 0) == 0) {
                privateKb += std::atol(line.c_str() + std::strlen(f));
                ++privateFields;
            }
        }
    }
    if (privateFields == 2)
        m.privateKb = privateKb;
    return m;
}

std::vector<std::string> MappingsBySize(pid_t pid, size_t lines) {
    struct Sum {
        long rss = 0, pss = 0, priv = 0;
    };
    std::map<std::string, Sum> by;
    std::ifstream in("/proc/" + std::to_string(pid) + "/smaps");
    Sum* current = nullptr;
    for (std::string line; std::getline(in, line);) {
        const size_t colon = line.find(':');
        const bool field =
            colon != std::string::npos && colon < line.find(' ') && line.find('-') > colon;
        if (!field) {
            // "start-end perms offset dev inode [name]"
            std::istringstream head(line);
            std::string range, perms, offset, dev, inode, name;
            head >> range >> perms >> offset >> dev >> inode;
            std::getline(head, name);
            name.erase(0, name.find_first_not_of(' '));
            current = &by[name.empty() ? "[anon]" : name];
            continue;
        }
        if (!current)
            continue;
        const long kb = std::atol(line.c_str() + colon + 1);
        if (line.rfind("Rss:", 0) == 0)
            current->rss += kb;
        else if (line.rfind("Pss:", 0) == 0)
            current->pss += kb;
        else if (line.rfind("Private_Clean:", 0) == 0 || line.rfind("Private_Dirty:", 0) == 0)
            current->priv += kb;
    }
    std::vector<std::pair<std::string, Sum>> sorted(by.begin(), by.end());
    std::sort(sorted.begin(), sorted.end(),
              [](const auto& a, const auto& b) { return a.second.rss > b.second.rss; });
    std::vector<std::string> out;
    char buf[512];
    for (size_t i = 0; i < sorted.size() && i < lines; ++i) {
        const Sum& s = sorted[i].second;
        std::snprintf(buf, sizeof buf, "%7.1f %7.1f %7.1f  %s", s.rss / 1024.0, s.pss / 1024.0,
                      s.priv / 1024.0, sorted[i].first.c_str());
        out.emplace_back(buf);
    }
    return out;
}

}  // namespace qv::bench
