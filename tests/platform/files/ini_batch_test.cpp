// Two copies of the program that close at the same moment: each one's closing writes reach the
// file as one replacement, one writer at a time, so that the file always holds one copy's whole
// state and the last to close wins.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "ini_format.h"
#include "kit/process.h"
#include "tests/platform/files/ini_helpers.h"

namespace qv::test {
namespace {

struct State {
    std::string left, top, volume, name, link;
    bool operator==(const State&) const = default;
};

const State kInitial{"10", "20", "50", ">>> 0", "http://127.0.0.1/0"};
const State kA{"100", "40", "30", ">>> A", "http://127.0.0.1/a"};
const State kB{"300", "80", "70", ">>> B", "http://127.0.0.1/b"};

std::string Value(const std::string& bytes, const char* section, const char* key) {
    return ini::FindValue(bytes, Gbk(section), Gbk(key)).value_or("<none>");
}

State StateIn(const std::string& bytes) {
    return {Value(bytes, "窗口位置", "左边"), Value(bytes, "窗口位置", "顶边"),
            Value(bytes, "音量", "音量值"), Value(bytes, "电台", "名称"),
            Value(bytes, "电台", "链接")};
}

std::string Describe(const State& s) {
    return s.left + "," + s.top + "," + s.volume + "," + s.name + "," + s.link;
}

void PrintTo(const State& s, std::ostream* os) {
    *os << Describe(s);
}

// A file in the program's own folder as a user left it: the closing sequence's keys and one of
// the user's own.
std::string InitialFile() {
    return Gbk("; 用户的注释\r\n[其他]\r\n键=值\r\n[窗口位置]\r\n左边=" + kInitial.left +
               "\r\n顶边=" + kInitial.top + "\r\n[音量]\r\n音量值=" + kInitial.volume +
               "\r\n[电台]\r\n名称=" + kInitial.name + "\r\n链接=" + kInitial.link + "\r\n");
}

// Starts a writer (ini_writer_main.cpp) that closes `rounds` times with this state.
bool StartWriter(kit::Child& child, const std::string& path, const std::string& name,
                 const State& s, int rounds) {
    return child.start({.argv = {BuildFolder() + "/tests/platform/files/qv-ini-writer", path, name,
                                 std::to_string(rounds), s.left, s.top, s.volume, s.name, s.link},
                        .readOutput = true});
}

// The writers' counts in the file; 0 for one that has not written yet.
int CountOf(const std::string& bytes, const std::string& writer) {
    return std::atoi(ini::FindValue(bytes, "writers", writer).value_or("0").c_str());
}

TEST(IniClosing, TwoCopiesClosingTogetherLeaveOneWholeState) {
    IniFile file("together");
    file.SetBytes(InitialFile());
    constexpr int kRounds = 150;
    kit::Child a;
    kit::Child b;
    ASSERT_TRUE(StartWriter(a, file.path(), "A", kA, kRounds));
    ASSERT_TRUE(StartWriter(b, file.path(), "B", kB, kRounds));
    // Every version of the file seen meanwhile holds one whole state, and neither writer's count
    // goes back (a write based on an older read would put it back).
    int snapshots = 0;
    int countA = 0;
    int countB = 0;
    std::string bad;
    while ((a.running() || b.running()) && bad.empty()) {
        const std::string bytes = file.Bytes();
        ++snapshots;
        const State s = StateIn(bytes);
        if (s != kInitial && s != kA && s != kB)
            bad = "a mixed state: " + Describe(s);
        const int nowA = CountOf(bytes, "A");
        const int nowB = CountOf(bytes, "B");
        if (nowA < countA || nowB < countB) {
            bad = "a count went back: A " + std::to_string(countA) + " -> " + std::to_string(nowA) +
                  ", B " + std::to_string(countB) + " -> " + std::to_string(nowB);
        }
        countA = std::max(countA, nowA);
        countB = std::max(countB, nowB);
    }
    EXPECT_EQ(bad, "") << "after " << snapshots << " looks at the file";
    EXPECT_EQ(a.waitForExit(30000), 0);
    EXPECT_EQ(b.waitForExit(30000), 0);

    const std::string after = file.Bytes();
    const State last = StateIn(after);
    EXPECT_TRUE(last == kA || last == kB) << Describe(last);
    EXPECT_EQ(CountOf(after, "A"), kRounds);
    EXPECT_EQ(CountOf(after, "B"), kRounds);
    EXPECT_EQ(after.rfind(Gbk("; 用户的注释\r\n[其他]\r\n键=值\r\n"), 0), 0u);
}

// Holds the lock that writers of a settings file take: the flock on the file's folder, which
// keeps its inode while the file itself is replaced.
TEST(IniClosing, AWriterWaitsForTheLockThenWritesItsWholeState) {
    IniFile file("waits");
    file.SetBytes(InitialFile());
    HeldLock lock(file.folder());
    ASSERT_TRUE(lock.Lock());
    kit::Child writer;
    ASSERT_TRUE(StartWriter(writer, file.path(), "A", kA, 1));
    ASSERT_EQ(writer.readLine(10000), "ready");
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (std::chrono::steady_clock::now() < until) {
        ASSERT_EQ(file.Bytes(), InitialFile()) << "written while another writer held the lock";
        ASSERT_TRUE(writer.running());
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    lock.Release();
    EXPECT_EQ(writer.waitForExit(10000), 0);
    EXPECT_EQ(StateIn(file.Bytes()), kA);
}

// Another writer that holds the lock past the wait (stopped, hung) does not keep this one from
// writing, and so from closing.
TEST(IniClosing, ALockHeldTooLongIsNotWaitedForEver) {
    IniFile file("held");
    file.SetBytes(InitialFile());
    HeldLock lock(file.folder());
    ASSERT_TRUE(lock.Lock());
    kit::Child writer;
    ASSERT_TRUE(StartWriter(writer, file.path(), "A", kA, 1));
    EXPECT_EQ(writer.waitForExit(20000), 0);
    EXPECT_EQ(StateIn(file.Bytes()), kA);
}

// A batch on its own: values in order, a value that cannot be stored among others, and the
// files it leaves alone.
TEST(IniEditBatch, WritesWhatItCanAndLeavesAloneWhatItMustNot) {
    struct Set {
        std::string section, key, value;
    };
    struct Case {
        const char* what;
        std::optional<std::string> before;  // none: no file
        mode_t mode;
        std::vector<Set> values;
        bool result;
        std::optional<std::string> after;  // none: the file as it was, not rewritten
    };
    const std::vector<Set> three = {{"s", "b", "2"}, {"s", "a", "1"}, {"t", "c", "3"}};
    const Case cases[] = {
        {"a new file, in order", std::nullopt, 0644, three, true,
         "[s]\r\nb=2\r\na=1\r\n[t]\r\nc=3\r\n"},
        {"in place, new keys after the section's last", "[t]\nc=0\n[s]\na=0\n; end\n", 0644, three,
         true, "[t]\nc=3\n[s]\na=1\nb=2\n; end\n"},
        {"one value that cannot be stored",
         "[s]\r\na=0\r\nb=0\r\n",
         0644,
         {{"s", "a", "1"}, {"s", "b", "line\nbreak"}, {"s", "", "x"}, {"t", "c", "3"}},
         false,
         "[s]\r\na=1\r\nb=0\r\n[t]\r\nc=3\r\n"},
        {"the same key twice: the later wins",
         "[s]\na=0\n",
         0644,
         {{"s", "a", "1"}, {"S", "A", "2"}},
         true,
         "[s]\na=2\n"},
        {"nothing changes", "[s]\r\nb=2\r\na=1\r\n[t]\r\nc=3\r\n", 0644, three, true, std::nullopt},
        {"read-only", "[s]\r\na=0\r\n", 0444, three, false, std::nullopt},
        {"no file, nothing storable",
         std::nullopt,
         0644,
         {{"s", "a", "\r"}, {"s ", "a", "1"}},
         false,
         std::nullopt},
        {"no file, nothing to write", std::nullopt, 0644, {}, true, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IniFile file("batch");
        if (c.before) {
            file.SetBytes(*c.before);
            ASSERT_EQ(::chmod(file.path().c_str(), c.mode), 0);
        }
        const FileState before = StateOf(file.path());
        IniEditBatch batch(file.path());
        for (const Set& v : c.values) batch.Set(v.section, v.key, v.value);
        EXPECT_EQ(batch.Apply(), c.result);
        if (c.after) {
            EXPECT_EQ(file.Bytes(), *c.after);
        } else {
            EXPECT_EQ(StateOf(file.path()), before);
        }
        EXPECT_EQ(Entries(file.folder()).size(), c.before || c.after ? 1u : 0u);
    }
}

}  // namespace
}  // namespace qv::test
