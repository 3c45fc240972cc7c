// Catalogues and the stock sqlite3 shell: files it makes list in the program's order, and the
// shipped catalogue is plain SQLite that it can query, index, vacuum, dump and restore.
#include <gtest/gtest.h>

#include <filesystem>
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
using Names = std::vector<std::string>;

#define REQUIRE_SHELL()                                           \
    do {                                                          \
        if (!HaveSqlite3Shell())                                  \
            GTEST_SKIP() << "the sqlite3 shell is not installed"; \
    } while (0)

std::set<std::string> FilesIn(const std::string& folder) {
    std::set<std::string> files;
    for (const auto& e : fs::directory_iterator(folder)) files.insert(e.path().filename());
    return files;
}

// Every row of the listing as "province/name/link".
Names Rows(RecordSet& rs) {
    Names rows;
    for (int i = 0, n = RecordCount(rs); i < n; ++i) {
        Text name;
        Text province;
        Text link;
        ReadFieldText(rs, Gbk("电台名称"), name);
        ReadFieldText(rs, Gbk("省份"), province);
        ReadFieldText(rs, Gbk("链接"), link);
        rows.push_back(Utf8(province) + "/" + Utf8(name) + "/" + Utf8(link));
        MoveToNextRecord(rs);
    }
    return rows;
}

TEST(ShellCatalogue, ListsInGbkOrderWhateverTheFileDeclares) {
    REQUIRE_SHELL();
    // Stored in Unicode order, which differs from GBK order: 上 < 北 < 安 by code point, 安 < 北
    // < 上 in GBK. Within 北京 the file holds 中央台 first.
    const std::string rows =
        "insert into radio(电台名称, 省份, 链接) values('FM一台', 'FM', 'l1');\n"
        "insert into radio(电台名称, 省份, 链接) values('fm台', 'fm', 'l2');\n"
        "insert into radio(电台名称, 省份, 链接) values('上游台', '上海', 'l3');\n"
        "insert into radio(电台名称, 省份, 链接) values('安康台', '上海', 'l4');\n"
        "insert into radio(电台名称, 省份, 链接) values('中央台', '北京', 'l5');\n"
        "insert into radio(电台名称, 省份, 链接) values('北京台', '北京', 'l6');\n"
        "insert into radio(电台名称, 省份, 链接) values('安徽台', '安徽', 'l7');\n";
    const std::vector<std::pair<const char*, std::string>> schemas = {
        {"text columns", "create table radio(电台名称 text, 省份 text, 链接 text);"},
        {"untyped columns", "create table radio(电台名称, 省份, 链接);"},
        {"other collations, other column order, a key",
         "create table radio(编号 integer primary key, 链接 text, 省份 text collate nocase, "
         "电台名称 text collate rtrim);"},
        {"indexes in code-point order",
         "create table radio(电台名称 text, 省份 text, 链接 text);"
         "create index by_province on radio(省份, 电台名称);"
         "create index by_name on radio(电台名称);"},
        {"UTF-16 file",
         "pragma encoding = 'UTF-16le';"
         "create table radio(电台名称 text, 省份 text, 链接 text);"},
    };
    for (const auto& [what, schema] : schemas) {
        SCOPED_TRACE(what);
        const std::string folder = kit::NewFolder("shell");
        const std::string path = folder + "/mmsDT.dll";
        const ShellResult made = RunSqlite3(path, schema + "\n" + rows);
        ASSERT_EQ(made.code, 0) << made.out;
        const std::string bytes = ReadFile(path);

        DbConnection conn;
        RequireTable(conn, StationTable());
        ASSERT_NE(OpenConnection(conn, path, ""), 0);
        RecordSet rs;
        AttachRecordSet(rs, conn);
        OpenRecordSetTable(rs, "radio", Gbk("省份 ASC"));
        // By province in GBK byte order; one province's stations in the file's order.
        EXPECT_EQ(Rows(rs), (Names{"FM/FM一台/l1", "fm/fm台/l2", "安徽/安徽台/l7", "北京/中央台/l5",
                                   "北京/北京台/l6", "上海/上游台/l3", "上海/安康台/l4"}));
        const std::vector<std::pair<const char*, Names>> provinces = {
            {"上海", {"上海/安康台/l4", "上海/上游台/l3"}},
            {"北京", {"北京/北京台/l6", "北京/中央台/l5"}},
            {"FM", {"FM/FM一台/l1"}},
            {"m", {"fm/fm台/l2"}},
        };
        for (const auto& [province, want] : provinces) {
            OpenRecordSetQuery(rs, ProvinceQuery(Gbk(province)), 1);
            EXPECT_EQ(Rows(rs), want) << province;
        }
        EXPECT_EQ(ReadFile(path), bytes) << "the file is never written";
        EXPECT_EQ(FilesIn(folder), std::set<std::string>{"mmsDT.dll"});
    }
}

TEST(ShellCatalogue, TheShippedCatalogueIsPlainSqlite) {
    REQUIRE_SHELL();
    const std::string folder = kit::NewFolder("shipped");
    const std::string path = folder + "/mmsDT.dll";
    fs::copy_file(std::string(QV_PROGRAM_DIR) + "/mmsDT.dll", path);
    const ShellResult schema = RunSqlite3(path, ".schema\n");
    ASSERT_EQ(schema.code, 0) << schema.out;
    EXPECT_EQ(schema.out.find("ollate"), std::string::npos) << schema.out;

    const ShellResult queries =
        RunSqlite3(path,
                   "select count(*) from radio where 省份 = '北京';\n"
                   "select count(*) from (select 1 from radio group by 省份);\n"
                   "select count(distinct 省份) from radio;\n"
                   "select 省份 from radio order by 省份, 电台名称 limit 1;\n"
                   "create index by_province on radio(省份, 电台名称);\n"
                   "create unique index by_link on radio(链接, 电台名称);\n"
                   "vacuum;\n"
                   "pragma integrity_check;\n");
    ASSERT_EQ(queries.code, 0) << queries.out;
    // The figures of the source the catalogue was built from. The shell orders by code point,
    // as a set of UTF-8 texts does (上海 before 安徽).
    size_t beijing = 0;
    for (const kit::Row& r : ShippedStations()) beijing += *r.province == "北京";
    const std::set<std::string> provinces = ShippedProvinces();
    const std::string count = std::to_string(provinces.size());
    EXPECT_EQ(queries.out, std::to_string(beijing) + "\n" + count + "\n" + count + "\n" +
                               *provinces.begin() + "\nok\n");

    // A dump restores into a file that lists as the original does.
    const ShellResult dump = RunSqlite3(path, ".dump\n");
    ASSERT_EQ(dump.code, 0) << dump.out;
    const std::string restored = folder + "/restored.dll";
    const ShellResult restore = RunSqlite3(restored, dump.out);
    ASSERT_EQ(restore.code, 0) << restore.out;
    Names listings[2];
    int n = 0;
    for (const std::string& file : {std::string(QV_PROGRAM_DIR) + "/mmsDT.dll", restored}) {
        DbConnection conn;
        RequireTable(conn, StationTable());
        ASSERT_NE(OpenConnection(conn, file, ""), 0) << file;
        RecordSet rs;
        AttachRecordSet(rs, conn);
        OpenRecordSetTable(rs, "radio", Gbk("省份 ASC"));
        listings[n] = Rows(rs);
        OpenRecordSetQuery(rs, ProvinceQuery(Gbk("广东")), 1);
        Names province = Rows(rs);
        listings[n].insert(listings[n].end(), province.begin(), province.end());
        ++n;
    }
    size_t guangdong = 0;
    for (const kit::Row& r : ShippedStations())
        guangdong += r.province->find("广东") != std::string::npos;
    EXPECT_GT(guangdong, 0u);
    EXPECT_EQ(listings[0].size(), ShippedStations().size() + guangdong);
    EXPECT_EQ(listings[0], listings[1]);
}

}  // namespace
}  // namespace qv::test
