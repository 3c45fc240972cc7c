#include "platform/ini.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

#include "platform/ini_format.h"

namespace qv {
namespace {

// A settings file is a few hundred bytes. Past this the file is not ours to rewrite: reading a
// part and writing it back would lose the rest.
constexpr size_t kMaxFileBytes = 16 * 1024 * 1024;

// Callers build paths the Windows way (folder + "\pz.ini"). Backslashes are mapped after the
// conversion to UTF-8, where a 0x5C byte can no longer be half of a GBK character.
std::string FileSystemPath(const Text& path) {
    std::string p = Utf8(path);
    for (char& c : p) {
        if (c == '\\')
            c = '/';
    }
    return p;
}

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

// Writes a sibling temporary file and renames it over `path`: a crash or a full disk leaves the
// old file or the new one, never a part. No temporary file is left behind on failure.
bool ReplaceFile(const std::string& path, const std::string& bytes, mode_t mode) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temp =
        (slash == std::string::npos ? std::string() : folder) + "." + base + ".XXXXXX";
    Fd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (fd.get() < 0)
        return false;
    const bool written =
        WriteAll(fd.get(), bytes) && ::fchmod(fd.get(), mode) == 0 && ::fsync(fd.get()) == 0;
    if (!fd.Close() || !written || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable; the new file is in place either way.
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
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
    const FileBytes file = ReadWhole(FileSystemPath(path));
    if (file.outcome != Outcome::kRead)
        return fallback;
    std::optional<std::string> value = ini::FindValue(file.bytes, section, key);
    return value ? std::move(*value) : fallback;
}

bool WriteIniValue(const Text& path, const Text& section, const Text& key, const Text& value) {
    if (!ini::IsStorableSection(section) || !ini::IsStorableKey(key))
        return false;
    const std::string fsPath = FileSystemPath(path);
    if (fsPath.empty() || fsPath.back() == '/')
        return false;
    const std::optional<std::string> target = WriteTarget(fsPath);
    if (!target)
        return false;
    // A file that exists but cannot be read whole is never replaced: its data would be lost.
    const FileBytes old = ReadWhole(*target);
    if (old.outcome == Outcome::kFailed)
        return false;
    const std::optional<std::string> updated = ini::SetValue(old.bytes, section, key, value);
    if (!updated)
        return false;
    if (old.outcome == Outcome::kRead && *updated == old.bytes)
        return true;
    return ReplaceFile(*target, *updated, old.outcome == Outcome::kRead ? old.mode : NewFileMode());
}

}  // namespace qv
