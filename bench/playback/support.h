#pragma once
// Shared pieces of the benchmarks: child processes, /proc readings, the loopback stream server,
// generated catalogues and a private Xvfb display.
#include <sys/types.h>

#include <string>
#include <vector>

namespace qv::bench {

// A fresh folder with home/, cache/, config/ and runtime/ inside, under $TMPDIR or /tmp.
[[nodiscard]] std::string MakeSealedFolder(const std::string& name);
// HOME and XDG_* pointing into a sealed folder, as "NAME=value" entries.
[[nodiscard]] std::vector<std::string> SealedEnvironment(const std::string& folder);
// Sets the same variables in this process.
void SealThisProcess(const std::string& folder);

// Starts argv[0] (a path) with extra "NAME=value" entries in the environment, in folder cwd
// (empty: this one). With outFd non-null, the child's stdout goes to a pipe whose read end is
// returned there. Returns the pid, or -1.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
            const std::string& cwd, int* outFd = nullptr);
// SIGTERM, then SIGKILL after a second; reaps the child.
void Stop(pid_t pid);

// CLOCK_MONOTONIC now, in s (std::chrono::steady_clock's clock).
[[nodiscard]] double MonotonicSeconds();

// user + system CPU seconds of a process; -1 when it is gone.
[[nodiscard]] double CpuSeconds(pid_t pid);
// A "VmRSS:"-style field of /proc/<pid>/status in KiB (pid 0: this process); -1 if missing.
[[nodiscard]] long StatusKb(pid_t pid, const char* field);

[[nodiscard]] double Median(std::vector<double> v);
// Prints "  goal: <what> <value> <op> <limit>  PASS|MISS".
void Goal(const char* what, double value, double limit, const char* unit);

// The loopback stream server from tests/streamserver, for the life of the object; `extra`
// arguments go after its port and log (e.g. {"--files", folder, "--times"}).
class StreamServer final {
  public:
    explicit StreamServer(const std::vector<std::string>& extra = {});
    ~StreamServer();
    StreamServer(const StreamServer&) = delete;
    StreamServer& operator=(const StreamServer&) = delete;
    [[nodiscard]] bool running() const { return port_ > 0; }
    [[nodiscard]] std::string url(const std::string& path) const;
    [[nodiscard]] std::string requests() const;  // the request log
    // With --times: when the first request for `path` arrived (CLOCK_MONOTONIC, the clock of
    // std::chrono::steady_clock, in s); -1 if none did.
    [[nodiscard]] double firstRequestAt(const std::string& path) const;

  private:
    pid_t pid_ = -1;
    int port_ = 0;
    std::string log_;
};

// A private X display; display() is ":N", or empty when Xvfb could not start.
class Xvfb final {
  public:
    Xvfb();
    ~Xvfb();
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;
    [[nodiscard]] const std::string& display() const { return display_; }

  private:
    pid_t pid_ = -1;
    std::string display_;
};

// A catalogue like the shipped one with n generated stations in 34 provinces, in random order,
// or all in `onlyProvince` when it is given.
bool MakeCatalogue(const std::string& path, int n, const std::string& onlyProvince = {});
// The 34 province names, UTF-8.
[[nodiscard]] const std::vector<std::string>& Provinces();

// The built tree (for the stream server and the program's folder).
[[nodiscard]] std::string BuildDir();
[[nodiscard]] std::string ProgramDir();

// Copies the program (from programDir) and a catalogue into folder and writes pz.ini with the
// station link.
bool PrepareProgramFolder(const std::string& folder, const std::string& catalogue,
                          const std::string& link, const std::string& programDir = ProgramDir());
// Writes the pz.ini of a prepared folder afresh, naming a station with this link.
bool WriteStationLink(const std::string& folder, const std::string& link);

}  // namespace qv::bench
