// The controls a listener uses: the province grid, the station list, the previous and next
// buttons, the notification-area icon and the minimise button.
#include <gtest/gtest.h>

#include "tests/e2e/harness.h"
#include "tests/e2e/pixels.h"
#include "tests/support/support.h"
#include "texts/text.h"

namespace qv::e2e {
namespace {

using ControlsTest = E2eTest;

// Every test starts on the first station, 北京音乐广播.
Launch OnTheFirstStation(const kit::StreamServer& server) {
    return {.settings =
                Gbk("[电台]\n名称=>>> 北京音乐广播\n链接=" + server.url("/radio/1") + "\n")};
}

// Clicks, then returns the first request the server logs after the click.
std::string RequestAfter(const kit::StreamServer& server, const std::function<void()>& click) {
    const size_t from = server.requests().size();
    click();
    return server.waitForNext(from, 20000);
}

// Province labels 1 to 4 (北京, 广东, 广东珠海, 上海): `chosen` in the chosen colour, the rest
// in the grid's own; and the list showing `rows` rows.
std::function<std::string(const QImage&)> Narrowed(int chosen, size_t rows) {
    return [=](const QImage& shot) -> std::string {
        for (int n = 1; n <= 4; ++n) {
            const QRect box = ProvinceLabel(n);
            const int inChosen = TextPixels(shot, box, kChosenColour);
            const int inNormal = TextPixels(shot, box, kProvinceColour);
            const bool ok =
                n == chosen ? inChosen > 10 && inNormal == 0 : inNormal > 10 && inChosen == 0;
            if (!ok) {
                return "province label " + std::to_string(n) + ": " + std::to_string(inChosen) +
                       " pixels in the chosen colour, " + std::to_string(inNormal) +
                       " in the grid's";
            }
        }
        const size_t shown = ListRows(shot).size();
        if (shown != rows)
            return "the list shows " + std::to_string(shown) + " rows";
        return {};
    };
}

TEST_F(ControlsTest, ProvinceNarrowsTheListAndRowsAndButtonsTune) {
    Program p(display(), server);
    ASSERT_TRUE(p.launch(OnTheFirstStation(server)));
    ASSERT_EQ(server.waitForNext(0, 20000), "GET /radio/1");
    display().parkPointer();

    // All stations by province: the last row is 上海's only station.
    std::vector<int> rows;
    ASSERT_EQ(p.waitForLook([&](const QImage& shot) {
        rows = ListRows(shot);
        return rows.size() == kStations.size() ? std::string() : "the full list is not shown";
    }),
              "");
    auto clickRow = [&](size_t i) {
        return [&, i] { p.click(RowPoint(rows[i]).x(), RowPoint(rows[i]).y()); };
    };
    EXPECT_EQ(RequestAfter(server, clickRow(6)), "GET /radio/6");

    auto clickLabel = [&](int n) {
        p.click(Centre(ProvinceLabel(n)).x(), Centre(ProvinceLabel(n)).y());
    };
    clickLabel(1);
    display().parkPointer();
    EXPECT_EQ(p.waitForLook(Narrowed(1, 2)), "");
    // The next choice takes the colour; the earlier one gets the grid's colour back. 广东 also
    // finds 广东珠海; the rows go by name in GBK order.
    clickLabel(2);
    display().parkPointer();
    ASSERT_EQ(p.waitForLook([&](const QImage& shot) {
        rows = ListRows(shot);
        return Narrowed(2, 4)(shot);
    }),
              "");

    auto button = [&](const QRect& b) {
        return [&p, b] { p.click(Centre(b).x(), Centre(b).y()); };
    };
    const struct {
        const char* what;
        std::function<void()> click;
        const char* want;
    } steps[] = {
        {"row 2", clickRow(1), "GET /radio/3"},           // 羊城交通广播
        {"next", button(kNext), "GET /radio/7"},          // 珠海电台
        {"next", button(kNext), "GET /radio/5"},          // 珠江经济台, the last row
        {"next", button(kNext), "GET /radio/4"},          // back to the first, 广东新闻广播
        {"previous", button(kPrevious), "GET /radio/5"},  // and round to the last
        {"previous", button(kPrevious), "GET /radio/7"},
    };
    for (const auto& s : steps) EXPECT_EQ(RequestAfter(server, s.click), s.want) << s.what;
}

// Ctrl+click on the row that plays keeps it chosen: it plays again, and closing stores it.
TEST_F(ControlsTest, CtrlClickOnThePlayingRowKeepsTheStation) {
    Program p(display(), server);
    ASSERT_TRUE(p.launch(OnTheFirstStation(server)));
    ASSERT_EQ(server.waitForNext(0, 20000), "GET /radio/1");
    display().parkPointer();
    std::vector<int> rows;
    ASSERT_EQ(p.waitForLook([&](const QImage& shot) {
        rows = ListRows(shot);
        return rows.size() == kStations.size() ? std::string() : "the full list is not shown";
    }),
              "");
    const QPoint row = RowPoint(rows[6]);  // 上海故事广播
    EXPECT_EQ(RequestAfter(server, [&] { p.click(row.x(), row.y()); }), "GET /radio/6");
    // Some way along the row, so the two clicks make no double click.
    EXPECT_EQ(RequestAfter(server,
                           [&] {
                               display().xdotool({"keydown", "Control_L"});
                               p.click(row.x() - 40, row.y());
                               display().xdotool({"keyup", "Control_L"});
                           }),
              "GET /radio/6");
    EXPECT_EQ(p.close(), 0);
    const std::string ini = test::ReadFile(p.settingsFile());
    EXPECT_EQ(IniValue(ini, "电台", "名称"), ">>> 上海故事广播");
    EXPECT_EQ(IniValue(ini, "电台", "链接"), server.url("/radio/6"));
}

class TrayTest : public E2eTest {
  protected:
    [[nodiscard]] bool windowManager() const override { return true; }
};

TEST_F(TrayTest, IconTogglesTheWindowAndTheButtonMinimises) {
    Program p(display(), server);
    ASSERT_TRUE(p.launch(OnTheFirstStation(server)));
    const std::string window = p.window();
    std::string icon;
    ASSERT_TRUE(kit::Poll([&] { return !(icon = p.trayIcon()).empty(); }, 20000))
        << "no notification-area icon";

    auto shows = [&](bool normal) {
        return kit::Poll(
            [&] {
                return display().wmState(window) == (normal ? "Normal" : "Iconic") &&
                       display().viewable(window) == normal;
            },
            10000);
    };
    ASSERT_TRUE(shows(true));
    // Clicks at places apart, so no two make a double click.
    p.click(5, 5, icon);
    EXPECT_TRUE(shows(false)) << "the icon did not minimise the window";
    p.click(16, 16, icon);
    EXPECT_TRUE(shows(true)) << "the icon did not restore the window";
    p.click(kMinimise.x() + 12, 11);
    EXPECT_TRUE(shows(false)) << "the minimise button did not minimise the window";
    p.click(5, 5, icon);
    EXPECT_TRUE(shows(true)) << "the icon did not restore the window after the button";
}

}  // namespace
}  // namespace qv::e2e
