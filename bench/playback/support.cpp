#include "bench/playback/support.h"

#include <iconv.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace qv::bench {

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

std::string ProgramDir() {
    return QV_PROGRAM_DIR;
}

double MonotonicSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

Xvfb::Xvfb() {
    // -displayfd 1: Xvfb picks a free display and writes its number on stdout once it accepts
    // clients.
    if (!x_.start({.argv = {"/usr/bin/Xvfb", "-displayfd", "1", "-screen", "0", "1280x1024x24",
                            "-nolisten", "tcp"},
                   .readOutput = true}))
        return;
    const auto line = x_.readLine(10000);
    if (line && !line->empty() && (*line)[0] >= '0' && (*line)[0] <= '9')
        display_ = ":" + std::to_string(std::atoi(line->c_str()));
}

const std::vector<std::string>& Provinces() {
    static const std::vector<std::string> p = {
        "北京", "天津", "河北", "山西", "内蒙古", "辽宁",   "吉林", "黑龙江", "上海",
        "江苏", "浙江", "安徽", "福建", "江西",   "山东",   "河南", "湖北",   "湖南",
        "广东", "广西", "海南", "重庆", "四川",   "贵州",   "云南", "西藏",   "陕西",
        "甘肃", "青海", "宁夏", "新疆", "中央",   "港澳台", "海外"};
    return p;
}

std::vector<kit::Row> GeneratedStations(int n, const std::string& onlyProvince) {
    static const char* const words[] = {"新闻", "音乐", "交通", "经济", "文艺", "都市",
                                        "故事", "体育", "旅游", "生活", "农村", "戏曲",
                                        "之声", "综合", "频率", "调频"};
    std::vector<kit::Row> rows;
    rows.reserve(static_cast<size_t>(std::max(n, 0)));
    std::mt19937 rng(7);
    const auto& provinces = Provinces();
    for (int i = 0; i < n; ++i) {
        const std::string& province =
            onlyProvince.empty() ? provinces[rng() % provinces.size()] : onlyProvince;
        std::string name = province + words[rng() % std::size(words)] +
                           words[rng() % std::size(words)] + "广播" + std::to_string(i);
        rows.push_back({std::move(name), province, "http://127.0.0.1:9/live/" + std::to_string(i)});
    }
    return rows;
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
