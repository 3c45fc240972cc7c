// The station list, the province grid, the list background and province selection.
#include <fcntl.h>
#include <sys/stat.h>
#include <QTreeWidget>
#include <filesystem>
#include <functional>
#include "files/folders.h"
#include "widgets/list_view.h"

#include "art/artwork.h"
#include "qt_text.h"
#include "tests/app/fixture/fixture.h"
#include "tests/platform/database/fixture/fixture.h"
#include "tests/support/support.h"

namespace qv::test {
namespace {

using Catalogue = MainWindowTest;

std::string TempTem() {
    return CacheFolder() / "temp.tem";
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
    EXPECT_EQ(FromQString(TreeOf(list)->headerItem()->text(0)), Gbk("电台"));
    EXPECT_EQ(TreeOf(list)->columnWidth(0), 180);
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
        EXPECT_EQ(WidgetOf(*Province(n))->parentWidget(), WidgetOf(*f().外形框1));
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
    EXPECT_EQ(list.backgroundFile(), TempTem());
    const QBrush base = TreeOf(list)->palette().brush(QPalette::Base);
    EXPECT_FALSE(base.texture().isNull());
    EXPECT_EQ(base.texture().size(), QSize(3, 21));
    // No picture: an empty file, both messages still sent.
    SetListBackgroundPicture(list, nullptr);
    EXPECT_TRUE(std::filesystem::exists(TempTem()));
    EXPECT_EQ(ReadFile(TempTem()).size(), 0u);
    EXPECT_EQ(list.backgroundFile(), TempTem());
}

// The file is replaced only when it does not hold the picture; the list takes its background
// from it on every fill all the same.
TEST_F(Catalogue, EveryFillSetsTheBackgroundAndRewritesTheFileOnlyWhenItDiffers) {
    OpenCatalogue(Stations(3, 1));
    ListView& list = *f().超级列表框_名称;
    const std::string& picture = art::ListBackground();
    std::string flipped = picture;
    flipped[picture.size() / 2] = static_cast<char>(flipped[picture.size() / 2] ^ 1);
    struct Case {
        const char* what;
        std::function<void(const std::string&)> make;
        bool leftAlone;
    };
    const Case cases[] = {
        {"the same bytes", [&](const std::string& p) { WriteFile(p, picture); }, true},
        {"missing", [](const std::string&) {}, false},
        {"one byte differs", [&](const std::string& p) { WriteFile(p, flipped); }, false},
        {"one byte more", [&](const std::string& p) { WriteFile(p, picture + "x"); }, false},
        {"one byte less",
         [&](const std::string& p) { WriteFile(p, picture.substr(0, picture.size() - 1)); }, false},
        {"empty", [](const std::string& p) { WriteFile(p, ""); }, false},
        {"a pipe", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(TempTem());
        c.make(TempTem());
        struct stat before {};
        const bool existed = ::stat(TempTem().c_str(), &before) == 0;
        if (existed) {
            // An old time stamp, so a rewrite within the same second still shows.
            const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
            ASSERT_EQ(::utimensat(AT_FDCWD, TempTem().c_str(), old, 0), 0);
        }
        list.setTransparentTextBackground(false);
        list.setTiledBackground({});
        Province(1)->raise(Event::Click);
        EXPECT_EQ(ReadFile(TempTem()), picture);
        struct stat after {};
        ASSERT_EQ(::stat(TempTem().c_str(), &after), 0);
        const bool untouched =
            existed && after.st_ino == before.st_ino && after.st_mtim.tv_sec == 1000000000;
        EXPECT_EQ(untouched, c.leftAlone);
        // Both messages were sent again.
        EXPECT_TRUE(list.transparentTextBackground());
        EXPECT_EQ(list.backgroundFile(), TempTem());
        EXPECT_EQ(TreeOf(list)->palette().brush(QPalette::Base).texture().size(), QSize(3, 21));
    }
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
    // After each click exactly the clicked label shows the chosen colour, every other one the
    // template's.
    auto expectOnlyChosen = [&](int chosen) {
        for (int n = 1; n <= static_cast<int>(G().provinceList->size()); ++n) {
            EXPECT_EQ(Province(n)->textColour(), n == chosen ? 0x00E03058u : 0x00006FDDu)
                << "label " << n << " after a click on label " << chosen;
        }
    };
    const int beijing = click("北京");
    EXPECT_EQ(ListedNames(), (std::vector<Text>{Gbk("京甲"), Gbk("京乙")}));
    EXPECT_EQ(f().透明标签2->caption(), Gbk("共 2 个电台"));
    expectOnlyChosen(beijing);
    // Clicking again lists the same rows.
    click("北京");
    EXPECT_EQ(ListedNames().size(), 2u);
    expectOnlyChosen(beijing);
    // 内蒙古 is the last label of the grid.
    const int mongolia = click("内蒙古");
    EXPECT_EQ(mongolia, static_cast<int>(G().provinceList->size()));
    EXPECT_EQ(ListedNames(), (std::vector<Text>{Gbk("蒙台")}));
    expectOnlyChosen(mongolia);
    // A percent sign and a quote mark stay part of the pattern. 50% is the first label.
    const int percent = click("50%");
    EXPECT_EQ(percent, 1);
    EXPECT_EQ(ListedNames(), (std::vector<Text>{Gbk("百分台")}));
    expectOnlyChosen(percent);
    expectOnlyChosen(click("O'Brien"));
    EXPECT_EQ(ListedNames(), (std::vector<Text>{Gbk("引号台")}));
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
    const size_t stations = ShippedStations().size();
    EXPECT_EQ(f().透明标签2->caption(), Gbk("共 " + std::to_string(stations) + " 个电台"));
    EXPECT_EQ(f().超级列表框_名称->rowCount(), static_cast<int>(stations));
    ASSERT_EQ(G().provinceList->size(), 34u);
    EXPECT_EQ(Province(1)->caption(), Gbk("安徽"));
    EXPECT_EQ(Province(2)->caption(), Gbk("北京"));
    EXPECT_EQ(Province(1)->top(), 5);
    EXPECT_EQ(Province(34)->top(), 325);
    EXPECT_LE(Province(34)->top() + Province(34)->height(), f().外形框1->height());
}

}  // namespace
}  // namespace qv::test
