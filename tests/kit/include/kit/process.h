#pragma once
// Child processes for the tests and the benchmarks, started with fork and exec.
#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qv::kit {

struct Command {
    // argv[0]: a path, or a name looked up on PATH.
    std::vector<std::string> argv{};
    // Applied in order to this process's environment: "NAME=value" sets, a bare "NAME" removes.
    std::vector<std::string> env{};
    std::string cwd{};  // empty: this process's
    // Empty: standard output and error are this process's. Otherwise standard error, and
    // standard output unless it is read, are appended to this file: a pipe nobody drains would
    // stall a chatty child.
    std::string log{};
    bool readOutput = false;  // standard output to a pipe
};

// Starts the command. With readOutput, outFd receives the read end of its standard output.
// Returns the pid, or -1 when it could not be started (the program missing, say).
pid_t Spawn(const Command& command, int* outFd = nullptr);
// SIGTERM, then SIGKILL after graceMs; reaps the child.
void Stop(pid_t pid, int graceMs = 1000);
// Whether a child still runs; leaves it unreaped, so its resource usage can still be collected.
[[nodiscard]] bool Running(pid_t pid);

// Calls `done` every stepMs until it holds or timeoutMs passes; returns whether it held.
bool Poll(const std::function<bool()>& done, int timeoutMs, int stepMs = 50);

struct RunResult {
    int code = -1;  // -1: did not start, crashed or timed out
    std::string out;
};
// Runs a short command to its end (killed after timeoutMs), its standard output read and its
// standard error dropped. env as in Command.
RunResult Run(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
              int timeoutMs = 10000);

// A child process, ended (SIGTERM, then SIGKILL) when its owner goes, also when a test fails
// half-way.
class Child final {
  public:
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child();
    // Ends any process started before.
    bool start(const Command& command);
    [[nodiscard]] pid_t pid() const { return pid_; }
    [[nodiscard]] bool running() const;
    // The exit code once the process ended normally within timeoutMs; nullopt while it still
    // runs or when a signal ended it.
    std::optional<int> waitForExit(int timeoutMs);
    // One line of its standard output (without the line end), or nullopt after timeoutMs.
    std::optional<std::string> readLine(int timeoutMs);
    [[nodiscard]] std::string log() const;
    void stop(int graceMs = 3000);

  private:
    // Reaps the process when it has ended, keeping its status.
    bool reaped(int timeoutMs) const;

    pid_t pid_ = -1;
    int out_ = -1;
    std::string buffered_;
    std::string logFile_;
    mutable bool ended_ = false;
    mutable int status_ = 0;
};

}  // namespace qv::kit
