#include "kit/sealed.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

namespace qv::kit {
namespace {

namespace fs = std::filesystem;

std::string MakeTempFolder(const std::string& name) {
    const char* base = std::getenv("TMPDIR");
    std::string t = std::string(base && *base ? base : "/tmp") + "/quorvin-" + name + "-XXXXXX";
    return ::mkdtemp(t.data()) ? t : std::string();
}

struct ProcessFolder {
    std::string path;
    bool owned = false;  // made here, so removed here
    ~ProcessFolder() {
        std::error_code ec;
        if (owned)
            fs::remove_all(path, ec);
    }
};

ProcessFolder& Folder() {
    static ProcessFolder folder;
    return folder;
}

}  // namespace

bool SealFolder(const std::string& folder) {
    std::error_code ec;
    bool made = true;
    for (const char* sub : {"/home", "/cache", "/config", "/data", "/runtime"}) {
        made = fs::create_directories(folder + sub, ec) && made;
    }
    fs::permissions(folder + "/runtime", fs::perms::owner_all, ec);
    return made && !ec;
}

std::string MakeSealedFolder(const std::string& name) {
    const std::string folder = MakeTempFolder(name);
    return !folder.empty() && SealFolder(folder) ? folder : std::string();
}

std::vector<std::string> SealedEnvironment(const std::string& folder) {
    return {"HOME=" + folder + "/home", "XDG_CACHE_HOME=" + folder + "/cache",
            "XDG_CONFIG_HOME=" + folder + "/config", "XDG_DATA_HOME=" + folder + "/data",
            "XDG_RUNTIME_DIR=" + folder + "/runtime"};
}

void SealThisProcess(const std::string& folder) {
    for (const std::string& e : SealedEnvironment(folder)) {
        const size_t eq = e.find('=');
        ::setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
    }
    ProcessFolder& f = Folder();
    f.path = folder;
    f.owned = false;
}

const std::string& TempFolder() {
    ProcessFolder& f = Folder();
    if (f.path.empty()) {
        f.path = MakeTempFolder("scratch");
        f.owned = !f.path.empty();
    }
    return f.path;
}

std::string NewFolder(const std::string& name) {
    static int counter = 0;
    std::string path = TempFolder() + "/" + name + "-" + std::to_string(++counter);
    ::mkdir(path.c_str(), 0700);
    return path;
}

}  // namespace qv::kit
