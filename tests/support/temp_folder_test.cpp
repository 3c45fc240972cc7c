// A test process's temporary folder goes with the process, however the process ends.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/support.h"

extern char** environ;

namespace qv::test {
namespace {

TEST(TemporaryFolder, GoesHoweverTheProcessEnds) {
    const std::string helper = BuildFolder() + "/tests/support/qv-abrupt-end";
    for (const char* end : {"", "exit", "abort", "kill"}) {
        SCOPED_TRACE(end);
        // The helper makes its folder in a TMPDIR of its own.
        const std::string tmp = NewFolder("tmp");
        std::vector<std::string> env = {"TMPDIR=" + tmp, std::string("QV_END=") + end};
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            if (!entry.starts_with("TMPDIR=") && !entry.starts_with("QV_END=") &&
                !entry.starts_with("QV_KEEP_TEMP="))
                env.push_back(entry);
        }
        std::vector<char*> envp;
        for (std::string& entry : env) envp.push_back(entry.data());
        envp.push_back(nullptr);
        std::string program = helper;
        char* argv[] = {program.data(), nullptr};
        pid_t pid = 0;
        posix_spawn_file_actions_t quiet;  // its test report is not this test's
        ::posix_spawn_file_actions_init(&quiet);
        ::posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
        const int spawned = ::posix_spawn(&pid, helper.c_str(), &quiet, nullptr, argv, envp.data());
        ::posix_spawn_file_actions_destroy(&quiet);
        ASSERT_EQ(spawned, 0);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_EQ(*end == '\0', WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        // The folder may go a moment after the process.
        EXPECT_TRUE(WaitUntil([&] { return std::filesystem::is_empty(tmp); }, 10000))
            << "left behind: " << std::filesystem::directory_iterator(tmp)->path();
    }
}

}  // namespace
}  // namespace qv::test
