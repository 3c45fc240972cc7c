// Whole-file replacement: modes, the leftovers of killed writes, writes cut short or killed, and
// descriptors a started program could inherit. The routine and the writers built on it.
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "files/file_write.h"
#include "files/folders.h"
#include "kit/sealed.h"
#include "tests/platform/files/ini_helpers.h"

namespace {

// While on, every fsync of a regular file counts the descriptors this process holds open on that
// file and those of them that a program started now would inherit (no FD_CLOEXEC).
struct SyncWatch {
    bool on = false;
    int files = 0;
    int inheritable = 0;
};
SyncWatch g_syncs;

void CountDescriptorsOn(int synced) {
    struct stat file {};
    if (::fstat(synced, &file) != 0 || !S_ISREG(file.st_mode))
        return;
    ++g_syncs.files;
    DIR* fds = ::opendir("/proc/self/fd");
    if (fds == nullptr)
        return;
    while (const dirent* e = ::readdir(fds)) {
        const int fd = std::atoi(e->d_name);
        struct stat st {};
        if (e->d_name[0] == '.' || ::fstat(fd, &st) != 0 || st.st_dev != file.st_dev ||
            st.st_ino != file.st_ino) {
            continue;
        }
        if ((::fcntl(fd, F_GETFD) & FD_CLOEXEC) == 0)
            ++g_syncs.inheritable;
    }
    ::closedir(fds);
}

}  // namespace

// Stands in for the C library's fsync in this test program, to look at the descriptors at the
// moment a write holds them all open.
extern "C" int fsync(int fd) {
    using Sync = int (*)(int);
    static const auto real = reinterpret_cast<Sync>(::dlsym(RTLD_NEXT, "fsync"));
    if (g_syncs.on)
        CountDescriptorsOn(fd);
    return real(fd);
}

namespace qv::test {
namespace {

// Both routines that replace a whole file (paths here are ASCII, the same in GBK and UTF-8).
struct Writer {
    const char* name;
    std::function<bool(const std::string&, const std::string&)> write;
};

const Writer kWriters[] = {
    {"ReplaceFileAtomically",
     [](const std::string& p, const std::string& b) { return ReplaceFileAtomically(p, b); }},
    {"WriteBytesToFile",
     [](const std::string& p, const std::string& b) { return WriteBytesToFile(p, b); }},
};

class Umask final {
  public:
    explicit Umask(mode_t mask) : old_(::umask(mask)) {}
    Umask(const Umask&) = delete;
    Umask& operator=(const Umask&) = delete;
    ~Umask() { ::umask(old_); }

  private:
    mode_t old_;
};

TEST(FileWrite, NewFileTakesTheUmaskAndAnExistingOneKeepsItsMode) {
    for (const Writer& w : kWriters) {
        SCOPED_TRACE(w.name);
        for (const mode_t mask : {022, 077, 002}) {
            const Umask umask(mask);
            const std::string path = kit::NewFolder("new") + "/data";
            ASSERT_TRUE(w.write(path, "new"));
            EXPECT_EQ(ReadFile(path), "new");
            EXPECT_EQ(ModeOf(path), 0666 & ~mask) << std::oct << mask;
        }
        const Umask umask(077);
        for (const mode_t mode : {0640, 0604, 0600, 0644, 0755, 0444}) {
            const std::string folder = kit::NewFolder("old");
            const std::string path = folder + "/data";
            WriteFile(path, "old");
            ASSERT_EQ(::chmod(path.c_str(), mode), 0);
            ASSERT_TRUE(w.write(path, "new"));
            EXPECT_EQ(ReadFile(path), "new");
            EXPECT_EQ(ModeOf(path), mode) << std::oct << mode;
            EXPECT_EQ(Entries(folder), std::vector<std::string>{"data"});
        }
    }
}

TEST(FileWrite, TemporariesLeftByKilledWritesAreRemoved) {
    for (const Writer& w : kWriters) {
        SCOPED_TRACE(w.name);
        const std::string f = kit::NewFolder("leftovers");
        WriteFile(f + "/pz.ini", "old");
        // What killed writes leave behind: a whole new file, a part of one, an empty one.
        WriteFile(f + "/.pz.ini.a1B2c3", "[s]\r\nk=2\r\n");
        WriteFile(f + "/.pz.ini.ZZZZZZ", "[s]\r\nk=");
        WriteFile(f + "/.pz.ini.000000", "");
        // Not leftovers of this file's writes: they stay.
        const std::vector<std::string> others = {
            ".pz.ini.bak",   ".pz.ini.abc-12", ".pz.ini.abcdefg", ".other.a1B2c3",
            "pz.ini.a1B2c3", ".pz.ini.dir000", ".pz.ini.link00"};
        for (const std::string& name : others) {
            if (name == ".pz.ini.dir000") {
                ASSERT_EQ(::mkdir((f + "/" + name).c_str(), 0700), 0);
            } else if (name == ".pz.ini.link00") {
                ASSERT_EQ(::symlink(".pz.ini.bak", (f + "/" + name).c_str()), 0);
            } else {
                WriteFile(f + "/" + name, "kept");
            }
        }
        // One that a second instance is writing at this moment: it holds the lock, so it stays.
        HeldLock live(f + "/.pz.ini.LiVe00");
        ASSERT_TRUE(live.Lock());

        ASSERT_TRUE(w.write(f + "/pz.ini", "new"));
        std::vector<std::string> expected = others;
        expected.push_back(".pz.ini.LiVe00");
        expected.push_back("pz.ini");
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(Entries(f), expected);
        EXPECT_EQ(ReadFile(f + "/.pz.ini.bak"), "kept");
        EXPECT_EQ(ReadFile(f + "/pz.ini"), "new");

        // That instance is killed: its temporary is a leftover now.
        live.Release();
        ASSERT_TRUE(w.write(f + "/pz.ini", "newer"));
        expected.erase(std::find(expected.begin(), expected.end(), ".pz.ini.LiVe00"));
        EXPECT_EQ(Entries(f), expected);
    }
}

// Lowers the file size limit for this process, as a full disk would cut a write short.
class FileSizeLimit final {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = ::signal(SIGXFSZ, SIG_IGN);
        rlimit lower = old_;
        lower.rlim_cur = bytes;
        ok_ = ::setrlimit(RLIMIT_FSIZE, &lower) == 0;
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        ::signal(SIGXFSZ, oldHandler_);
    }
    [[nodiscard]] bool ok() const { return ok_; }

  private:
    rlimit old_{};
    sighandler_t oldHandler_ = SIG_DFL;
    bool ok_ = false;
};

TEST(FileWrite, WriteCutShortLeavesTheOldFile) {
    for (const Writer& w : kWriters) {
        SCOPED_TRACE(w.name);
        const std::string f = kit::NewFolder("short");
        WriteFile(f + "/pz.ini", "; keep\n[s]\nk=1\n");
        {
            const FileSizeLimit limit(4096);
            ASSERT_TRUE(limit.ok());
            EXPECT_FALSE(w.write(f + "/pz.ini", std::string(64 * 1024, 'x')));
        }
        EXPECT_EQ(ReadFile(f + "/pz.ini"), "; keep\n[s]\nk=1\n");
        EXPECT_EQ(Entries(f), std::vector<std::string>{"pz.ini"});
        ASSERT_TRUE(w.write(f + "/pz.ini", std::string(64 * 1024, 'x')));
        EXPECT_EQ(ReadFile(f + "/pz.ini"), std::string(64 * 1024, 'x'));
    }
}

bool IsOldOrNew(const std::string& content, size_t newSize) {
    return content == "old" ||
           (content.size() == newSize && content.front() >= 'A' && content.front() <= 'Z' &&
            content.find_first_not_of(content.front()) == std::string::npos);
}

// A writer process is killed (SIGKILL) the moment its n-th temporary file appears, as kill -9
// during the closing writes would. The file holds its old content or one whole new one, and the
// next write leaves the folder holding the file alone.
TEST(FileWrite, KilledWriterLeavesOldOrNewContentAndNoLitter) {
    const std::string folder = kit::NewFolder("killed");
    const std::string path = folder + "/pz.ini";
    WriteFile(path, "old");
    constexpr size_t kBig = 256 * 1024;  // long enough to be caught half-way
    int caughtHalfWay = 0;
    for (int round = 0; round < 9; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const int watch = ::inotify_init1(IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        ASSERT_GE(::inotify_add_watch(watch, folder.c_str(), IN_CREATE), 0);
        const pid_t writer = ::fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            for (int i = 0;; ++i)
                ReplaceFileAtomically(path, std::string(kBig, static_cast<char>('A' + i % 26)));
        }
        const int killAt = round % 3 + 1;
        int created = 0;
        // A writer that makes no temporary file of that name fails below, also one that makes
        // other files all the time.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (created < killAt) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                giveUp - std::chrono::steady_clock::now());
            pollfd p{watch, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) != 1)
                break;
            alignas(inotify_event) char events[4096];
            const ssize_t n = ::read(watch, events, sizeof events);
            for (ssize_t at = 0; at < n && created < killAt;) {
                const auto* e = reinterpret_cast<const inotify_event*>(events + at);
                if (e->len > 0 && std::string(e->name).starts_with(".pz.ini.") &&
                    ++created == killAt) {
                    ::kill(writer, SIGKILL);
                }
                at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            }
        }
        ::kill(writer, SIGKILL);
        int status = 0;
        ::waitpid(writer, &status, 0);
        ::close(watch);
        ASSERT_EQ(created, killAt);
        ASSERT_TRUE(WIFSIGNALED(status));

        if (Entries(folder).size() > 1)
            ++caughtHalfWay;
        const std::string content = ReadFile(path);
        EXPECT_TRUE(IsOldOrNew(content, kBig)) << content.size() << " bytes";
        const std::string next = "round " + std::to_string(round);
        ASSERT_TRUE(ReplaceFileAtomically(path, next));
        EXPECT_EQ(Entries(folder), std::vector<std::string>{"pz.ini"});
        EXPECT_EQ(ReadFile(path), next);
        WriteFile(path, "old");
    }
    // The kills did land while a temporary file stood beside the file.
    EXPECT_GT(caughtHalfWay, 0);
}

// A program started while a write is under way (a web browser, from another thread of a
// library) must not hold the temporary file or its lock for its whole run.
TEST(FileWrite, NoDescriptorOfAWriteIsInherited) {
    std::vector<Writer> writers(std::begin(kWriters), std::end(kWriters));
    writers.push_back({"WriteIniValue", [](const std::string& p, const std::string& b) {
                           return WriteIniValue(p, "s", "k", b);
                       }});
    for (const Writer& w : writers) {
        SCOPED_TRACE(w.name);
        const std::string path = kit::NewFolder("inherit") + "/pz.ini";
        WriteFile(path, "[s]\r\nk=old\r\n");
        g_syncs = {true, 0, 0};
        const bool written = w.write(path, "new");
        const SyncWatch seen = g_syncs;
        g_syncs.on = false;
        ASSERT_TRUE(written);
        EXPECT_EQ(seen.files, 1);
        EXPECT_EQ(seen.inheritable, 0);
    }
}

}  // namespace
}  // namespace qv::test
