// The program's folder comes from the executable's own path, as the file system's bytes.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

#include "kit/sealed.h"
#include "tests/support/support.h"
#include "texts/text.h"

extern char** environ;

namespace qv::test {
namespace {

// A copy of a program that writes its ProgramFolder(), run from folders whose names hold a
// backslash or bytes that are valid in no encoding: each prints its folder byte for byte.
TEST(ProgramFolder, IsTheExecutablesFolderByteForByte) {
    const std::string helper = BuildFolder() + "/tests/platform/files/qv-program-folder";
    const std::vector<std::string> names = {"back\\slash", Gbk("程序") + "\xFF", "\xC3("};
    for (const std::string& name : names) {
        SCOPED_TRACE(testing::PrintToString(name));
        const std::string folder = kit::NewFolder(name);
        std::string copy = folder + "/quorvin";
        std::filesystem::copy_file(helper, copy);
        std::string out = kit::NewFolder("out") + "/folder";
        char* argv[] = {copy.data(), out.data(), nullptr};
        pid_t pid = 0;
        ASSERT_EQ(::posix_spawn(&pid, copy.c_str(), nullptr, nullptr, argv, environ), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_EQ(ReadFile(out), folder);
    }
}

}  // namespace
}  // namespace qv::test
