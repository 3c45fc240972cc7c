// The station list, the province grid, the list background and province selection.
#include <QTreeWidget>
#include <filesystem>
#include "platform/list_view.h"
#include "platform/system.h"

#include "tests/handlers/fixture.h"
#include "tests/support/support.h"
#include "ui/art/artwork.h"

namespace qv::test {
namespace {

using Catalogue = MainWindowTest;

std::string TempTem() {
    return Utf8(SystemFolderPath(11)) + "temp.tem";
}

TransparentLabel* Province(int n) {
    return dynamic_cast<TransparentLabel*>(CopiedControl(*Form().窗口, n));
}

TEST_F(Catalogue, AllStationsFillTheListTheGridAndTheCount) {
    OpenCatalogue({{"甲台", "", "l1"},
                   {"乙台", "北京", "l2"},
                   {"丙台", "北京", "l3"},
                   {"丁台", "安徽", "l4"},
                   {"戊台", "北京 ", "l5"}});
    ListView& list = *f().超级列表框_名称;
    ASSERT_EQ(list.columnCount(), 1);
    EXPECT_EQ(FromQString(list.tree()->headerItem()->text(0)), Gbk("电台"));
    EXPECT_EQ(list.tree()->columnWidth(0), 180);
    EXPECT_EQ(list.rowCount(), 5);
    EXPECT_EQ(f().透明标签2->caption(), Gbk("共 5 个电台"));
    // Empty province first (no label), then 安徽, 北京 and "北京 " (a trailing blank differs).
    EXPECT_EQ(list.cellText(0, 0), Gbk("甲台"));
    ASSERT_EQ(G().provinceList->size(), 3u);
    EXPECT_EQ((*G().provinceList)[0], Gbk("安徽"));
    EXPECT_EQ((*G().provinceList)[1], Gbk("北京"));
    EXPECT_EQ((*G().provinceList)[2], Gbk("北京 "));
    for (int n = 1; n <= 3; ++n) {
        ASSERT_NE(Province(n), nullptr);
        EXPECT_TRUE(Province(n)->visible());
        EXPECT_EQ(Province(n)->caption(), (*G().provinceList)[static_cast<size_t>(n - 1)]);
        EXPECT_EQ(Province(n)->textColour(), 0x00006FDDu);
        EXPECT_EQ(Province(n)->widget()->parentWidget(), f().外形框1->widget());
    }
    EXPECT_EQ(Province(4), nullptr);
    EXPECT_FALSE(f().透明标签1->visible());
}

TEST_F(Catalogue, ProvinceLabelsFillATwoColumnGrid) {
    OpenCatalogue(Stations(35, 35));
    ASSERT_EQ(G().provinceList->size(), 35u);
    const int expected[][3] = {{1, 12, 5},  {2, 61, 5},    {3, 12, 25},
                               {4, 61, 25}, {34, 61, 325}, {35, 12, 345}};
    for (const auto& e : expected) {
        ASSERT_NE(Province(e[0]), nullptr);
        EXPECT_EQ(Province(e[0])->left(), e[1]) << e[0];
        EXPECT_EQ(Province(e[0])->top(), e[2]) << e[0];
        EXPECT_EQ(Province(e[0])->width(), 39);
        EXPECT_EQ(Province(e[0])->height(), 18);
    }
}

TEST_F(Catalogue, AnEmptyTableListsNothingButStillSetsTheBackground) {
    WriteFile(TempTem(), std::string(50000, 'x'));
    OpenCatalogue({});
    EXPECT_EQ(f().超级列表框_名称->rowCount(), 0);
    EXPECT_EQ(f().透明标签2->caption(), Gbk("共 0 个电台"));
    EXPECT_TRUE(G().provinceList->empty());
    EXPECT_EQ(ReadFile(TempTem()), art::ListBackground());
}

TEST_F(Catalogue, TheBackgroundIsWrittenWholeAndTiledBehindTransparentText) {
    OpenCatalogue(Stations(3, 1));
    ListView& list = *f().超级列表框_名称;
    EXPECT_EQ(ReadFile(TempTem()), art::ListBackground());
    EXPECT_TRUE(list.transparentTextBackground());
    EXPECT_EQ(list.backgroundFile().toStdString(), TempTem());
    const QBrush base = list.tree()->palette().brush(QPalette::Base);
    EXPECT_FALSE(base.texture().isNull());
    EXPECT_EQ(base.texture().size(), QSize(3, 21));
    // No picture: an empty file, both messages still sent.
    SetListBackgroundPicture(list, nullptr);
    EXPECT_TRUE(std::filesystem::exists(TempTem()));
    EXPECT_EQ(ReadFile(TempTem()).size(), 0u);
    EXPECT_EQ(list.backgroundFile().toStdString(), TempTem());
}

TEST_F(Catalogue, AProvinceClickColoursItsLabelAndNarrowsTheListByName) {
    OpenCatalogue({{"京乙", "北京", "b2"},
                   {"京甲", "北京", "b1"},
                   {"蒙台", "内蒙古", "n1"},
                   {"粤台", "广东", "g1"},
                   {"引号台", "O'Brien", "q1"},
                   {"百分台", "50%", "p1"}});
    auto click = [&](const char* province) {
        for (int n = 1; n <= static_cast<int>(G().provinceList->size()); ++n) {
            if (Province(n)->caption() == Gbk(province)) {
                Province(n)->raise(Event::Click, 1, 2, 3);
                return n;
            }
        }
        ADD_FAILURE() << "no label " << province;
        return 0;
    };
    int beijing = click("北京");
    EXPECT_EQ(ListedNames(), (std::vector<Text>{Gbk("京甲"), Gbk("京乙")}));
    EXPECT_EQ(f().透明标签2->caption(), Gbk("共 2 个电台"));
    for (int n = 1; n <= static_cast<int>(G().provinceList->size()); ++n) {
        EXPECT_EQ(Province(n)->textColour(), n == beijing ? 0x00E03058u : 0x00006FDDu);
    }
    // Clicking again lists the same rows; exactly one label keeps the chosen colour.
    click("北京");
    EXPECT_EQ(ListedNames().size(), 2u);
    int mongolia = click("内蒙古");
    EXPECT_EQ(ListedNames(), (std::vector<Text>{Gbk("蒙台")}));
    EXPECT_EQ(Province(beijing)->textColour(), 0x00006FDDu);
    EXPECT_EQ(Province(mongolia)->textColour(), 0x00E03058u);
    // A quote mark stays part of the pattern.
    click("O'Brien");
    EXPECT_EQ(ListedNames(), (std::vector<Text>{Gbk("引号台")}));
    click("50%");
    EXPECT_EQ(ListedNames(), (std::vector<Text>{Gbk("百分台")}));
    EXPECT_EQ(G().provinceList->size(), 5u);
}

TEST_F(Catalogue, AContainedProvinceAlsoListsTheLongerOne) {
    OpenCatalogue({{"甲", "江西", "1"}, {"乙", "江", "2"}, {"丙", "浙江", "3"}});
    for (int n = 1; n <= 3; ++n) {
        if (Province(n)->caption() == Gbk("江"))
            Province(n)->raise(Event::Click);
    }
    EXPECT_EQ(ListedNames().size(), 3u);
}

TEST_F(Catalogue, RowsAreRecordsInBothListings) {
    OpenCatalogue(Stations(12, 3));
    ListView& list = *f().超级列表框_名称;
    for (int i : {0, 5, 11}) {
        SelectListRow(list, i);
        OnStationListEvent();
        EXPECT_EQ(f().透明标签_名称->caption(), Gbk(">>> ") + list.cellText(i, 0));
    }
    Province(2)->raise(Event::Click);
    ASSERT_EQ(list.rowCount(), 4);
    SelectListRow(list, 3);
    OnStationListEvent();
    EXPECT_EQ(f().透明标签_名称->caption(), Gbk(">>> ") + list.cellText(3, 0));
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

TEST_F(Catalogue, TheShippedCatalogueFillsTheSeventeenRowsOfTheGrid) {
    std::filesystem::copy_file(QV_PROGRAM_DIR "/mmsDT.dll", folder + "/mmsDT.dll");
    OpenStationDatabase();
    LoadStationList(0, Text());
    EXPECT_EQ(f().透明标签2->caption(), Gbk("共 304 个电台"));
    ASSERT_EQ(G().provinceList->size(), 34u);
    EXPECT_EQ(Province(1)->caption(), Gbk("安徽"));
    EXPECT_EQ(Province(2)->caption(), Gbk("北京"));
    EXPECT_EQ(Province(1)->top(), 5);
    EXPECT_EQ(Province(34)->top(), 325);
    EXPECT_LE(Province(34)->top() + Province(34)->height(), f().外形框1->height());
}

}  // namespace
}  // namespace qv::test
