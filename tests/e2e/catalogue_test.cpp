// A catalogue made with the stock sqlite3 shell: the grid and the list come in GBK order, and a
// province's listing tells capital and small letters apart.
#include <gtest/gtest.h>

#include "tests/e2e/harness.h"
#include "tests/e2e/pixels.h"
#include "texts/text.h"

namespace qv::e2e {
namespace {

using CatalogueTest = E2eTest;

TEST_F(CatalogueTest, AShellMadeCatalogueListsInGbkOrder) {
    if (kit::Run({"sh", "-c", "command -v sqlite3"}).code != 0)
        GTEST_SKIP() << "the sqlite3 shell is not installed";
    Program p(display(), server);
    // Stored in Unicode order, which GBK order turns round: 上 < 北 < 安 by code point.
    const std::vector<Station> stations = {
        {"FM一台", "FM", "/radio/1"},   {"fm台", "fm", "/radio/2"},
        {"上游台", "上海", "/radio/3"}, {"安康台", "上海", "/radio/4"},
        {"中央台", "北京", "/radio/5"}, {"北京台", "北京", "/radio/6"},
        {"安徽台", "安徽", "/radio/7"},
    };
    std::string sql = "create table radio(电台名称 text, 省份 text, 链接 text);";
    for (const Station& s : stations) {
        sql += "insert into radio values('" + s.name + "', '" + s.province + "', '" +
               server.url(s.path) + "');";
    }
    const kit::RunResult made = kit::Run({"sqlite3", "-bail", p.file("mmsDT.dll"), sql});
    ASSERT_EQ(made.code, 0) << made.out;
    ASSERT_TRUE(p.launch(
        {.stations = std::nullopt,
         .settings = Gbk("[电台]\n名称=>>> 起始台\n链接=" + server.url("/radio/0") + "\n")}));
    ASSERT_EQ(server.waitForNext(0, 20000), "GET /radio/0");
    display().parkPointer();

    std::vector<int> rows;
    auto waitForRows = [&](size_t n) {
        return p.waitForLook([&](const QImage& shot) {
            rows = ListRows(shot);
            return rows.size() == n ? std::string()
                                    : "the list shows " + std::to_string(rows.size()) + " rows";
        });
    };
    auto tuneRow = [&](size_t i) {
        const size_t from = server.requests().size();
        p.click(RowPoint(rows[i]).x(), RowPoint(rows[i]).y());
        return server.waitForNext(from, 20000);
    };
    // The grid: FM, fm, 安徽, 北京, 上海.
    auto clickLabel = [&](int n) {
        p.click(Centre(ProvinceLabel(n)).x(), Centre(ProvinceLabel(n)).y());
        display().parkPointer();
    };

    ASSERT_EQ(waitForRows(stations.size()), "");
    EXPECT_EQ(tuneRow(2), "GET /radio/7") << "安徽 comes after FM and fm";
    EXPECT_EQ(tuneRow(5), "GET /radio/3") << "上海 comes last, its stations as the file holds them";

    clickLabel(3);
    ASSERT_EQ(waitForRows(1), "") << "安徽";
    EXPECT_EQ(tuneRow(0), "GET /radio/7");
    clickLabel(5);
    ASSERT_EQ(waitForRows(2), "") << "上海";
    EXPECT_EQ(tuneRow(0), "GET /radio/4") << "安康台 before 上游台";
    clickLabel(1);
    ASSERT_EQ(waitForRows(1), "") << "FM lists only FM, not fm";
    EXPECT_EQ(tuneRow(0), "GET /radio/1");
    clickLabel(2);
    ASSERT_EQ(waitForRows(1), "") << "fm";
    EXPECT_EQ(tuneRow(0), "GET /radio/2");
}

}  // namespace
}  // namespace qv::e2e
