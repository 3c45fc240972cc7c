#include "bench/playback/watch.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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

}  // namespace

TitleWatcher::TitleWatcher(const std::string& display) : c_(xcb_connect(display.c_str(), nullptr)) {
    if (xcb_connection_has_error(c_))
        return;
    netWmName_ = Atom(c_, "_NET_WM_NAME");
    utf8_ = Atom(c_, "UTF8_STRING");
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
    const uint32_t events[] = {XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY};
    xcb_change_window_attributes(c_, root, XCB_CW_EVENT_MASK, events);
    free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
    ok_ = netWmName_ != XCB_NONE && utf8_ != XCB_NONE;
}

TitleWatcher::~TitleWatcher() {
    xcb_disconnect(c_);
}

void TitleWatcher::reset() {
    free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
    while (xcb_generic_event_t* e = xcb_poll_for_event(c_)) free(e);
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

double TitleWatcher::waitForTitle(const std::string& prefix, pid_t pid, int timeoutMs) {
    const double end = MonotonicSeconds() + timeoutMs / 1000.0;
    while (MonotonicSeconds() < end && kit::Running(pid) && !xcb_connection_has_error(c_)) {
        pollfd p{xcb_get_file_descriptor(c_), POLLIN, 0};
        ::poll(&p, 1, 5);
        while (xcb_generic_event_t* e = xcb_poll_for_event(c_)) {
            const int type = e->response_type & 0x7F;
            xcb_window_t w = XCB_NONE;
            if (type == XCB_CREATE_NOTIFY) {
                // Follow its properties from now on, then read the title it may have already.
                w = reinterpret_cast<xcb_create_notify_event_t*>(e)->window;
                const uint32_t events[] = {XCB_EVENT_MASK_PROPERTY_CHANGE};
                xcb_change_window_attributes(c_, w, XCB_CW_EVENT_MASK, events);
            } else if (type == XCB_PROPERTY_NOTIFY) {
                const auto* pe = reinterpret_cast<xcb_property_notify_event_t*>(e);
                if (pe->atom == netWmName_)
                    w = pe->window;
            }
            free(e);
            if (w != XCB_NONE && titleBegins(w, prefix))
                return MonotonicSeconds();
        }
    }
    return -1;
}

double WaitForMpvPlaying(const std::string& socketPath, pid_t pid, int timeoutMs) {
    const double end = MonotonicSeconds() + timeoutMs / 1000.0;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof addr.sun_path)
        return -1;
    std::memcpy(addr.sun_path, socketPath.c_str(), socketPath.size() + 1);
    int fd = -1;
    // mpv opens its socket early in its start-up, long before it reaches the network.
    while (MonotonicSeconds() < end && kit::Running(pid)) {
        fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0)
            break;
        ::close(fd);
        fd = -1;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    if (fd < 0)
        return -1;
    const std::string observe = "{\"command\":[\"observe_property\",1,\"core-idle\"]}\n";
    double at = -1;
    if (::write(fd, observe.data(), observe.size()) == static_cast<ssize_t>(observe.size())) {
        std::string got;
        char buf[4096];
        while (at < 0 && MonotonicSeconds() < end) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 20) < 0)
                break;
            if (!(p.revents & (POLLIN | POLLHUP)))
                continue;
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0)
                break;
            got.append(buf, static_cast<size_t>(n));
            for (size_t nl; at < 0 && (nl = got.find('\n')) != std::string::npos;) {
                const std::string line = got.substr(0, nl);
                got.erase(0, nl + 1);
                if (line.find("\"property-change\"") != std::string::npos &&
                    line.find("\"core-idle\"") != std::string::npos &&
                    line.find("\"data\":false") != std::string::npos)
                    at = MonotonicSeconds();
            }
        }
    }
    ::close(fd);
    return at;
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
