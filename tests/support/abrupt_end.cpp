// A test process that ends the way QV_END says (exit: _exit, abort, kill: SIGKILL), never
// returning from main, or returns as usual when it is unset. See temp_folder_test.cpp.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>

#include "kit/sealed.h"
#include "tests/support/support.h"

namespace {

TEST(AbruptEnd, EndsAsTold) {
    const char* how = std::getenv("QV_END");
    const std::string end = how ? how : "";
    qv::test::WriteFile(qv::kit::NewFolder("left") + "/file", "bytes");
    if (end == "exit")
        ::_exit(3);
    if (end == "abort")
        std::abort();
    if (end == "kill")
        std::raise(SIGKILL);
}

}  // namespace
