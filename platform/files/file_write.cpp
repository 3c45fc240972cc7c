#include "files/file_write.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "fd.h"
#include "write_lock.h"

namespace qv {
namespace {

struct Place {
    std::string folder;  // with its trailing '/', or empty for the working folder
    std::string base;
};

Place PlaceOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {std::string(), path};
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

const char* FolderName(const Place& place) {
    return place.folder.empty() ? "." : place.folder.c_str();
}

// Temporary siblings are named "." + base + "." + mkostemp's six letters and digits.
bool IsTemporaryName(std::string_view name, std::string_view base) {
    const size_t prefix = base.size() + 2;
    if (name.size() != prefix + 6 || name[0] != '.' || name.substr(1, base.size()) != base ||
        name[prefix - 1] != '.') {
        return false;
    }
    for (const char c : name.substr(prefix)) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
            return false;
    }
    return true;
}

bool NamesFile(int fd, const std::string& path) {
    struct stat held {};
    struct stat named {};
    return ::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

// A writer holds an exclusive lock on its temporary file for as long as the file has its name.
// One that can be locked was left by a write that was killed (or by a version that took no
// lock): it is removed. One that a running instance is writing stays.
void RemoveLeftTemporariesAt(const Place& place) {
    DIR* dir = ::opendir(FolderName(place));
    if (dir == nullptr)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsTemporaryName(entry->d_name, place.base))
            continue;
        const std::string path = place.folder + entry->d_name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;  // never opened: a device or a FIFO of that name is not ours
        Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK));
        if (fd.get() < 0)
            continue;
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 && NamesFile(fd.get(), path))
            ::unlink(path.c_str());
    }
    ::closedir(dir);
}

// A new temporary sibling, locked, and named `temp`; -1 when none could be made.
int NewTemporary(const Place& place, std::string& temp) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        temp = place.folder + "." + place.base + ".XXXXXX";
        Fd fd(::mkostemp(temp.data(), O_CLOEXEC));
        if (fd.get() < 0)
            return -1;
        // Between mkostemp and the lock, another instance may have taken the file for a leftover
        // and removed it; then it is no longer ours to write.
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
            if (NamesFile(fd.get(), temp))
                return fd.release();
        } else if (errno != EWOULDBLOCK) {
            return fd.release();  // no locks on this file system: write without one
        }
    }
    return -1;
}

bool WriteAll(int fd, std::string_view bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// The permission bits the file has now, or a new file's when there is no regular file there.
mode_t ModeFor(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        return st.st_mode & 0777;
    // Only one thread touches files here (see DESIGN.md), so reading the umask this way is safe.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// The folder, opened to be locked; -1 when it cannot be opened.
int OpenToLock(const Place& place) {
    return ::open(FolderName(place), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
}

}  // namespace

// Polled rather than blocking, to bound the wait; a writer holds the lock for a few
// milliseconds.
WriteLock::WriteLock(const std::string& path) : folder_(OpenToLock(PlaceOf(path))) {
    if (folder_.get() < 0)
        return;
    const auto until = std::chrono::steady_clock::now() + kWriteLockWait;
    while (::flock(folder_.get(), LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= until)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void RemoveLeftTemporaries(const std::string& path) {
    RemoveLeftTemporariesAt(PlaceOf(path));
}

bool ReplaceFileAtomically(const std::string& path, std::string_view bytes) {
    const Place place = PlaceOf(path);
    if (place.base.empty())
        return false;
    RemoveLeftTemporariesAt(place);
    const mode_t mode = ModeFor(path);
    std::string temp;
    Fd fd(NewTemporary(place, temp));
    if (fd.get() < 0)
        return false;
    // A second descriptor keeps the lock while the first is closed to see a late write error.
    const Fd lock(::fcntl(fd.get(), F_DUPFD_CLOEXEC, 0));
    const bool written =
        WriteAll(fd.get(), bytes) && ::fchmod(fd.get(), mode) == 0 && ::fsync(fd.get()) == 0;
    if (!fd.Close() || !written || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable; the new file is in place either way.
    const Fd dir(::open(FolderName(place), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
    return true;
}

}  // namespace qv
