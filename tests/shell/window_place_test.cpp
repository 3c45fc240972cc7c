// The window's start place on two screens side by side (Qt's offscreen platform, configured
// before the test's QApplication exists): the left one 800 x 600, the right one 1024 x 768 at
// x 800. Below the left screen lies no screen, though the screens' bounding box covers it.
#include <QGuiApplication>
#include <QScreen>
#include <cstdlib>

#include "files/folders.h"
#include "files/ini.h"
#include "tests/app/fixture/fixture.h"
#include "tests/support/support.h"

namespace qv::test {
namespace {

[[maybe_unused]] const bool kTwoScreens =
    setenv("QT_QPA_PLATFORM", "offscreen:configfile=" QV_TWO_SCREENS, 1) == 0;

class WindowPlace : public MainWindowTest {
  protected:
    static std::filesystem::path Ini() { return ProgramFolder() / "pz.ini"; }
};

TEST_F(WindowPlace, AnyScreenHoldsTheStoredPlaceNotTheSpaceBetweenThem) {
    ASSERT_EQ(QGuiApplication::screens().size(), 2) << "the offscreen screens were not set up";
    ASSERT_EQ(QGuiApplication::screens()[1]->geometry(), QRect(800, 0, 1024, 768));
    const int cases[][4] = {
        // stored left, top; the place taken
        {1000, 700, 1000, 700},  // on the right screen only, below the left one's edge
        {100, 650, 50, 50},      // below the left screen: on no screen
        {454, 600, 50, 50},      // its right edge at x 799, its top one row below the left screen
        {455, 600, 455, 600},    // one column reaches the right screen
        {1823, 767, 1823, 767},  // the right screen's last pixel
        {1824, 0, 50, 50},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c[0] << "," << c[1]);
        f().窗口->setLeft(50);
        f().窗口->setTop(50);
        WriteIniValue(Ini(), Gbk("窗口位置"), Gbk("左边"), IntToText(c[0]));
        WriteIniValue(Ini(), Gbk("窗口位置"), Gbk("顶边"), IntToText(c[1]));
        RestoreWindowPosition();
        EXPECT_EQ(f().窗口->left(), c[2]);
        EXPECT_EQ(f().窗口->top(), c[3]);
    }
}

}  // namespace
}  // namespace qv::test
