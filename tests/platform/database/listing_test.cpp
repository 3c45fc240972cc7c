// Reading listings: order, the province listing's SQL, field reads and moves.
#include <gtest/gtest.h>

#include "database/database.h"
#include "kit/sealed.h"
#include "radio/province_query.h"
#include "radio/station_row.h"
#include "tests/platform/database/fixture/fixture.h"
#include "tests/support/support.h"

namespace qv::test {
namespace {

using Names = std::vector<std::string>;

class Listing : public ::testing::Test {
  protected:
    void Open(const std::vector<kit::Row>& rows) {
        std::string path = kit::NewFolder("db") + "/mmsDT.dll";
        ASSERT_EQ(kit::WriteCatalogue(path, rows), "");
        RequireTable(conn_, StationTable());
        ASSERT_NE(OpenConnection(conn_, path, ""), 0);
        AttachRecordSet(rs_, conn_);
    }
    void OpenAll() { OpenRecordSetTable(rs_, "radio", Gbk("省份 ASC")); }
    void OpenProvince(const std::string& utf8) {
        OpenRecordSetQuery(rs_, ProvinceQuery(Gbk(utf8)), 1);
    }
    [[nodiscard]] std::string Field(const char* utf8Field) {
        Text out = "stale";
        ReadFieldText(rs_, Gbk(utf8Field), out);
        return Utf8(out);
    }

    DbConnection conn_;
    RecordSet rs_;
};

TEST_F(Listing, AnEmptyTableListsNothingAndReadsEmpty) {
    Open({});
    OpenAll();
    EXPECT_EQ(RecordCount(rs_), 0);
    EXPECT_EQ(Field("电台名称"), "");
    MoveToNextRecord(rs_);
    MoveToRecord(rs_, 0);
    EXPECT_EQ(Field("链接"), "");
    OpenProvince("");
    EXPECT_EQ(RecordCount(rs_), 0);
}

TEST_F(Listing, AllStationsComeByProvinceInGbkOrderEmptyProvincesFirst) {
    Open({{"浙1", "浙江", "l"},
          {"空1", "", "l"},
          {"重1", "重庆", "l"},
          {"陕1", "陕西", "l"},
          {"空2", std::nullopt, "l"},
          {"广1", "广东", "l"},
          {"北1", "北京", "l"},
          {"空3", "", "l"},
          {"山1", "山西", "l"},
          {"安1", "安徽", "l"},
          {"中1", "中央", "l"}});
    OpenAll();
    Names provinces = ReadColumn(rs_, "省份");
    // GBK files 重 under zhong, after 中.
    EXPECT_EQ(provinces,
              (Names{"", "", "", "安徽", "北京", "广东", "山西", "陕西", "浙江", "中央", "重庆"}));
}

TEST_F(Listing, AProvinceListsEveryProvinceContainingItsTextByName) {
    Open({{"北京新闻", "北京", "a"},
          {"怀柔电台", "北京市", "b"},
          {"京津之声", "东北京畿", "c"},
          {"安徽之声", "安徽", "d"},
          {"北京音乐", "北京", "e"},
          {"无省台", std::nullopt, "f"}});
    struct Case {
        const char* province;
        Names names;
    };
    const std::vector<Case> cases = {
        {"北京", {"北京新闻", "北京音乐", "怀柔电台", "京津之声"}},
        {"北京市", {"怀柔电台"}},
        {"安徽", {"安徽之声"}},
        {"", {"安徽之声", "北京新闻", "北京音乐", "怀柔电台", "京津之声"}},
        {"上海", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.province);
        OpenProvince(c.province);
        EXPECT_EQ(ReadColumn(rs_, "电台名称"), c.names);
    }
}

TEST_F(Listing, QuoteMarksAndWildcardsInAProvince) {
    Open({{"港台1", "港'澳", "a"},
          {"港台2", "港'澳", "b"},
          {"百分台", "50%区", "c"},
          {"五百台", "500区", "d"},
          {"下划台", "a_b", "e"},
          {"axb台", "axb", "f"},
          {"改写台", "x' or 1=1 --", "g"},
          {"其他台", "北京", "h"}});
    struct Case {
        const char* province;
        Names names;
    };
    const std::vector<Case> cases = {
        {"港'澳", {"港台1", "港台2"}},
        // % and _ stay wildcards: 50% matches 500 too.
        {"50%区", {"百分台", "五百台"}},
        {"a_b", {"axb台", "下划台"}},
        {"x' or 1=1 --", {"改写台"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.province);
        OpenProvince(c.province);
        EXPECT_EQ(ReadColumn(rs_, "电台名称"), c.names);
    }
    // Unescaped, the quote mark would end the pattern early and the listing would fail.
    Text unescaped = ProvinceQuery(Gbk("港澳"));
    unescaped.replace(unescaped.find(Gbk("港澳")), Gbk("港澳").size(), Gbk("港'澳"));
    OpenRecordSetQuery(rs_, unescaped, 1);
    EXPECT_EQ(RecordCount(rs_), 0);
    EXPECT_EQ(EscapeSqlText(Gbk("a''b'")), Gbk("a''''b''"));
}

TEST_F(Listing, AProvinceMatchesCaseAndWholeCharacters) {
    Open({{"FM一台", "FM", "a"},
          {"fm台", "fm", "b"},
          {"调频台", "FM调频", "c"},
          {"Fm台", "Fm", "d"},
          {"中字台", "a中b", "e"},
          {"百分台", "50%区", "f"},
          {"五百台", "500区", "g"}});
    struct Case {
        const char* province;
        Names names;
    };
    // Texts compare byte-wise: the filter agrees with the grid, which keeps FM and fm apart.
    const std::vector<Case> cases = {
        {"FM", {"FM一台", "调频台"}},
        {"fm", {"fm台"}},
        {"Fm", {"Fm台"}},
        {"fM", {}},
        {"a_b", {"中字台"}},  // _ is one character, not one byte
        {"a__b", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.province);
        OpenProvince(c.province);
        EXPECT_EQ(ReadColumn(rs_, "电台名称"), c.names);
    }
    // Queries of other forms: ESCAPE, not like, a NULL pattern.
    struct Query {
        const char* sql;
        Names names;
    };
    const std::vector<Query> queries = {
        {"select * from radio where 省份 like '50!%%' escape '!' order by 电台名称", {"百分台"}},
        {"select * from radio where 省份 not like '%m' order by 电台名称",
         {"FM一台", "百分台", "调频台", "五百台", "中字台"}},
        {"select * from radio where 省份 like null", {}},
        {"select * from radio where 省份 like 'x' escape 'ab'", {}},
    };
    for (const Query& q : queries) {
        SCOPED_TRACE(q.sql);
        OpenRecordSetQuery(rs_, Gbk(q.sql), 1);
        EXPECT_EQ(ReadColumn(rs_, "电台名称"), q.names);
    }
}

TEST_F(Listing, FieldsReadAsGbkAndMissingValuesReadEmpty) {
    Open({{std::nullopt, "北京", std::nullopt}, {"台", std::nullopt, "http://x"}});
    OpenAll();
    ASSERT_EQ(RecordCount(rs_), 2);
    Text raw;
    ReadFieldText(rs_, Gbk("电台名称"), raw);
    EXPECT_EQ(raw, Gbk("台")) << "GBK bytes, not UTF-8";
    EXPECT_EQ(Field("省份"), "");
    EXPECT_EQ(Field("链接"), "http://x");
    EXPECT_EQ(Field("频率"), "") << "unknown field";
    MoveToNextRecord(rs_);
    EXPECT_EQ(Field("电台名称"), "");
    EXPECT_EQ(Field("省份"), "北京");
    EXPECT_EQ(Field("链接"), "");
}

TEST_F(Listing, MovesOutsideTheListingReadEmpty) {
    Open({{"甲", "安徽", "a"}, {"乙", "北京", "b"}, {"丙", "广东", "c"}});
    OpenAll();
    ASSERT_EQ(RecordCount(rs_), 3);
    struct Case {
        int position;
        const char* link;
    };
    for (Case c : {Case{2, "c"}, Case{-1, ""}, Case{0, "a"}, Case{3, ""}, Case{1, "b"},
                   Case{-2147483647 - 1, ""}, Case{2147483647, ""}}) {
        SCOPED_TRACE(c.position);
        MoveToRecord(rs_, c.position);
        EXPECT_EQ(Field("链接"), c.link);
    }
    MoveToRecord(rs_, 1);
    for (int i = 0; i < 5; ++i) MoveToNextRecord(rs_);
    EXPECT_EQ(Field("链接"), "") << "moved past the end";
    EXPECT_EQ(RecordCount(rs_), 3) << "moves leave the count";
    MoveToRecord(rs_, -1);
    MoveToNextRecord(rs_);
    EXPECT_EQ(Field("链接"), "a") << "next from -1 is the first record";
}

TEST_F(Listing, AFailedOpenLeavesNoRecords) {
    Open({{"甲", "安徽", "a"}});
    OpenAll();
    ASSERT_EQ(RecordCount(rs_), 1);
    for (const Text& sql : {Text("select * from nosuch"), Gbk("select * from radio order by 无"),
                            Text("\xff\xfe select \x81"), Text()}) {
        OpenRecordSetQuery(rs_, sql, 1);
        EXPECT_EQ(RecordCount(rs_), 0);
        EXPECT_EQ(Field("链接"), "");
        OpenAll();
        EXPECT_EQ(RecordCount(rs_), 1);
    }
    OpenRecordSetTable(rs_, "no\"such", "");
    EXPECT_EQ(RecordCount(rs_), 0);
}

TEST_F(Listing, ExtraColumnsAreFetchedAndReadByName) {
    // Declaring the gbk collation, as catalogues made by the generator once did: they still open.
    std::string path = kit::NewFolder("extra") + "/mmsDT.dll";
    MakeDatabase(path,
                 {"create table radio(编号 INTEGER, 电台名称 TEXT COLLATE gbk, "
                  "省份 TEXT COLLATE gbk, 链接 TEXT, Note BLOB)",
                  "insert into radio values(7, '台', '北京', 'l', x'6869')",
                  "insert into radio values(8, '安台', '北京', 'm', null)"},
                 true);
    RequireTable(conn_, StationTable());
    ASSERT_NE(OpenConnection(conn_, path, ""), 0);
    AttachRecordSet(rs_, conn_);
    OpenProvince("北京");
    ASSERT_EQ(RecordCount(rs_), 2);
    EXPECT_EQ(Field("编号"), "8");
    MoveToNextRecord(rs_);
    EXPECT_EQ(Field("编号"), "7");
    EXPECT_EQ(Field("链接"), "l");
    EXPECT_EQ(Field("note"), "hi") << "ASCII names ignore case";
}

}  // namespace
}  // namespace qv::test
