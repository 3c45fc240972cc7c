#pragma once
// Runs tests/streamserver's qv-streamserver as a child process for the length of a test.
#include <string>
#include <vector>

namespace qv::test {

class StreamServer final {
  public:
    // Extra arguments go after --port and --log (e.g. {"--icy-title", "x"}).
    explicit StreamServer(const std::vector<std::string>& extra = {});
    ~StreamServer();
    StreamServer(const StreamServer&) = delete;
    StreamServer& operator=(const StreamServer&) = delete;

    [[nodiscard]] bool running() const { return port_ > 0; }
    [[nodiscard]] int port() const { return port_; }
    [[nodiscard]] std::string url(const std::string& path) const;
    // Request lines so far ("GET /path").
    [[nodiscard]] std::vector<std::string> requests() const;
    [[nodiscard]] int count(const std::string& requestLine) const;

  private:
    int pid_ = -1;
    int port_ = 0;
    std::string log_;
};

// A loopback port that nothing listens on.
[[nodiscard]] int ClosedPort();

}  // namespace qv::test
