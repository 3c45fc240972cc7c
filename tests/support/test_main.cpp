// Test main: offscreen Qt by default, a sealed temporary home, C numeric locale for libmpv.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QApplication>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "kit/sealed.h"

namespace {

// Removes the folder once this process has ended, however it ends: returning from main, _exit,
// a crash, a sanitizer's stop, or a kill (ctest kills a test that overruns, with everything it
// started). A watcher outside the process tree waits for the end of a pipe that only this
// process holds (close-on-exec, so programs it starts do not), then removes the folder.
void RemoveAtEnd(const std::string& folder) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return;
    const pid_t first = ::fork();
    if (first == 0) {
        // A session of its own, and adopted by init once `first` ends: no kill of the test's
        // process group or tree reaches it.
        ::setsid();
        if (::fork() != 0)
            ::_exit(0);
        ::close(ends[1]);
        const int null = ::open("/dev/null", O_RDWR);
        for (int fd = 0; fd <= 2; ++fd) ::dup2(null, fd);  // ctest waits for its output to close
        if (ends[0] > 3)
            ::close_range(3, static_cast<unsigned>(ends[0]) - 1, 0);
        ::close_range(static_cast<unsigned>(ends[0]) + 1, ~0U, 0);
        [[maybe_unused]] const int atRoot = ::chdir("/");  // holds no folder in use
        for (;;) {
            char byte;
            const ssize_t n = ::read(ends[0], &byte, 1);
            if (n == 0 || (n < 0 && errno != EINTR))
                break;
        }
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
        ::_exit(0);
    }
    ::close(ends[0]);
    if (first > 0)
        ::waitpid(first, nullptr, 0);
    // ends[1] stays open until this process ends.
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QUORVIN_AO", "null", 0);
    const std::string folder = qv::kit::MakeSealedFolder("test");
    if (folder.empty())
        return 3;
    const bool keep = std::getenv("QV_KEEP_TEMP") != nullptr;
    // Before Qt or the tests start any thread: the watcher is forked from a single thread.
    if (!keep)
        RemoveAtEnd(folder);
    qv::kit::SealThisProcess(folder);
    const std::string work = folder + "/work";
    if (::mkdir(work.c_str(), 0700) != 0 || ::chdir(work.c_str()) != 0)
        return 3;

    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    int rc = RUN_ALL_TESTS();
    std::error_code ec;
    if (!keep)
        std::filesystem::remove_all(folder, ec);
    return rc;
}
