// The kit's own promises that the tests and benchmarks lean on: environment changes in order,
// output kept apart from errors, failures told apart, the server's log read back, and the
// server's stream titles as asked.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "kit/catalogue.h"
#include "kit/process.h"
#include "kit/sealed.h"
#include "kit/stream_server.h"

namespace qv::kit {
namespace {

TEST(Kit, RunKeepsOutputAndCodeAndAppliesTheEnvironmentInOrder) {
    ::setenv("KIT_INHERITED", "parent", 1);
    const struct {
        std::vector<std::string> env;
        std::string script;
        int code;
        std::string out;
    } cases[] = {
        {{}, "printf 'a\\nb'; echo noise >&2; exit 3", 3, "a\nb"},
        {{}, "echo $KIT_INHERITED", 0, "parent\n"},
        {{"KIT_INHERITED"}, "echo ${KIT_INHERITED-unset}", 0, "unset\n"},
        {{"KIT_X=1", "KIT_X=2", "KIT_Y=y", "KIT_Y"}, "echo $KIT_X ${KIT_Y-unset}", 0, "2 unset\n"},
        {{"KIT_Z=a=b"}, "echo $KIT_Z", 0, "a=b\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        const RunResult r = kit::Run({"sh", "-c", c.script}, c.env);
        EXPECT_EQ(r.code, c.code);
        EXPECT_EQ(r.out, c.out);
    }
    ::unsetenv("KIT_INHERITED");
}

TEST(Kit, FailuresAreToldApart) {
    EXPECT_EQ(Spawn({.argv = {"kit-no-such-program"}}), -1);
    EXPECT_EQ(Spawn({.argv = {"true"}, .cwd = "/kit/no/such/folder"}), -1);
    EXPECT_EQ(kit::Run({"kit-no-such-program"}).code, -1);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(kit::Run({"sleep", "30"}, {}, 200).code, -1) << "timed out";
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

    Child killed;
    ASSERT_TRUE(killed.start({.argv = {"sh", "-c", "kill -9 $$"}}));
    EXPECT_EQ(killed.waitForExit(10000), std::nullopt);
    EXPECT_FALSE(killed.running());
}

TEST(Kit, ChildReadsLinesAndLogsItsErrors) {
    const std::string folder = NewFolder("child");
    Child c;
    ASSERT_TRUE(
        c.start({.argv = {"sh", "-c", "printf 'one\\r\\ntwo\\n'; echo oops >&2; exec sleep 30"},
                 .cwd = folder,
                 .log = folder + "/log",
                 .readOutput = true}));
    EXPECT_EQ(c.readLine(10000), "one");
    EXPECT_EQ(c.readLine(10000), "two");
    EXPECT_EQ(c.readLine(100), std::nullopt) << "nothing more while it waits";
    EXPECT_TRUE(c.running());
    EXPECT_TRUE(Poll([&] { return c.log() == "oops\n"; }, 10000))
        << "errors to the log, output to the pipe: " << c.log();
    c.stop();
    EXPECT_FALSE(c.running());
    EXPECT_EQ(Child().waitForExit(0), std::nullopt);

    Child exits;
    ASSERT_TRUE(
        exits.start({.argv = {"sh", "-c", "echo fail >&2; exit 7"}, .log = folder + "/errors"}));
    EXPECT_EQ(exits.waitForExit(10000), 7);
    EXPECT_EQ(exits.log(), "fail\n");
}

// A connection to a loopback port: its socket, or minus the errno of the refusal.
int Connect(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0)
        return fd;
    const int error = errno;
    ::close(fd);
    return -error;
}

// Sends one request line and reads the answer to its end.
void Get(int port, const std::string& path) {
    const int fd = Connect(port);
    ASSERT_GE(fd, 0) << "connect: " << -fd;
    const std::string request = "GET " + path + " HTTP/1.0\r\n\r\n";
    ASSERT_EQ(::write(fd, request.data(), request.size()), static_cast<ssize_t>(request.size()));
    char buffer[4096];
    while (::read(fd, buffer, sizeof buffer) > 0) {
    }
    ::close(fd);
}

TEST(Kit, TheServersLogReadsAsRequestLinesWithOrWithoutTimes) {
    for (const bool times : {false, true}) {
        SCOPED_TRACE(times);
        StreamServer server(times ? std::vector<std::string>{"--times"}
                                  : std::vector<std::string>{});
        ASSERT_TRUE(server.running());
        const double before =
            static_cast<double>(std::chrono::duration_cast<std::chrono::microseconds>(
                                    std::chrono::steady_clock::now().time_since_epoch())
                                    .count()) /
            1e6;
        Get(server.port(), "/404?a");
        Get(server.port(), "/404?b");
        Get(server.port(), "/404?a");
        EXPECT_EQ(server.waitForNext(2, 10000), "GET /404?a");
        EXPECT_EQ(server.requests(),
                  (std::vector<std::string>{"GET /404?a", "GET /404?b", "GET /404?a"}));
        EXPECT_EQ(server.count("GET /404?a"), 2);
        EXPECT_EQ(server.waitForNext(3, 100), "");
        const double at = server.firstRequestAt("/404?b");
        if (times) {
            EXPECT_GE(at, before);
            EXPECT_LT(at, before + 60);
        } else {
            EXPECT_EQ(at, -1);
        }
    }
}

// Up to n bytes from fd: fewer if it closes or stalls.
std::string Take(int fd, size_t n) {
    std::string out(n, '\0');
    size_t got = 0;
    for (ssize_t r; got < n && (r = ::recv(fd, out.data() + got, n - got, 0)) > 0;)
        got += static_cast<size_t>(r);
    out.resize(got);
    return out;
}

// The start of a stream's answer: its head, then `blocks` metadata intervals of the body with
// the metadata taken out (their texts without the padding), or `bytes` of a body without it.
struct Answer {
    std::string head;
    std::string body;
    std::vector<std::string> texts;
};

Answer Read(int port, bool askIcy, size_t metaint, size_t blocks, size_t bytes = 0) {
    Answer a;
    const int fd = Connect(port);
    if (fd < 0)
        return a;
    const timeval wait{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    const std::string request =
        std::string("GET /icy HTTP/1.0\r\n") + (askIcy ? "Icy-MetaData: 1\r\n" : "") + "\r\n";
    if (::write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size())) {
        while (a.head.find("\r\n\r\n") == std::string::npos && a.head.size() < 4096) {
            const std::string c = Take(fd, 1);
            if (c.empty())
                break;
            a.head += c;
        }
        a.body = Take(fd, bytes);
        for (size_t i = 0; i < blocks; ++i) {
            a.body += Take(fd, metaint);
            const std::string length = Take(fd, 1);
            if (length.empty())
                break;
            std::string text = Take(fd, static_cast<unsigned char>(length[0]) * 16u);
            text.erase(std::find(text.begin(), text.end(), '\0'), text.end());
            a.texts.push_back(text);
        }
    }
    ::close(fd);
    return a;
}

// The head start (8 s of audio, 16 blocks of 8000 bytes) comes at once, so the titles of its
// blocks show without waiting.
TEST(Kit, TheServersTitlesChangeAndWaitAsAsked) {
    const auto titles = [](std::vector<std::string> texts) {
        for (std::string& t : texts) t = t.empty() ? t : "StreamTitle='" + t + "';";
        return texts;
    };
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> blocks;
    } cases[] = {
        {{"--icy-title", "T"}, titles(std::vector<std::string>(16, "T"))},
        // Block n follows n * 0.5 s of audio (less the WAV header).
        {{"--icy-title", "T", "--icy-title-every", "2"},
         titles({"T 0", "T 0", "T 0", "T 0", "T 1", "T 1", "T 1", "T 1", "T 2", "T 2", "T 2", "T 2",
                 "T 3", "T 3", "T 3", "T 3"})},
        {{"--icy-title", "T", "--icy-title-every", "2", "--icy-changes-only"},
         titles({"T 0", "", "", "", "T 1", "", "", "", "T 2", "", "", "", "T 3", "", "", ""})},
        {{"--icy-title", "T", "--icy-title-every", "2", "--icy-changes-only",
          "--icy-first-title-after", "3"},
         titles({"", "", "", "T 0", "T 1", "", "", "", "T 2", "", "", "", "T 3", "", "", ""})},
        {{"--icy-title", "T", "--icy-first-title-after", "14"},
         titles({"", "", "", "", "", "", "", "", "", "", "", "", "", "", "T", "T"})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        StreamServer server(c.args);
        ASSERT_TRUE(server.running());
        const Answer a = Read(server.port(), true, 8000, 16);
        EXPECT_NE(a.head.find("\r\nicy-metaint: 8000\r\n"), std::string::npos) << a.head;
        EXPECT_EQ(a.texts, c.blocks);
    }
    for (const char* wrong : {"0", "-1", "x"}) {
        StreamServer server({"--icy-title", "T", "--icy-title-every", wrong});
        EXPECT_FALSE(server.running()) << wrong;
    }
}

// A declared interval goes out as written, and the body is the tone a client without metadata
// gets.
TEST(Kit, TheServerDeclaresAnyIntervalAndSendsNoMetadata) {
    for (const char* declared : {"-5", "0", "abc"}) {
        SCOPED_TRACE(declared);
        StreamServer server({"--icy-metaint-header", declared, "--icy-title", "T"});
        ASSERT_TRUE(server.running());
        const Answer asked = Read(server.port(), true, 0, 0, 40000);
        const Answer plain = Read(server.port(), false, 0, 0, 40000);
        EXPECT_NE(asked.head.find(std::string("\r\nicy-metaint: ") + declared + "\r\n"),
                  std::string::npos)
            << asked.head;
        EXPECT_EQ(plain.head.find("icy-"), std::string::npos) << plain.head;
        ASSERT_EQ(asked.body.size(), 40000u);
        EXPECT_TRUE(asked.body == plain.body);
    }
}

TEST(Kit, RefusedPortRefuses) {
    const RefusedPort refused;
    ASSERT_GT(refused.port(), 0);
    EXPECT_EQ(Connect(refused.port()), -ECONNREFUSED);
}

TEST(Kit, ACatalogueReplacesTheFileAndKeepsTheRowsAndNulls) {
    const std::string path = NewFolder("catalogue") + "/mmsDT.dll";
    ASSERT_EQ(WriteCatalogue(path, {{"旧", "旧", "old"}}), "");
    ASSERT_EQ(WriteCatalogue(path, {{"乙", "省", std::nullopt}, {"甲", std::nullopt, "l'1"}}), "");
    const RunResult dump =
        kit::Run({"sqlite3", path,
                  "select quote(电台名称), quote(省份), quote(链接) from radio order by rowid"});
    if (dump.code == -1)
        GTEST_SKIP() << "the sqlite3 shell is not installed";
    EXPECT_EQ(dump.out, "'乙'|'省'|NULL\n'甲'|NULL|'l''1'\n");
    EXPECT_NE(WriteCatalogue(NewFolder("missing") + "/no/such/folder/x.dll", {}), "");
}

}  // namespace
}  // namespace qv::kit
