// Opening the station database: which files open, which fail, and that nothing is ever written.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <set>

#include "database/database.h"
#include "kit/sealed.h"
#include "radio/province_query.h"
#include "radio/station_row.h"
#include "tests/platform/database/fixture/fixture.h"
#include "tests/support/support.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

struct BadFile {
    const char* what;
    std::function<void(const std::string& path)> make;
};

TEST(DatabaseConnection, RefusesFilesThatAreNotAStationCatalogue) {
    const std::vector<BadFile> cases = {
        {"missing", [](const std::string&) {}},
        {"text file", [](const std::string& p) { WriteFile(p, "name\tprovince\tlink\n"); }},
        {"sqlite header, damaged rest",
         [](const std::string& p) {
             WriteFile(p, std::string("SQLite format 3\0", 16) + std::string(200, '\xff'));
         }},
        {"empty file", [](const std::string& p) { WriteFile(p, ""); }},
        {"folder", [](const std::string& p) { fs::create_directory(p); }},
        {"no table radio",
         [](const std::string& p) { MakeDatabase(p, {"create table stations(a, b, c)"}); }},
        {"radio with other columns",
         [](const std::string& p) {
             MakeDatabase(p, {"create table radio(name, province, link)"});
         }},
        {"radio without 链接",
         [](const std::string& p) { MakeDatabase(p, {"create table radio(电台名称, 省份)"}); }},
    };
    for (const BadFile& c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = kit::NewFolder("bad") + "/mmsDT.dll";
        c.make(path);
        const bool existed = fs::exists(path);
        DbConnection conn;
        RequireTable(conn, StationTable());
        EXPECT_EQ(OpenConnection(conn, path, ""), 0);
        EXPECT_EQ(fs::exists(path), existed) << "the open must never create the file";
        RecordSet rs;
        AttachRecordSet(rs, conn);
        OpenRecordSetTable(rs, "radio", Gbk("省份 ASC"));
        EXPECT_EQ(RecordCount(rs), 0);
    }
}

// The layer knows no table of its own: the caller names the table and fields a file must hold,
// and that table lists in the program's text order.
TEST(DatabaseConnection, RequiresTheTableItsCallerNames) {
    const std::string path = kit::NewFolder("shape") + "/songs.db";
    MakeDatabase(path, {"create table songs(title, singer)",
                        "insert into songs values ('上海', 'a'), ('北京', 'b'), ('安徽', 'c')"});
    struct Case {
        const char* what;
        TableShape shape;
        bool opens;
    };
    const std::vector<Case> cases = {
        {"its table and fields", {"songs", {"title", "singer"}}, true},
        {"a field it lacks", {"songs", {"title", "year"}}, false},
        {"a table it lacks", {"radio", {"title"}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DbConnection conn;
        RequireTable(conn, c.shape);
        ASSERT_EQ(OpenConnection(conn, path, "") != 0, c.opens);
        if (!c.opens)
            continue;
        RecordSet rs;
        AttachRecordSet(rs, conn);
        OpenRecordSetTable(rs, "songs", "title");
        EXPECT_EQ(ReadColumn(rs, "title"), (std::vector<std::string>{"安徽", "北京", "上海"}));
    }
}

TEST(DatabaseConnection, OpensTheBareNameInTheCurrentFolder) {
    std::string folder = kit::NewFolder("cwd");
    ASSERT_EQ(kit::WriteCatalogue(folder + "/mmsDT.dll", {{"台", "北京", "http://a"}}), "");
    std::string before = fs::current_path();
    ASSERT_EQ(chdir(folder.c_str()), 0);
    DbConnection conn;
    RequireTable(conn, StationTable());
    const int opened = OpenConnection(conn, "mmsDT.dll", "");
    ASSERT_EQ(chdir(before.c_str()), 0);
    EXPECT_NE(opened, 0);
    DbConnection elsewhere;
    RequireTable(elsewhere, StationTable());
    EXPECT_EQ(OpenConnection(elsewhere, "mmsDT.dll", ""), 0) << "no mmsDT.dll in " << before;
    EXPECT_FALSE(fs::exists("mmsDT.dll"));
}

TEST(DatabaseConnection, NeverWritesTheFileWhateverTheQuerySays) {
    std::string folder = kit::NewFolder("ro");
    std::string path = folder + "/mmsDT.dll";
    ASSERT_EQ(kit::WriteCatalogue(path, {{"台", "北京", "http://a"}}), "");
    const std::string bytes = ReadFile(path);
    DbConnection conn;
    RequireTable(conn, StationTable());
    ASSERT_NE(OpenConnection(conn, path, ""), 0);
    RecordSet rs;
    AttachRecordSet(rs, conn);
    for (const char* sql :
         {"delete from radio", "insert into radio values('x', 'y', 'z')",
          "attach 'other.db' as other", "pragma journal_mode = wal", "select 1; drop table radio",
          "drop view radio", "create temp view radio2 as select 1"}) {
        OpenRecordSetQuery(rs, sql, 1);
    }
    OpenRecordSetTable(rs, "radio", "");
    EXPECT_EQ(RecordCount(rs), 1);
    OpenRecordSetQuery(rs, "select * from radio2", 1);
    EXPECT_EQ(RecordCount(rs), 0);
    EXPECT_EQ(ReadFile(path), bytes);
    std::set<std::string> files;
    for (const auto& e : fs::directory_iterator(folder)) files.insert(e.path().filename());
    EXPECT_EQ(files, std::set<std::string>{"mmsDT.dll"});
    EXPECT_FALSE(fs::exists("other.db"));
}

TEST(DatabaseConnection, ALockedFileFailsInsteadOfWaiting) {
    std::string path = kit::NewFolder("locked") + "/mmsDT.dll";
    ASSERT_EQ(kit::WriteCatalogue(path, {{"台", "北京", "http://a"}}), "");
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &writer), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(writer, "begin exclusive; delete from radio;", nullptr, nullptr, nullptr),
        SQLITE_OK);
    DbConnection conn;
    RequireTable(conn, StationTable());
    EXPECT_EQ(OpenConnection(conn, path, ""), 0);
    sqlite3_exec(writer, "rollback", nullptr, nullptr, nullptr);
    sqlite3_close(writer);
    RequireTable(conn, StationTable());
    EXPECT_NE(OpenConnection(conn, path, ""), 0) << "reopening the same connection works";
}

TEST(DatabaseConnection, ARecordSetOutlivingItsConnectionListsNothing) {
    std::string path = kit::NewFolder("life") + "/mmsDT.dll";
    ASSERT_EQ(kit::WriteCatalogue(path, {{"台", "北京", "http://a"}}), "");
    RecordSet rs;
    OpenRecordSetTable(rs, "radio", "");
    EXPECT_EQ(RecordCount(rs), 0) << "not attached";
    {
        DbConnection conn;
        RequireTable(conn, StationTable());
        ASSERT_NE(OpenConnection(conn, path, ""), 0);
        AttachRecordSet(rs, conn);
        OpenRecordSetTable(rs, "radio", "");
        EXPECT_EQ(RecordCount(rs), 1);
    }
    OpenRecordSetTable(rs, "radio", "");
    EXPECT_EQ(RecordCount(rs), 0);
}

TEST(DatabaseConnection, TheShippedCatalogueHoldsItsStations) {
    // Opened by its bare name, as the program does, from a copy in the working folder.
    fs::copy_file(std::string(QV_PROGRAM_DIR) + "/mmsDT.dll", "mmsDT.dll",
                  fs::copy_options::overwrite_existing);
    DbConnection conn;
    RequireTable(conn, StationTable());
    ASSERT_NE(OpenConnection(conn, "mmsDT.dll", ""), 0);
    RecordSet rs;
    AttachRecordSet(rs, conn);
    OpenRecordSetTable(rs, "radio", Gbk("省份 ASC"));
    const int stations = static_cast<int>(ShippedStations().size());
    const size_t provinceCount = ShippedProvinces().size();
    ASSERT_EQ(RecordCount(rs), stations);
    ASSERT_LE(provinceCount, 34u) << "the province grid holds 34";
    std::vector<Text> provinces;
    int withoutLink = 0;
    for (int i = 0, n = RecordCount(rs); i < n; ++i) {
        Text province;
        Text link;
        ReadFieldText(rs, Gbk("省份"), province);
        ReadFieldText(rs, Gbk("链接"), link);
        if (provinces.empty() || provinces.back() != province)
            provinces.push_back(province);
        if (link.empty())
            ++withoutLink;
        MoveToNextRecord(rs);
    }
    EXPECT_EQ(provinces.size(), provinceCount) << "each province in one run";
    EXPECT_EQ(std::set<Text>(provinces.begin(), provinces.end()).size(), provinceCount);
    EXPECT_EQ(withoutLink, 0);
    EXPECT_EQ(Utf8(provinces.front()), "安徽");
    // Every province's own listing, through the SQL the program forms, adds up to the whole.
    int listed = 0;
    for (const Text& p : provinces) {
        OpenRecordSetQuery(rs, ProvinceQuery(p), 1);
        EXPECT_GT(RecordCount(rs), 0) << Utf8(p);
        listed += RecordCount(rs);
    }
    EXPECT_EQ(listed, stations);
}

}  // namespace
}  // namespace qv::test
