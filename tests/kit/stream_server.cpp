#include "kit/stream_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "kit/sealed.h"

namespace qv::kit {
namespace {

// nsenter becomes the program (same pid), keeping the caller's user, as it must without
// privileges.
std::vector<std::string> Entered(pid_t holder, const std::vector<std::string>& argv) {
    std::vector<std::string> out = {"nsenter", "--target", std::to_string(holder),
                                    "--user",  "--net",    "--preserve-credentials",
                                    "--"};
    out.insert(out.end(), argv.begin(), argv.end());
    return out;
}

// unshare's shell brings the namespace's loopback up, then becomes argv (same pid), so others
// can join the namespace through that pid.
std::vector<std::string> InLoopbackNamespace(const std::string& then,
                                             const std::vector<std::string>& argv) {
    std::vector<std::string> out = {
        "unshare", "--map-root-user", "--net", "sh", "-c", "ip link set lo up && " + then};
    out.insert(out.end(), argv.begin(), argv.end());
    return out;
}

}  // namespace

bool CanIsolateNetwork() {
    static const bool can = [] {
        // Make a namespace the way the server does, and join it the way programs do.
        const std::string folder = NewFolder("netns-check");
        Child holder;
        return holder.start({.argv = InLoopbackNamespace("echo up && exec sleep 60", {}),
                             .cwd = folder,
                             .log = folder + "/log",
                             .readOutput = true}) &&
               holder.readLine(10000) == "up" && Run(Entered(holder.pid(), {"true"})).code == 0;
    }();
    return can;
}

StreamServer::StreamServer(const std::vector<std::string>& args, Network network) {
    const std::string folder = NewFolder("streamserver");
    log_ = folder + "/requests.log";
    std::vector<std::string> argv = {QV_STREAMSERVER, "--port", "0", "--log", log_};
    argv.insert(argv.end(), args.begin(), args.end());
    isolated_ = network == Network::LoopbackOnly && CanIsolateNetwork();
    if (isolated_)
        argv = InLoopbackNamespace("exec \"$0\" \"$@\"", argv);
    if (!child_.start({.argv = argv, .cwd = folder, .readOutput = true}))
        return;
    // "PORT <n>" once it listens.
    const auto line = child_.readLine(10000);
    if (line && line->rfind("PORT ", 0) == 0)
        port_ = std::atoi(line->c_str() + 5);
}

std::string StreamServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> StreamServer::joined(const std::vector<std::string>& argv) const {
    return isolated_ ? Entered(child_.pid(), argv) : argv;
}

std::vector<std::string> StreamServer::logLines() const {
    std::ifstream in(log_, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty())
            lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> StreamServer::requests() const {
    std::vector<std::string> lines = logLines();
    // With --times a line ends in a tab and the time.
    for (std::string& line : lines) line = line.substr(0, line.find('\t'));
    return lines;
}

int StreamServer::count(const std::string& requestLine) const {
    const auto lines = requests();
    return static_cast<int>(std::count(lines.begin(), lines.end(), requestLine));
}

std::string StreamServer::waitForNext(size_t from, int timeoutMs) const {
    std::string next;
    Poll(
        [&] {
            const auto all = requests();
            if (all.size() > from)
                next = all[from];
            return !next.empty();
        },
        timeoutMs);
    return next;
}

double StreamServer::firstRequestAt(const std::string& path) const {
    for (const std::string& line : logLines()) {
        // "GET /path\t<microseconds>"
        const size_t sp = line.find(' ');
        const size_t tab = line.rfind('\t');
        if (sp == std::string::npos || tab == std::string::npos || tab < sp)
            continue;
        if (line.compare(sp + 1, tab - sp - 1, path) == 0)
            return std::atof(line.c_str() + tab + 1) / 1e6;
    }
    return -1;
}

RefusedPort::RefusedPort() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&a), len) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port_ = ntohs(a.sin_port);
}

RefusedPort::~RefusedPort() {
    if (fd_ >= 0)
        ::close(fd_);
}

std::string RefusedPort::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

}  // namespace qv::kit
