// A test process's temporary folder goes with the process, however the process ends.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>

#include "kit/process.h"
#include "kit/sealed.h"
#include "tests/support/support.h"

namespace qv::test {
namespace {

TEST(TemporaryFolder, GoesHoweverTheProcessEnds) {
    const std::string helper = BuildFolder() + "/tests/support/qv-abrupt-end";
    for (const char* end : {"", "exit", "abort", "kill"}) {
        SCOPED_TRACE(end);
        // The helper makes its folder in a TMPDIR of its own.
        const std::string tmp = kit::NewFolder("tmp");
        // Its test report is not this test's: it goes to a log elsewhere.
        const pid_t pid =
            kit::Spawn({.argv = {helper},
                        .env = {"TMPDIR=" + tmp, std::string("QV_END=") + end, "QV_KEEP_TEMP"},
                        .log = kit::NewFolder("helper") + "/log"});
        ASSERT_GT(pid, 0);
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
