#pragma once
// Shared pieces of the benchmarks: /proc readings, generated catalogues and a private Xvfb
// display. Child processes, sealed folders, the loopback stream server and the catalogue writer
// come from the test kit (tests/kit).
#include <sys/types.h>

#include <string>
#include <vector>

#include "kit/catalogue.h"
#include "kit/process.h"

namespace qv::bench {

// CLOCK_MONOTONIC now, in s (std::chrono::steady_clock's clock).
[[nodiscard]] double MonotonicSeconds();

// user + system CPU seconds of a process; -1 when it is gone.
[[nodiscard]] double CpuSeconds(pid_t pid);
// A "VmRSS:"-style field of /proc/<pid>/status in KiB (pid 0: this process); -1 if missing.
[[nodiscard]] long StatusKb(pid_t pid, const char* field);

[[nodiscard]] double Median(std::vector<double> v);
// Prints "  goal: <what> <value> <op> <limit>  PASS|MISS".
void Goal(const char* what, double value, double limit, const char* unit);

// A private X display; display() is ":N", or empty when Xvfb could not start.
class Xvfb final {
  public:
    Xvfb();
    [[nodiscard]] const std::string& display() const { return display_; }

  private:
    kit::Child x_;
    std::string display_;
};

// n generated stations in 34 provinces, in random order, or all in `onlyProvince` when it is
// given; the same ones on every run.
[[nodiscard]] std::vector<kit::Row> GeneratedStations(int n, const std::string& onlyProvince = {});
// The 34 province names, UTF-8.
[[nodiscard]] const std::vector<std::string>& Provinces();

// The built program's folder.
[[nodiscard]] std::string ProgramDir();

// Copies the program (from programDir) and a catalogue into folder and writes pz.ini with the
// station link.
bool PrepareProgramFolder(const std::string& folder, const std::string& catalogue,
                          const std::string& link, const std::string& programDir = ProgramDir());
// Writes the pz.ini of a prepared folder afresh, naming a station with this link.
bool WriteStationLink(const std::string& folder, const std::string& link);

}  // namespace qv::bench
