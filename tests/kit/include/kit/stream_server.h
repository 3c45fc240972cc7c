#pragma once
// tests/streamserver's qv-streamserver on a free loopback port, for the life of the object.
#include <sys/types.h>

#include <string>
#include <vector>

#include "kit/process.h"

namespace qv::kit {

enum class Network {
    Shared,  // the machine's own
    // A network namespace holding nothing but a loopback interface, where the machine allows
    // it (see CanIsolateNetwork()): programs that join it (JoinCommand) reach nothing else, not
    // even a DNS server.
    LoopbackOnly,
};

class StreamServer final {
  public:
    // `args` go after its port and log (e.g. {"--icy-title", "x"}).
    explicit StreamServer(const std::vector<std::string>& args = {},
                          Network network = Network::Shared);
    StreamServer(const StreamServer&) = delete;
    StreamServer& operator=(const StreamServer&) = delete;

    [[nodiscard]] bool running() const { return port_ > 0; }
    [[nodiscard]] int port() const { return port_; }
    // Whether it runs in a loopback-only namespace of its own.
    [[nodiscard]] bool isolated() const { return isolated_; }
    [[nodiscard]] std::string url(const std::string& path) const;
    // A command that runs argv inside the server's namespace when it has one, else argv itself.
    // The program keeps its pid (its windows carry it) and the caller's user.
    [[nodiscard]] std::vector<std::string> joined(const std::vector<std::string>& argv) const;

    // The request lines so far ("GET /path"), in the order they came.
    [[nodiscard]] std::vector<std::string> requests() const;
    [[nodiscard]] int count(const std::string& requestLine) const;
    // Waits for a request after the first `from` ones; returns its line (empty on timeout).
    [[nodiscard]] std::string waitForNext(size_t from, int timeoutMs) const;
    // With --times: when the first request for `path` arrived (CLOCK_MONOTONIC, the clock of
    // std::chrono::steady_clock, in s); -1 if none did.
    [[nodiscard]] double firstRequestAt(const std::string& path) const;

  private:
    [[nodiscard]] std::vector<std::string> logLines() const;

    Child child_;
    std::string log_;
    int port_ = 0;
    bool isolated_ = false;
};

// Whether this machine lets a process make a network namespace holding only a loopback
// interface, and others join it (unshare and nsenter, as any user).
[[nodiscard]] bool CanIsolateNetwork();

// A loopback port that refuses connections for as long as the object lives (bound, never
// listening).
class RefusedPort final {
  public:
    RefusedPort();
    ~RefusedPort();
    RefusedPort(const RefusedPort&) = delete;
    RefusedPort& operator=(const RefusedPort&) = delete;
    [[nodiscard]] int port() const { return port_; }
    [[nodiscard]] std::string url(const std::string& path) const;

  private:
    int fd_;
    int port_ = 0;
};

}  // namespace qv::kit
