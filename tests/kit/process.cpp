#include "kit/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace qv::kit {
namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point end) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// The program's path: a name without a slash is looked up on PATH, as execvp would, but here
// before the fork.
std::string Resolve(const std::string& program) {
    if (program.find('/') != std::string::npos)
        return program;
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "/usr/local/bin:/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return program;
}

std::vector<std::string> Environment(const std::vector<std::string>& changes) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    for (const std::string& change : changes) {
        const size_t eq = change.find('=');
        const std::string key = change.substr(0, eq) + "=";
        std::erase_if(env,
                      [&](const std::string& e) { return e.compare(0, key.size(), key) == 0; });
        if (eq != std::string::npos)
            env.push_back(change);
    }
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (std::string& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

}  // namespace

pid_t Spawn(const Command& command, int* outFd) {
    if (command.argv.empty())
        return -1;
    // Built before the fork: only async-signal-safe calls in the child.
    std::vector<std::string> envStore = Environment(command.env);
    std::vector<std::string> argStore = command.argv;
    argStore[0] = Resolve(argStore[0]);
    const std::vector<char*> envp = Pointers(envStore);
    const std::vector<char*> argp = Pointers(argStore);
    const bool piped = command.readOutput && outFd;
    int out[2] = {-1, -1};
    // Stays open in the child until its exec: a byte on it is exec's errno.
    int failed[2] = {-1, -1};
    if ((piped && ::pipe2(out, O_CLOEXEC) != 0) || ::pipe2(failed, O_CLOEXEC) != 0) {
        for (int fd : out)
            if (fd >= 0)
                ::close(fd);
        return -1;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        int error = 0;
        if (!command.cwd.empty() && ::chdir(command.cwd.c_str()) != 0)
            error = errno;
        if (error == 0 && !command.log.empty()) {
            const int log = ::open(command.log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            if (log < 0)
                error = errno;
            else {
                ::dup2(log, 2);
                if (!piped)
                    ::dup2(log, 1);
                if (log > 2)
                    ::close(log);
            }
        }
        if (error == 0 && piped)
            ::dup2(out[1], 1);
        if (error == 0) {
            ::execve(argp[0], argp.data(), envp.data());
            error = errno;
        }
        [[maybe_unused]] const ssize_t n = ::write(failed[1], &error, sizeof error);
        ::_exit(127);
    }
    ::close(failed[1]);
    if (piped)
        ::close(out[1]);
    int error = 0;
    const bool execFailed = pid > 0 && ::read(failed[0], &error, sizeof error) > 0;
    ::close(failed[0]);
    if (pid <= 0 || execFailed) {
        if (execFailed)
            ::waitpid(pid, nullptr, 0);
        if (piped)
            ::close(out[0]);
        return -1;
    }
    if (piped)
        *outFd = out[0];
    return pid;
}

void Stop(pid_t pid, int graceMs) {
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    const auto end = Clock::now() + std::chrono::milliseconds(graceMs);
    do {
        if (::waitpid(pid, nullptr, WNOHANG) != 0)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (Clock::now() < end);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

bool Running(pid_t pid) {
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
}

bool Poll(const std::function<bool()>& done, int timeoutMs, int stepMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (Clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(stepMs));
    }
    return true;
}

RunResult Run(const std::vector<std::string>& argv, const std::vector<std::string>& env,
              int timeoutMs) {
    RunResult r;
    int out = -1;
    const pid_t pid =
        Spawn({.argv = argv, .env = env, .log = "/dev/null", .readOutput = true}, &out);
    if (pid <= 0)
        return r;
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[4096];
    for (;;) {
        pollfd p{out, POLLIN, 0};
        if (::poll(&p, 1, MsLeft(end)) <= 0)
            break;
        const ssize_t n = ::read(out, buffer, sizeof buffer);
        if (n <= 0)
            break;
        r.out.append(buffer, static_cast<size_t>(n));
    }
    ::close(out);
    int status = 0;
    const bool ended =
        Poll([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, MsLeft(end), 5);
    if (!ended) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        r.out.clear();
        return r;
    }
    if (WIFEXITED(status))
        r.code = WEXITSTATUS(status);
    return r;
}

Child::~Child() {
    stop();
}

bool Child::start(const Command& command) {
    stop();
    logFile_ = command.log;
    pid_ = Spawn(command, &out_);
    return pid_ > 0;
}

bool Child::reaped(int timeoutMs) const {
    if (pid_ <= 0 || ended_)
        return ended_;
    ended_ = Poll([&] { return ::waitpid(pid_, &status_, WNOHANG) == pid_; }, timeoutMs, 5);
    return ended_;
}

bool Child::running() const {
    return pid_ > 0 && !reaped(0);
}

std::optional<int> Child::waitForExit(int timeoutMs) {
    if (pid_ <= 0 || !reaped(timeoutMs) || !WIFEXITED(status_))
        return std::nullopt;
    return WEXITSTATUS(status_);
}

std::optional<std::string> Child::readLine(int timeoutMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t at;
    while ((at = buffered_.find('\n')) == std::string::npos) {
        pollfd p{out_, POLLIN, 0};
        char buffer[256];
        ssize_t n = 0;
        if (out_ < 0 || ::poll(&p, 1, MsLeft(end)) <= 0 ||
            (n = ::read(out_, buffer, sizeof buffer)) <= 0)
            return std::nullopt;
        buffered_.append(buffer, static_cast<size_t>(n));
    }
    std::string line = buffered_.substr(0, at);
    buffered_.erase(0, at + 1);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

std::string Child::log() const {
    if (logFile_.empty())
        return {};
    std::ifstream in(logFile_, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void Child::stop(int graceMs) {
    if (pid_ > 0 && !ended_)
        Stop(pid_, graceMs);
    if (out_ >= 0)
        ::close(out_);
    pid_ = -1;
    out_ = -1;
    buffered_.clear();
    ended_ = false;
    status_ = 0;
}

}  // namespace qv::kit
