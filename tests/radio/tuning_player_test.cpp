// Choosing a row plays that row's stream through libmpv, and the window follows the player.
#include "kit/stream_server.h"
#include "tests/app/fixture/fixture.h"
#include "tests/support/support.h"

namespace qv::test {
namespace {

class RealPlayer : public MainWindowTest {
  protected:
    RealPlayer() { realPlayer = true; }
};

TEST_F(RealPlayer, ARowPlaysItsStreamAndTheWindowFollows) {
    kit::StreamServer server;
    ASSERT_TRUE(server.running());
    OpenCatalogue({{"一台", "测试", server.url("/s/1")},
                   {"二台", "测试", server.url("/s/2")},
                   {"三台", "测试", server.url("/s/3")}});
    SelectListRow(*f().超级列表框_名称, 1);
    const Text name = f().超级列表框_名称->cellText(1, 0);
    OnStationListEvent();
    EXPECT_EQ(f().透明标签_名称->caption(), Gbk(">>> ") + name);
    const Text playing = Gbk("正在播放");
    ASSERT_TRUE(WaitUntil([&] { return LeftBytes(f().窗口->title(), 8) == playing; }, 15000))
        << Utf8(f().窗口->title());
    EXPECT_EQ(LeftBytes(f().透明标签_状态->caption(), 8), playing);
    EXPECT_EQ(server.count("GET /s/2"), 1) << "requests: " << server.requests().size();
    EXPECT_EQ(server.count("GET /s/1"), 0);
    EXPECT_EQ(G().playing, 1);
    EXPECT_TRUE(ShowsLook(Look::Playing));
    EXPECT_TRUE(f().时钟_时间->active());
    ASSERT_TRUE(WaitUntil([&] { return G().seconds >= 1; }, 5000));
    EXPECT_NE(f().透明标签_时间->caption(), Gbk("00:00:00"));

    // The play button stops it; the player says so and the clock holds.
    OnPlayButtonClick();
    ASSERT_TRUE(WaitUntil([&] { return f().透明标签_状态->caption() == Gbk("已停止"); }, 5000));
    EXPECT_TRUE(ShowsLook(Look::Stopped));
    EXPECT_FALSE(f().时钟_时间->active());
}

}  // namespace
}  // namespace qv::test
