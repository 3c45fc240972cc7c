#include "files/ini.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "ini_format.h"

namespace qv {
namespace {

// A settings file is a few hundred bytes. Past this the file is not ours to rewrite: reading a
// part and writing it back would lose the rest.
constexpr size_t kMaxFileBytes = 16 * 1024 * 1024;

enum class Outcome { kRead, kMissing, kFailed };

struct FileBytes {
    Outcome outcome = Outcome::kFailed;
    std::string bytes;
    mode_t mode = 0;
};

class Fd final {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    [[nodiscard]] int get() const { return fd_; }
    [[nodiscard]] int release() { return std::exchange(fd_, -1); }
    // Closes now, so that a failing close (a late write error) is seen.
    [[nodiscard]] bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

FileBytes ReadWhole(const std::string& path) {
    FileBytes file;
    // O_NONBLOCK: a FIFO in the file's place must not block the open.
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0) {
        if (errno == ENOENT)
            file.outcome = Outcome::kMissing;
        return file;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<unsigned long long>(st.st_size) > kMaxFileBytes) {
        return file;
    }
    file.mode = st.st_mode & 0777;
    // The size may change under us; read to the end, within the cap.
    std::string bytes(static_cast<size_t>(st.st_size) + 1, '\0');
    size_t used = 0;
    for (;;) {
        if (used == bytes.size()) {
            if (bytes.size() > kMaxFileBytes)
                return file;
            bytes.resize(bytes.size() * 2);
        }
        const ssize_t n = ::read(fd.get(), bytes.data() + used, bytes.size() - used);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return file;
        if (n == 0)
            break;
        used += static_cast<size_t>(n);
    }
    if (used > kMaxFileBytes)
        return file;
    bytes.resize(used);
    file.bytes = std::move(bytes);
    file.outcome = Outcome::kRead;
    return file;
}

bool WriteAll(int fd, const std::string& bytes) {
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

mode_t NewFileMode() {
    // Only one thread touches files here (see DESIGN.md), so reading the umask this way is safe.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

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
void RemoveLeftTemporaries(const Place& place) {
    DIR* dir = ::opendir(place.folder.empty() ? "." : place.folder.c_str());
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

// Writes a sibling temporary file and renames it over `path`: a crash or a full disk leaves the
// old file or the new one, never a part. No temporary file is left behind on failure.
bool ReplaceFile(const std::string& path, const std::string& bytes, mode_t mode) {
    const Place place = PlaceOf(path);
    std::string temp;
    Fd fd(NewTemporary(place, temp));
    if (fd.get() < 0)
        return false;
    // A second descriptor keeps the lock while the first is closed to see a late write error.
    const Fd lock(::dup(fd.get()));
    const bool written =
        WriteAll(fd.get(), bytes) && ::fchmod(fd.get(), mode) == 0 && ::fsync(fd.get()) == 0;
    if (!fd.Close() || !written || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable; the new file is in place either way.
    Fd dir(::open(place.folder.empty() ? "." : place.folder.c_str(),
                  O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
    return true;
}

// A settings file that is a symbolic link is written through to its target, so the link stays.
std::optional<std::string> WriteTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr)
        return std::nullopt;  // a dangling link: leave it alone
    std::string target(resolved);
    std::free(resolved);
    return target;
}

}  // namespace

Text ReadIniValue(const Text& path, const Text& section, const Text& key, const Text& fallback) {
    const FileBytes file = ReadWhole(path);
    if (file.outcome != Outcome::kRead)
        return fallback;
    std::optional<std::string> value = ini::FindValue(file.bytes, section, key);
    if (!value)
        return fallback;
    return std::move(*value);
}

bool WriteIniValue(const Text& path, const Text& section, const Text& key, const Text& value) {
    if (!ini::IsStorableSection(section) || !ini::IsStorableKey(key))
        return false;
    if (path.empty() || path.back() == '/')
        return false;
    const std::optional<std::string> target = WriteTarget(path);
    if (!target)
        return false;
    RemoveLeftTemporaries(PlaceOf(*target));
    // A file that exists but cannot be read whole is never replaced: its data would be lost.
    const FileBytes old = ReadWhole(*target);
    if (old.outcome == Outcome::kFailed)
        return false;
    // Without its owner's write bit the file was made read-only on purpose, as Windows' read-only
    // attribute pins it: it stays as it is. (The bit, not access(): root may write anything.)
    if (old.outcome == Outcome::kRead && (old.mode & S_IWUSR) == 0)
        return false;
    const std::optional<std::string> updated = ini::SetValue(old.bytes, section, key, value);
    if (!updated)
        return false;
    if (old.outcome == Outcome::kRead && *updated == old.bytes)
        return true;
    return ReplaceFile(*target, *updated, old.outcome == Outcome::kRead ? old.mode : NewFileMode());
}

}  // namespace qv
