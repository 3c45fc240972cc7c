#include "bench/playback/support.h"

#include <iconv.h>
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

extern char** environ;

namespace qv::bench {
namespace {

// Reads one line from fd within timeoutMs.
std::string ReadLine(int fd, int timeoutMs) {
    std::string line;
    char c;
    while (line.find('\n') == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0 || ::read(fd, &c, 1) != 1)
            break;
        line.push_back(c);
    }
    return line;
}

}  // namespace

std::string MakeSealedFolder(const std::string& name) {
    const char* base = std::getenv("TMPDIR");
    std::string t = std::string(base && *base ? base : "/tmp") + "/quorvin-" + name + "-XXXXXX";
    if (!mkdtemp(t.data()))
        return std::string();
    for (const char* sub : {"/home", "/cache", "/config", "/data", "/runtime"}) {
        std::filesystem::create_directories(t + sub);
    }
    std::filesystem::permissions(t + "/runtime", std::filesystem::perms::owner_all);
    return t;
}

std::vector<std::string> SealedEnvironment(const std::string& folder) {
    return {"HOME=" + folder + "/home", "XDG_CACHE_HOME=" + folder + "/cache",
            "XDG_CONFIG_HOME=" + folder + "/config", "XDG_DATA_HOME=" + folder + "/data",
            "XDG_RUNTIME_DIR=" + folder + "/runtime"};
}

void SealThisProcess(const std::string& folder) {
    for (const std::string& e : SealedEnvironment(folder)) {
        const size_t eq = e.find('=');
        setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
    }
}

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
            const std::string& cwd, int* outFd) {
    int out[2] = {-1, -1};
    if (outFd && ::pipe(out) != 0)
        return -1;
    // Built before the fork: only async-signal-safe calls in the child.
    std::vector<std::string> envStore;
    for (char** e = environ; *e; ++e) {
        std::string s = *e;
        const std::string key = s.substr(0, s.find('=') + 1);
        const bool replaced = std::any_of(env.begin(), env.end(), [&](const std::string& x) {
            return x.compare(0, key.size(), key) == 0;
        });
        if (!replaced)
            envStore.push_back(s);
    }
    envStore.insert(envStore.end(), env.begin(), env.end());
    std::vector<char*> envp;
    for (auto& s : envStore) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (auto& s : args) argp.push_back(s.data());
    argp.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!cwd.empty() && ::chdir(cwd.c_str()) != 0)
            ::_exit(127);
        if (outFd) {
            ::dup2(out[1], 1);
            ::close(out[0]);
            ::close(out[1]);
        }
        ::execve(argp[0], argp.data(), envp.data());
        ::_exit(127);
    }
    if (outFd) {
        ::close(out[1]);
        *outFd = pid > 0 ? out[0] : -1;
        if (pid <= 0)
            ::close(out[0]);
    }
    return pid;
}

void Stop(pid_t pid) {
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

double CpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = s.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream rest(s.substr(close + 2));
    std::string field;
    // Fields after the name: state is 3; utime 14 and stime 15.
    double ticks = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i >= 14)
            ticks += std::atof(field.c_str());
    }
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

long StatusKb(pid_t pid, const char* field) {
    std::ifstream in(pid == 0 ? std::string("/proc/self/status")
                              : "/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(field, 0) == 0)
            return std::atol(line.c_str() + std::strlen(field));
    }
    return -1;
}

double Median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

void Goal(const char* what, double value, double limit, const char* unit) {
    std::printf("  goal: %-44s %9.2f %s < %g %s  %s\n", what, value, unit, limit, unit,
                value >= 0 && value < limit ? "PASS" : "MISS");
}

std::string BuildDir() {
    return QV_BUILD_DIR;
}
std::string ProgramDir() {
    return QV_PROGRAM_DIR;
}

StreamServer::StreamServer(const std::vector<std::string>& extra) {
    log_ = MakeSealedFolder("streamserver") + "/requests.log";
    int out = -1;
    std::vector<std::string> args = {BuildDir() + "/tests/streamserver/qv-streamserver", "--port",
                                     "0", "--log", log_};
    args.insert(args.end(), extra.begin(), extra.end());
    pid_ = Spawn(args, {}, "", &out);
    if (pid_ <= 0)
        return;
    const std::string line = ReadLine(out, 5000);
    ::close(out);
    if (line.rfind("PORT ", 0) == 0)
        port_ = std::atoi(line.c_str() + 5);
}

StreamServer::~StreamServer() {
    Stop(pid_);
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(log_).parent_path(), ec);
}

std::string StreamServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string StreamServer::requests() const {
    std::ifstream in(log_);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

double StreamServer::firstRequestAt(const std::string& path) const {
    std::istringstream in(requests());
    for (std::string line; std::getline(in, line);) {
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

double MonotonicSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

Xvfb::Xvfb() {
    int out = -1;
    // -displayfd: Xvfb picks a free display and writes its number once it accepts clients.
    int fds[2];
    if (::pipe(fds) != 0)
        return;
    pid_ = Spawn({"/usr/bin/Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                  "1280x1024x24", "-nolisten", "tcp"},
                 {}, "", nullptr);
    ::close(fds[1]);
    out = fds[0];
    if (pid_ <= 0) {
        ::close(out);
        return;
    }
    std::string line = ReadLine(out, 10000);
    ::close(out);
    if (!line.empty() && line[0] >= '0' && line[0] <= '9') {
        display_ = ":" + std::to_string(std::atoi(line.c_str()));
    }
}

Xvfb::~Xvfb() {
    Stop(pid_);
}

const std::vector<std::string>& Provinces() {
    static const std::vector<std::string> p = {
        "北京", "天津", "河北", "山西", "内蒙古", "辽宁",   "吉林", "黑龙江", "上海",
        "江苏", "浙江", "安徽", "福建", "江西",   "山东",   "河南", "湖北",   "湖南",
        "广东", "广西", "海南", "重庆", "四川",   "贵州",   "云南", "西藏",   "陕西",
        "甘肃", "青海", "宁夏", "新疆", "中央",   "港澳台", "海外"};
    return p;
}

bool MakeCatalogue(const std::string& path, int n, const std::string& onlyProvince) {
    static const char* const words[] = {"新闻", "音乐", "交通", "经济", "文艺", "都市",
                                        "故事", "体育", "旅游", "生活", "农村", "戏曲",
                                        "之声", "综合", "频率", "调频"};
    std::filesystem::remove(path);
    sqlite3* db = nullptr;
    // A plain file, like the shipped catalogue.
    bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
              sqlite3_exec(db, "begin; create table radio(电台名称 TEXT, 省份 TEXT, 链接 TEXT)",
                           nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_stmt* insert = nullptr;
    ok = ok && sqlite3_prepare_v2(db, "insert into radio values(?, ?, ?)", -1, &insert, nullptr) ==
                   SQLITE_OK;
    std::mt19937 rng(7);
    const auto& provinces = Provinces();
    for (int i = 0; ok && i < n; ++i) {
        const std::string& province =
            onlyProvince.empty() ? provinces[rng() % provinces.size()] : onlyProvince;
        const std::string name = province + words[rng() % std::size(words)] +
                                 words[rng() % std::size(words)] + "广播" + std::to_string(i);
        const std::string link = "http://127.0.0.1:9/live/" + std::to_string(i);
        sqlite3_bind_text(insert, 1, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, province.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, link.c_str(), -1, SQLITE_TRANSIENT);
        ok = sqlite3_step(insert) == SQLITE_DONE;
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    ok = ok && sqlite3_exec(db, "commit", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

bool PrepareProgramFolder(const std::string& folder, const std::string& catalogue,
                          const std::string& link, const std::string& programDir) {
    namespace fs = std::filesystem;
    std::error_code ec;
    // A copy, not a link: the program finds pz.ini beside its own resolved path.
    fs::copy_file(programDir + "/quorvin", folder + "/quorvin",
                  fs::copy_options::overwrite_existing, ec);
    if (ec)
        return false;
    fs::copy_file(catalogue, folder + "/mmsDT.dll", fs::copy_options::overwrite_existing, ec);
    if (ec)
        return false;
    return WriteStationLink(folder, link);
}

// The program's settings file names a station and its link, in the program's code page. Written
// here rather than through the program's own library, so that this process maps none of what
// the program maps (Qt above all): pages both mapped would count as shared, not as the program's.
bool WriteStationLink(const std::string& folder, const std::string& link) {
    const std::string utf8 = "[电台]\r\n名称=基准电台\r\n链接=" + link + "\r\n";
    iconv_t cd = iconv_open("GB18030", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    std::string gbk(utf8.size() * 2, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* out = gbk.data();
    size_t outLeft = gbk.size();
    const bool converted = iconv(cd, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1);
    iconv_close(cd);
    if (!converted)
        return false;
    gbk.resize(gbk.size() - outLeft);
    std::ofstream file(folder + "/pz.ini", std::ios::binary | std::ios::trunc);
    file << gbk;
    return static_cast<bool>(file.flush());
}

}  // namespace qv::bench
