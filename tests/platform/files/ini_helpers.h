#pragma once
// A settings file in a fresh folder, and what the file tests look at, for the INI tests.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "files/ini.h"
#include "kit/sealed.h"
#include "tests/support/support.h"

namespace qv::test {

inline constexpr const char* kMissing = "<fallback>";

class IniFile final {
  public:
    explicit IniFile(const std::string& folderName)
        : folder_(kit::NewFolder(folderName)), path_(folder_ + "/pz.ini") {}

    [[nodiscard]] const std::string& folder() const { return folder_; }
    [[nodiscard]] const std::string& path() const { return path_; }
    [[nodiscard]] std::string Read(const std::string& section, const std::string& key) const {
        return ReadIniValue(path_, section, key, kMissing);
    }
    bool Write(const std::string& section, const std::string& key, const std::string& value) const {
        return WriteIniValue(path_, section, key, value);
    }
    [[nodiscard]] std::string Bytes() const { return ReadFile(path_); }
    void SetBytes(const std::string& bytes) const { WriteFile(path_, bytes); }

  private:
    std::string folder_;
    std::string path_;
};

// Bytes and modification time, to show that a read left a file alone.
struct FileState {
    std::string bytes;
    long long mtimeNs = -1;
    bool operator==(const FileState&) const = default;
};

inline FileState StateOf(const std::string& path) {
    FileState s;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return s;
    s.bytes = ReadFile(path);
    s.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    return s;
}

// The folder's entries but "." and "..", sorted.
inline std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    DIR* d = ::opendir(folder.c_str());
    if (d == nullptr)
        return names;
    while (dirent* e = ::readdir(d)) {
        const std::string n = e->d_name;
        if (n != "." && n != "..")
            names.push_back(n);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

inline mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// Holds an exclusive lock on a file, as a writer of a running instance does on its temporary, or
// on a folder, as a writer of a settings file does on the file's folder.
class HeldLock final {
  public:
    explicit HeldLock(const std::string& path) : fd_(Open(path)) {}
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;
    ~HeldLock() { Release(); }
    bool Lock() { return fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) == 0; }
    void Release() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

  private:
    static int Open(const std::string& path) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    }

    int fd_;
};

}  // namespace qv::test
