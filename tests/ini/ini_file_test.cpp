// The file side: creation, atomic replacement, odd files, and failures that must lose nothing.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
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

    // Paths are built as folder + "\pz.ini".
    ASSERT_TRUE(WriteIniValue(file.folder() + "\\pz.ini", "s", "k", "v"));
    ASSERT_TRUE(file.Write("s", "k2", "w"));
    EXPECT_EQ(Entries(file.folder()), std::vector<std::string>{"pz.ini"});  // no temporary left
    EXPECT_EQ(file.Bytes(), "[s]\nk=v\nk2=w\n");
    EXPECT_EQ(ReadIniValue(file.folder() + "\\pz.ini", "s", "k2", kMissing), "w");

    const mode_t mask = ::umask(022);
    ::umask(mask);
    EXPECT_EQ(ModeOf(file.path()), 0666 & ~mask);
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

}  // namespace
}  // namespace qv::test
