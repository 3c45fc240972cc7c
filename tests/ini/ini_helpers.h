#pragma once
// A settings file in a fresh folder, for the INI tests.
#include <sys/stat.h>

#include <string>

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

}  // namespace qv::test
