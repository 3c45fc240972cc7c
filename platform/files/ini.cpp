#include "files/ini.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "fd.h"
#include "files/file_write.h"
#include "ini_format.h"
#include "write_lock.h"

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

Text ReadIniValue(const std::filesystem::path& path, const Text& section, const Text& key,
                  const Text& fallback) {
    const FileBytes file = ReadWhole(path.native());
    if (file.outcome != Outcome::kRead)
        return fallback;
    std::optional<std::string> value = ini::FindValue(file.bytes, section, key);
    if (!value)
        return fallback;
    return std::move(*value);
}

IniEditBatch::IniEditBatch(std::filesystem::path path) : path_(std::move(path)) {}

void IniEditBatch::Set(Text section, Text key, Text value) {
    values_.push_back({std::move(section), std::move(key), std::move(value)});
}

bool IniEditBatch::Apply() const {
    const std::string& path = path_.native();
    if (path.empty() || path.back() == '/')
        return false;
    const std::optional<std::string> target = WriteTarget(path);
    if (!target)
        return false;
    // From the read to the replacement: another writer's batch lands before it or after it.
    const WriteLock lock(*target);
    // Here, not only in the replacement: a write that changes nothing or is refused clears them
    // as well.
    RemoveLeftTemporaries(*target);
    // A file that exists but cannot be read whole is never replaced: its data would be lost.
    const FileBytes old = ReadWhole(*target);
    if (old.outcome == Outcome::kFailed)
        return false;
    // Without its owner's write bit the file was made read-only on purpose, as Windows' read-only
    // attribute pins it: it stays as it is. (The bit, not access(): root may write anything.)
    if (old.outcome == Outcome::kRead && (old.mode & S_IWUSR) == 0)
        return false;
    std::string content = old.bytes;
    bool allStored = true;
    for (const Value& v : values_) {
        std::optional<std::string> updated = ini::SetValue(content, v.section, v.key, v.value);
        if (updated)
            content = std::move(*updated);
        else
            allStored = false;
    }
    // Also a missing file that nothing was stored in: it is not created.
    if (content == old.bytes)
        return allStored;
    return ReplaceFileAtomically(*target, content) && allStored;
}

bool WriteIniValue(const std::filesystem::path& path, const Text& section, const Text& key,
                   const Text& value) {
    IniEditBatch batch(path);
    batch.Set(section, key, value);
    return batch.Apply();
}

}  // namespace qv
