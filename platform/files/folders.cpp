#include "files/folders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "files/file_write.h"

namespace qv {
namespace {

std::filesystem::path& ProgramFolderOverride() {
    static std::filesystem::path folder;
    return folder;
}

std::string Dirname(const std::string& p) {
    auto slash = p.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return p.substr(0, slash);
}

bool MakeFolders(const std::string& path, mode_t mode) {
    std::string acc;
    size_t i = 0;
    while (i <= path.size()) {
        size_t j = path.find('/', i);
        if (j == std::string::npos)
            j = path.size();
        acc = path.substr(0, j);
        if (!acc.empty() && ::mkdir(acc.c_str(), mode) != 0 && errno != EEXIST)
            return false;
        i = j + 1;
    }
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

void SetProgramFolder(const std::filesystem::path& folder) {
    ProgramFolderOverride() = folder;
}

std::filesystem::path ProgramFolder() {
    if (!ProgramFolderOverride().empty())
        return ProgramFolderOverride();
    // The folder's own bytes, not converted to GBK: a name that is not valid UTF-8 must still
    // reach open() as it is.
    std::string buf(PATH_MAX, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n <= 0)
            return ".";
        if (static_cast<size_t>(n) < buf.size())
            return Dirname(buf.substr(0, static_cast<size_t>(n)));
        if (buf.size() >= 64 * 1024)
            return ".";
        buf.resize(buf.size() * 2);  // the name may have been cut short
    }
}

std::filesystem::path CacheFolder() {
    std::string base;
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && *cache == '/') {
        base = cache;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && *home ? home : "/nonexistent") + "/.cache";
    }
    std::string folder = base + "/quorvin";
    MakeFolders(base, 0700);
    if (::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST)
        ::chmod(folder.c_str(), 0700);
    return folder;
}

bool WriteBytesToFile(const std::filesystem::path& path, const Bytes& bytes) {
    return ReplaceFileAtomically(path.native(), bytes);
}

bool FileHoldsBytes(const std::filesystem::path& path, const Bytes& bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat st {};
    bool same = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                static_cast<std::uintmax_t>(st.st_size) == bytes.size();
    std::string held(same ? bytes.size() : 0, '\0');
    size_t done = 0;
    while (same && done < held.size()) {
        const ssize_t r = ::read(fd, held.data() + done, held.size() - done);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            same = false;
        else
            done += static_cast<size_t>(r);
    }
    ::close(fd);
    return same && held == bytes;
}

}  // namespace qv
