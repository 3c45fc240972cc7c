// The file side: creation, atomic replacement, odd files, and failures that must lose nothing.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/ini/ini_helpers.h"

namespace qv::test {
namespace {

using namespace std::string_literals;

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    DIR* d = ::opendir(folder.c_str());
    if (d == nullptr)
        return names;
    while (dirent* e = ::readdir(d)) {
        const std::string n = e->d_name;
        if (n != "." && n != "..")
            names.push_back(n);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

TEST(IniFile, WriteCreatesAMissingFileAndReadDoesNot) {
    IniFile file("create");
    EXPECT_EQ(file.Read("s", "k"), kMissing);
    EXPECT_TRUE(Entries(file.folder()).empty());

    ASSERT_TRUE(file.Write("s", "k", "v"));
    ASSERT_TRUE(file.Write("s", "k2", "w"));
    EXPECT_EQ(Entries(file.folder()), std::vector<std::string>{"pz.ini"});  // no temporary left
    EXPECT_EQ(file.Bytes(), "[s]\r\nk=v\r\nk2=w\r\n");  // a Windows INI file: CRLF
    EXPECT_EQ(file.Read("s", "k2"), "w");

    const mode_t mask = ::umask(022);
    ::umask(mask);
    EXPECT_EQ(ModeOf(file.path()), 0666 & ~mask);
}

// On Linux a '\' is an ordinary character of a name, and a folder's name need not be valid UTF-8
// or GBK: the path reaches the file system byte for byte.
TEST(IniFile, FolderNamesAreTakenByteForByte) {
    const std::vector<std::string> names = {
        "back\\slash",
        "C:\\Quorvin\\",
        Gbk("电台") + "\xFF\xFE",  // GBK bytes and bytes that are valid in no encoding
        "\xC3(",
    };
    for (const std::string& name : names) {
        SCOPED_TRACE(testing::PrintToString(name));
        IniFile file(name);
        ASSERT_TRUE(file.Write("s", "k", "v"));
        EXPECT_EQ(file.Read("s", "k"), "v");
        EXPECT_EQ(ReadFile(file.folder() + "/pz.ini"), "[s]\r\nk=v\r\n");
        EXPECT_EQ(Entries(file.folder()), std::vector<std::string>{"pz.ini"});
    }
}

TEST(IniFile, EmptyAndBinaryFilesReadAsDefaultsAndAreLeftAlone) {
    const std::string junk =
        "\x7f"
        "ELF\x02\x01\x01"s +
        std::string(5, '\0') + "\xFF\xFE[\r\r" + "=\x81\n\n" + std::string(3, '\0') +
        "\xFF[s\x81]\n" + "\x01\x02";
    for (const std::string& bytes : {std::string(), junk}) {
        IniFile file("odd");
        file.SetBytes(bytes);
        const FileState before = StateOf(file.path());
        EXPECT_EQ(file.Read("s", "k"), kMissing);
        EXPECT_EQ(file.Read("s", ""), kMissing);
        EXPECT_EQ(StateOf(file.path()), before);

        ASSERT_TRUE(file.Write("s", "k", "v"));
        const std::string after = file.Bytes();
        EXPECT_EQ(after.substr(0, bytes.size()), bytes);  // the junk is kept, byte for byte
        EXPECT_EQ(file.Read("s", "k"), "v");
    }
}

TEST(IniFile, NotARegularFileIsNeitherReadNorReplaced) {
    IniFile fifo("fifo");
    ASSERT_EQ(::mkfifo(fifo.path().c_str(), 0600), 0);
    EXPECT_EQ(fifo.Read("s", "k"), kMissing);  // must not block waiting for a writer
    EXPECT_FALSE(fifo.Write("s", "k", "v"));

    IniFile dir("dir");
    ASSERT_EQ(::mkdir(dir.path().c_str(), 0700), 0);
    EXPECT_EQ(dir.Read("s", "k"), kMissing);
    EXPECT_FALSE(dir.Write("s", "k", "v"));
    EXPECT_EQ(Entries(dir.folder()), std::vector<std::string>{"pz.ini"});
}

TEST(IniFile, OneMegabyteLineIsReadAndKept) {
    IniFile file("long");
    const std::string big(1024 * 1024, 'b');
    const std::string comment = ";" + std::string(1024 * 1024, 'c') + "\n";
    file.SetBytes(comment + "[s]\nbig=" + big + "\n");
    EXPECT_EQ(file.Read("s", "big"), big);
    ASSERT_TRUE(file.Write("s", "k", "v"));
    EXPECT_EQ(file.Bytes(), comment + "[s]\nbig=" + big + "\nk=v\n");
    EXPECT_EQ(file.Read("s", "big"), big);
}

TEST(IniFile, OversizeFileReadsAsDefaultsAndIsNotRewritten) {
    IniFile file("oversize");
    const std::string bytes = "[s]\nk=1\n" + std::string(17 * 1024 * 1024, 'x');
    file.SetBytes(bytes);
    const FileState before = StateOf(file.path());
    EXPECT_EQ(file.Read("s", "k"), kMissing);
    EXPECT_FALSE(file.Write("s", "k", "2"));
    EXPECT_EQ(StateOf(file.path()), before);
    EXPECT_EQ(Entries(file.folder()), std::vector<std::string>{"pz.ini"});
}

TEST(IniFile, ReplacementKeepsPermissionBitsAndSymbolicLinks) {
    IniFile file("perm");
    file.SetBytes("[s]\nk=1\n");
    ASSERT_EQ(::chmod(file.path().c_str(), 0640), 0);
    ASSERT_TRUE(file.Write("s", "k", "2"));
    EXPECT_EQ(ModeOf(file.path()), 0640u);

    const std::string link = file.folder() + "/link.ini";
    ASSERT_EQ(::symlink("pz.ini", link.c_str()), 0);
    ASSERT_TRUE(WriteIniValue(link, "s", "k", "3"));
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(file.Bytes(), "[s]\nk=3\n");
    EXPECT_EQ(ModeOf(file.path()), 0640u);
}

TEST(IniFile, UnwritableFolderFailsWithoutHarm) {
    IniFile file("readonly");
    file.SetBytes("[s]\nk=1\n");
    ASSERT_EQ(::chmod(file.folder().c_str(), 0500), 0);
    if (::access(file.folder().c_str(), W_OK) == 0) {
        // Running as root: permissions do not stop writes. A folder that is a regular file does.
        ASSERT_EQ(::chmod(file.folder().c_str(), 0700), 0);
        const std::string notAFolder = file.folder() + "/plain";
        WriteFile(notAFolder, "data");
        EXPECT_FALSE(WriteIniValue(notAFolder + "/pz.ini", "s", "k", "2"));
        EXPECT_EQ(ReadFile(notAFolder), "data");
        EXPECT_EQ(Entries(file.folder()), (std::vector<std::string>{"plain", "pz.ini"}));
    } else {
        EXPECT_FALSE(file.Write("s", "k", "2"));
        EXPECT_EQ(file.Read("s", "k"), "1");
        ASSERT_EQ(::chmod(file.folder().c_str(), 0700), 0);
        EXPECT_EQ(Entries(file.folder()), std::vector<std::string>{"pz.ini"});
    }
    EXPECT_EQ(file.Bytes(), "[s]\nk=1\n");
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

TEST(IniFile, WriteCutShortLeavesTheOldFile) {
    IniFile file("short");
    file.SetBytes("; keep\n[s]\nk=1\n");
    {
        const FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.ok());
        EXPECT_FALSE(file.Write("s", "k", std::string(64 * 1024, 'x')));
    }
    EXPECT_EQ(file.Bytes(), "; keep\n[s]\nk=1\n");
    EXPECT_EQ(Entries(file.folder()), std::vector<std::string>{"pz.ini"});
    ASSERT_TRUE(file.Write("s", "k", std::string(64 * 1024, 'x')));
    EXPECT_EQ(file.Read("s", "k"), std::string(64 * 1024, 'x'));
}

ino_t InodeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// A pz.ini without its owner's write bit was pinned on purpose and is never replaced; the
// write reports false. The mode bits decide, so that it holds for root too.
TEST(IniFile, ReadOnlyFileIsKeptAsItIs) {
    struct Case {
        const char* what;
        mode_t mode;
        bool throughLink;
    };
    const Case cases[] = {
        {"read-only for all", 0444, false},
        {"readable by its owner only", 0400, false},
        {"writable by others, not by its owner", 0466, false},
        {"behind a symbolic link", 0444, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IniFile file("pinned");
        file.SetBytes("[s]\r\nk=1\r\n");
        ASSERT_EQ(::chmod(file.path().c_str(), c.mode), 0);
        std::string path = file.path();
        if (c.throughLink) {
            path = file.folder() + "/link.ini";
            ASSERT_EQ(::symlink("pz.ini", path.c_str()), 0);
        }
        const FileState before = StateOf(file.path());
        const ino_t inode = InodeOf(file.path());

        EXPECT_FALSE(WriteIniValue(path, "s", "k", "2"));
        EXPECT_FALSE(WriteIniValue(path, "s", "new", "x"));
        EXPECT_FALSE(WriteIniValue(path, "t", "k", "1"));
        EXPECT_EQ(StateOf(file.path()), before);
        EXPECT_EQ(InodeOf(file.path()), inode);
        EXPECT_EQ(ModeOf(file.path()), c.mode);
        EXPECT_EQ(ReadIniValue(path, "s", "k", kMissing), "1");

        // Its owner makes it writable again: writes go through.
        ASSERT_EQ(::chmod(file.path().c_str(), 0644), 0);
        EXPECT_TRUE(WriteIniValue(path, "s", "k", "2"));
        EXPECT_EQ(file.Read("s", "k"), "2");
    }
}

// Holds an exclusive lock on a file, as a writer of a running instance does on its temporary.
class HeldLock final {
  public:
    explicit HeldLock(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {}
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;
    ~HeldLock() { Release(); }
    bool Lock() { return fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) == 0; }
    void Release() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

  private:
    int fd_;
};

TEST(IniFile, TemporariesLeftByKilledWritesAreRemoved) {
    IniFile file("leftovers");
    file.SetBytes("[s]\r\nk=1\r\n");
    const std::string& f = file.folder();
    // What killed writes leave behind: a whole new file, a part of one, an empty one.
    WriteFile(f + "/.pz.ini.a1B2c3", "[s]\r\nk=2\r\n");
    WriteFile(f + "/.pz.ini.ZZZZZZ", "[s]\r\nk=");
    WriteFile(f + "/.pz.ini.000000", "");
    // Not leftovers of this file's writes: they stay.
    const std::vector<std::string> others = {".pz.ini.bak",   ".pz.ini.abc-12", ".pz.ini.abcdefg",
                                             ".other.a1B2c3", "pz.ini.a1B2c3",  ".pz.ini.dir000",
                                             ".pz.ini.link00"};
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

    ASSERT_TRUE(file.Write("s", "k", "3"));
    std::vector<std::string> expected = others;
    expected.push_back(".pz.ini.LiVe00");
    expected.push_back("pz.ini");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Entries(f), expected);
    EXPECT_EQ(ReadFile(f + "/.pz.ini.bak"), "kept");

    // That instance is killed: its temporary is a leftover now. A write that changes nothing
    // clears it up too.
    live.Release();
    ASSERT_TRUE(file.Write("s", "k", "3"));
    expected.erase(std::find(expected.begin(), expected.end(), ".pz.ini.LiVe00"));
    EXPECT_EQ(Entries(f), expected);
    EXPECT_EQ(file.Bytes(), "[s]\r\nk=3\r\n");
}

bool IsOldOrNew(const std::string& value, size_t newSize) {
    return value == "old" ||
           (value.size() == newSize && value.front() >= 'A' && value.front() <= 'Z' &&
            value.find_first_not_of(value.front()) == std::string::npos);
}

// A writer process is killed (SIGKILL) the moment its n-th temporary file appears, as kill -9
// during the closing writes would. Each key keeps its old or its new value, and the next write
// leaves the folder holding pz.ini alone.
TEST(IniFile, KilledWriterLeavesOldOrNewValuesAndNoLitter) {
    IniFile file("killed");
    file.SetBytes("[s]\r\na=old\r\nb=old\r\n");
    constexpr size_t kBig = 256 * 1024;  // long enough to be caught half-way
    int caughtHalfWay = 0;
    for (int round = 0; round < 9; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const int watch = ::inotify_init1(IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        ASSERT_GE(::inotify_add_watch(watch, file.folder().c_str(), IN_CREATE), 0);
        const pid_t writer = ::fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            for (int i = 0;; ++i) {
                WriteIniValue(file.path(), "s", i % 2 == 0 ? "a" : "b",
                              std::string(kBig, static_cast<char>('A' + i % 26)));
            }
        }
        const int killAt = round % 3 + 1;
        int created = 0;
        while (created < killAt) {
            pollfd p{watch, POLLIN, 0};
            if (::poll(&p, 1, 30000) != 1)
                break;  // the writer made no temporary file: fails below
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

        if (Entries(file.folder()).size() > 1)
            ++caughtHalfWay;
        EXPECT_TRUE(IsOldOrNew(file.Read("s", "a"), kBig));
        EXPECT_TRUE(IsOldOrNew(file.Read("s", "b"), kBig));
        ASSERT_TRUE(file.Write("s", "round", std::to_string(round)));
        EXPECT_EQ(Entries(file.folder()), std::vector<std::string>{"pz.ini"});
        EXPECT_EQ(file.Read("s", "round"), std::to_string(round));
    }
    // The kills did land while a temporary file stood beside pz.ini.
    EXPECT_GT(caughtHalfWay, 0);
}

}  // namespace
}  // namespace qv::test
