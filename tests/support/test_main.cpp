// Test main: offscreen Qt by default, a sealed temporary home, C numeric locale for libmpv.
#include <gtest/gtest.h>
#include <unistd.h>
#include <QApplication>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/support.h"

namespace qv::test {
std::string& TempFolderStorage();
}

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QUORVIN_AO", "null", 0);
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/quorvin-test-XXXXXX";
    if (!mkdtemp(tmpl.data()))
        return 3;
    qv::test::TempFolderStorage() = tmpl;
    for (const char* sub : {"/home", "/cache", "/config", "/data", "/runtime", "/work"}) {
        std::filesystem::create_directories(tmpl + sub);
    }
    std::filesystem::permissions(tmpl + "/runtime", std::filesystem::perms::owner_all);
    setenv("HOME", (tmpl + "/home").c_str(), 1);
    setenv("XDG_CACHE_HOME", (tmpl + "/cache").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (tmpl + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (tmpl + "/data").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (tmpl + "/runtime").c_str(), 1);
    if (chdir((tmpl + "/work").c_str()) != 0)
        return 3;

    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    int rc = RUN_ALL_TESTS();
    std::error_code ec;
    if (!std::getenv("QV_KEEP_TEMP"))
        std::filesystem::remove_all(tmpl, ec);
    return rc;
}
