// The file side: creation, odd files, and failures that must lose nothing (the atomic
// replacement under them: file_write_test.cpp).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/platform/files/ini_helpers.h"

namespace qv::test {
namespace {

using namespace std::string_literals;

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

// The leftovers of killed writes are cleared by every write, also by one that replaces nothing
// (which names count as leftovers: file_write_test.cpp).
TEST(IniFile, WritesThatReplaceNothingStillClearLeftovers) {
    IniFile file("leftovers");
    file.SetBytes("[s]\r\nk=1\r\n");
    const std::string& f = file.folder();
    WriteFile(f + "/.pz.ini.a1B2c3", "[s]\r\nk=2\r\n");
    // One that a second instance is writing at this moment: it holds the lock, so it stays.
    HeldLock live(f + "/.pz.ini.LiVe00");
    ASSERT_TRUE(live.Lock());
    ASSERT_TRUE(file.Write("s", "k", "1"));  // the value it holds already
    EXPECT_EQ(Entries(f), (std::vector<std::string>{".pz.ini.LiVe00", "pz.ini"}));

    // That instance is killed: its temporary is a leftover now. A refused write clears it too.
    live.Release();
    ASSERT_EQ(::chmod(file.path().c_str(), 0444), 0);
    EXPECT_FALSE(file.Write("s", "k", "3"));
    EXPECT_EQ(Entries(f), std::vector<std::string>{"pz.ini"});
    EXPECT_EQ(file.Bytes(), "[s]\r\nk=1\r\n");
}

}  // namespace
}  // namespace qv::test
