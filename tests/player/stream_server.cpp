#include "tests/player/stream_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "tests/support/support.h"

extern char** environ;

namespace qv::test {

StreamServer::StreamServer(const std::vector<std::string>& extra) {
    log_ = NewFolder("streamserver") + "/requests.log";
    std::string exe = BuildFolder() + "/tests/streamserver/qv-streamserver";
    std::vector<std::string> args = {exe, "--port", "0", "--log", log_};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    int out[2];
    if (::pipe(out) != 0)
        return;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_addclose(&fa, out[0]);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, exe.c_str(), &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    ::close(out[1]);
    if (rc != 0) {
        ::close(out[0]);
        return;
    }
    pid_ = pid;
    // Read "PORT <n>\n", giving the server a few seconds to start.
    std::string line;
    char c;
    while (line.find('\n') == std::string::npos) {
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0 || ::read(out[0], &c, 1) != 1)
            break;
        line.push_back(c);
    }
    ::close(out[0]);
    if (line.rfind("PORT ", 0) == 0)
        port_ = std::atoi(line.c_str() + 5);
}

StreamServer::~StreamServer() {
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
}

std::string StreamServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> StreamServer::requests() const {
    std::vector<std::string> lines;
    std::istringstream in(ReadFile(log_));
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

int StreamServer::count(const std::string& requestLine) const {
    auto lines = requests();
    return static_cast<int>(std::count(lines.begin(), lines.end(), requestLine));
}

int ClosedPort() {
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
        port = ntohs(addr.sin_port);
    }
    ::close(s);  // bound but never listening, and now closed: connections are refused
    return port;
}

}  // namespace qv::test
