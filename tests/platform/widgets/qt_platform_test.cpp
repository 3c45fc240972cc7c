// The Qt platform the program asks for: X11 wherever an X server is, unless the user chose.
#include <gtest/gtest.h>

#include <string>

#include "widgets/qt_platform.h"

namespace qv {
namespace {

TEST(QtPlatform, X11UnlessTheUserChoseOrThereIsNone) {
    struct Case {
        const char* qpa;
        const char* display;
        const char* wayland;
        const char* chosen;  // empty: Qt's own choice
    };
    const Case cases[] = {
        {nullptr, ":0", "wayland-0", "xcb;wayland"},  // a Wayland session with XWayland
        {"", ":0", "wayland-0", "xcb;wayland"},       // an empty QT_QPA_PLATFORM is no choice
        {nullptr, ":0", nullptr, "xcb"},              // an X11 session
        {nullptr, ":0", "", "xcb"},
        {nullptr, nullptr, "wayland-0", ""},  // Wayland without XWayland: all there is
        {nullptr, "", "wayland-0", ""},
        {nullptr, nullptr, nullptr, ""},     // no display server known: Qt decides
        {"wayland", ":0", "wayland-0", ""},  // the user's choice stands
        {"xcb", nullptr, "wayland-0", ""},
        {"offscreen", ":0", nullptr, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "QT_QPA_PLATFORM=" << (c.qpa ? c.qpa : "(unset)")
                     << " DISPLAY=" << (c.display ? c.display : "(unset)")
                     << " WAYLAND_DISPLAY=" << (c.wayland ? c.wayland : "(unset)"));
        EXPECT_EQ(PreferredQtPlatform(c.qpa, c.display, c.wayland), c.chosen);
    }
}

TEST(QtPlatform, ThePlatformGoesRightAfterTheProgramsName) {
    char name[] = "quorvin";
    char own[] = "-platform";
    char ownValue[] = "offscreen";
    char* argv[] = {name, own, ownValue, nullptr};
    std::string platform = "xcb;wayland";
    std::vector<char*> args = WithPlatformArgument(3, argv, platform);
    ASSERT_EQ(args.size(), 6u);
    EXPECT_STREQ(args[0], "quorvin");
    EXPECT_STREQ(args[1], "-platform");
    EXPECT_STREQ(args[2], "xcb;wayland");
    EXPECT_EQ(args[3], own);  // the user's own comes later and wins
    EXPECT_EQ(args[4], ownValue);
    EXPECT_EQ(args[5], nullptr);
    // No platform to name: the arguments as they were.
    std::string none;
    args = WithPlatformArgument(1, argv, none);
    ASSERT_EQ(args.size(), 2u);
    EXPECT_EQ(args[0], name);
    EXPECT_EQ(args[1], nullptr);
}

}  // namespace
}  // namespace qv
