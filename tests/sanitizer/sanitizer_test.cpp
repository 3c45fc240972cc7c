// Built only with the sanitizers: every report ends the process with an error, since a sanitizer
// that only prints lets a test pass over undefined behaviour. Each fault runs in a child process.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// volatile: the compiler must neither see the values nor fold the fault away.
int SignedOverflow() {
    volatile int big = INT_MAX;
    volatile int one = 1;
    return big + one;
}

std::uint32_t WideShift() {
    volatile std::uint32_t v = 1;
    volatile int by = 32;
    return v >> by;
}

char ReadPastTheEnd() {
    char* bytes = static_cast<char*>(std::malloc(8));
    std::memset(bytes, 0, 8);
    volatile int at = 8;
    const char c = bytes[at];
    std::free(bytes);
    return c;
}

void* volatile leaked = nullptr;

void LeakAndExit() {
    leaked = std::malloc(64);
    leaked = nullptr;  // the only pointer gone: a leak at exit
    std::exit(0);
}

bool Failed(int status) {
    return (WIFEXITED(status) && WEXITSTATUS(status) != 0) || WIFSIGNALED(status);
}

class SanitizerReports : public ::testing::Test {
  protected:
    void SetUp() override {
        // The test main has started Qt's threads: the child starts afresh instead of forking them.
        GTEST_FLAG_SET(death_test_style, "threadsafe");
    }
};

TEST_F(SanitizerReports, UndefinedBehaviourStopsTheProgram) {
    EXPECT_EXIT(SignedOverflow(), Failed, "runtime error: signed integer overflow");
    EXPECT_EXIT(WideShift(), Failed, "runtime error: shift exponent 32 is too large");
}

TEST_F(SanitizerReports, MemoryFaultsStopTheProgram) {
    EXPECT_EXIT(ReadPastTheEnd(), Failed, "AddressSanitizer: heap-buffer-overflow");
    EXPECT_EXIT(LeakAndExit(), Failed, "LeakSanitizer: detected memory leaks");
}

}  // namespace
