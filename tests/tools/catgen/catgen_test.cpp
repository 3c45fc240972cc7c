// The catalogue generator: a good source gives a catalogue the layer reads; a bad one leaves the
// catalogue it would have replaced as it was.
#include <gtest/gtest.h>

#include <cstdlib>
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

int RunCatgen(const std::string& args) {
    const std::string tool = BuildFolder() + "/tools/catgen/quorvin-catgen";
    return std::system((tool + " " + args + " >/dev/null 2>&1").c_str());
}

TEST(Catgen, BuildsTheCatalogueAndKeepsItWhenTheSourceIsBad) {
    const std::string folder = kit::NewFolder("catgen");
    const std::string tsv = folder + "/stations.tsv";
    const std::string out = folder + "/mmsDT.dll";
    WriteFile(tsv,
              "# name\tprovince\tlink\n"
              "浙江之声\t浙江\thttp://z\r\n"
              "\n"
              "港'台\t港'澳\thttp://g\n"
              "无省\t\thttp://n\n"
              "重庆之声\t重庆\thttp://c\n");
    ASSERT_EQ(RunCatgen(tsv + " " + out), 0);
    {
        DbConnection conn;
        RequireTable(conn, StationTable());
        ASSERT_NE(OpenConnection(conn, out, ""), 0);
        RecordSet rs;
        AttachRecordSet(rs, conn);
        OpenRecordSetTable(rs, "radio", Gbk("省份 ASC"));
        EXPECT_EQ(ReadColumn(rs, "省份"), (std::vector<std::string>{"", "港'澳", "浙江", "重庆"}));
        OpenRecordSetQuery(rs, ProvinceQuery(Gbk("港'澳")), 1);
        EXPECT_EQ(ReadColumn(rs, "链接"), std::vector<std::string>{"http://g"});
    }
    const std::string built = ReadFile(out);
    const std::vector<std::string> bad = {
        "名\t省\n",                          // a field short
        "名\t省\thttp://x\textra\n",         // a field over
        "\t省\thttp://x\n",                  // no name
        "名\t省\t\n",                        // no link
        "\xb1\xb1\xbe\xa9\t省\thttp://x\n",  // GBK, not UTF-8
    };
    for (const std::string& line : bad) {
        SCOPED_TRACE(line);
        WriteFile(tsv, "好台\t北京\thttp://ok\n" + line);
        EXPECT_NE(RunCatgen(tsv + " " + out), 0);
        EXPECT_EQ(ReadFile(out), built);
    }
    std::set<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        files.insert(e.path().filename());
    }
    EXPECT_EQ(files, (std::set<std::string>{"mmsDT.dll", "stations.tsv"})) << "no temporary left";
}

TEST(Catgen, TidySortsTheSourceAndKeepsItsComments) {
    const std::string tsv = kit::NewFolder("tidy") + "/stations.tsv";
    WriteFile(tsv,
              "# where the links came from\n"
              "浙2\t浙江\thttp://2\n"
              "北1\t北京\thttp://1\n"
              "浙1\t浙江\thttp://3\n");
    ASSERT_EQ(RunCatgen("--tidy " + tsv), 0);
    EXPECT_EQ(ReadFile(tsv),
              "# where the links came from\n"
              "北1\t北京\thttp://1\n"
              "浙1\t浙江\thttp://3\n"
              "浙2\t浙江\thttp://2\n");
}

TEST(Catgen, TheShippedSourceIsTidy) {
    const std::string tsv = kit::NewFolder("shipped") + "/stations.tsv";
    const std::string source = ReadFile(std::string(QV_SOURCE_DIR) + "/data/stations.tsv");
    WriteFile(tsv, source);
    ASSERT_EQ(RunCatgen("--tidy " + tsv), 0);
    EXPECT_EQ(ReadFile(tsv), source);
}

}  // namespace
}  // namespace qv::test
