// Settings in pz.ini, the notification-area toggle, the window buttons, web links, exit.
#include <sys/inotify.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QTreeWidget>
#include <filesystem>
#include "files/folders.h"
#include "files/ini.h"
#include "shell/web_links.h"
#include "widgets/desktop.h"

#include "tests/app/fixture/fixture.h"
#include "tests/support/support.h"

namespace qv::test {
namespace {

using Shell = MainWindowTest;

// The settings file lives in the program's folder (the fixture's stand-in for the executable's),
// not in the working folder.
std::filesystem::path Ini() {
    return ProgramFolder() / "pz.ini";
}
Text Read(const char* section, const char* key) {
    return ReadIniValue(Ini(), Gbk(section), Gbk(key), Gbk("<none>"));
}

using Settings = MainWindowTest;

TEST_F(Settings, WithoutAFileTheDefaultsApply) {
    RestoreWindowPosition();
    RestoreVolume();
    RestoreLastStation();
    EXPECT_EQ(f().窗口->left(), 50);
    EXPECT_EQ(f().窗口->top(), 50);
    EXPECT_EQ(f().多功能条1->position(), 100);
    EXPECT_EQ(player->log().volumes.back(), 100);
    EXPECT_EQ(f().透明标签_名称->caption(), Gbk(">>> 北京电台文艺广播"));
    ASSERT_EQ(player->log().urls.size(), 1u);
    EXPECT_EQ(player->log().urls[0].rfind("mms://", 0), 0u);
    EXPECT_EQ(player->log().plays, 0);
    EXPECT_FALSE(std::filesystem::exists(Ini()));
}

TEST_F(Settings, StoredValuesComeBackExactly) {
    // 10 rows of the window on the screen: a place partly on a screen is applied as stored.
    const int top = ScreenHeight() - 10;
    WriteFile(Ini(), (Gbk("[窗口位置]\r\n左边 = -300\r\n顶边=" + std::to_string(top) +
                          "\r\n[音量]\r\n音量值=20\r\n")));
    const Text name = Gbk("  >>> \"奇怪\" 电台=;[x] ");
    const Text link = Gbk(" http://127.0.0.1:1/a?b=\"c\"&d=e ");
    ASSERT_TRUE(WriteIniValue(Ini(), Gbk("电台"), Gbk("名称"), name));
    ASSERT_TRUE(WriteIniValue(Ini(), Gbk("电台"), Gbk("链接"), link));
    RestoreWindowPosition();
    RestoreVolume();
    RestoreLastStation();
    EXPECT_EQ(f().窗口->left(), -300);
    EXPECT_EQ(f().窗口->top(), top);
    EXPECT_EQ(f().多功能条1->position(), 20);
    EXPECT_EQ(ShownSpeaker(), 2);
    EXPECT_EQ(f().透明标签_名称->caption(), name);
    EXPECT_EQ(player->log().urls.back(), link);
}

// The window (346 x 507) takes its defined place (50, 50) when no pixel of it would lie on the
// screen at the stored place; one pixel on the screen is enough to keep the stored place.
TEST_F(Settings, APlaceWhollyOffTheScreenGivesWayToTheDefinedPlace) {
    ASSERT_EQ(QGuiApplication::screens().size(), 1);
    const std::string w = std::to_string(ScreenWidth());
    const std::string h = std::to_string(ScreenHeight());
    const std::string w1 = std::to_string(ScreenWidth() - 1);
    const std::string h1 = std::to_string(ScreenHeight() - 1);
    struct Case {
        std::string stored;  // the [窗口位置] section's lines
        int left, top;       // the place taken
    };
    const Case cases[] = {
        {"左边=-500\n顶边=-600", 50, 50},
        {"左边=-346\n顶边=0", 50, 50},
        {"左边=-345\n顶边=0", -345, 0},
        {"左边=" + w + "\n顶边=0", 50, 50},
        {"左边=" + w1 + "\n顶边=0", ScreenWidth() - 1, 0},
        {"左边=0\n顶边=-507", 50, 50},
        {"左边=0\n顶边=-506", 0, -506},
        {"左边=0\n顶边=" + h, 50, 50},
        {"左边=0\n顶边=" + h1, 0, ScreenHeight() - 1},
        {"左边=-345\n顶边=-506", -345, -506},
        {"左边=" + w1 + "\n顶边=" + h1, ScreenWidth() - 1, ScreenHeight() - 1},
        {"左边=-300\n顶边=5000", 50, 50},  // one axis on the screen is not enough
        {"左边=99999999999\n顶边=99999999999", 50, 50},
        {"左边=-99999999999\n顶边=-99999999999", 50, 50},
        {"左边=-500", 50, 50},  // the top stays at the defined 50
        {"顶边=-600", 50, 50},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        f().窗口->setLeft(50);
        f().窗口->setTop(50);
        WriteFile(Ini(), Gbk("[窗口位置]\n" + c.stored + "\n"));
        RestoreWindowPosition();
        EXPECT_EQ(f().窗口->left(), c.left);
        EXPECT_EQ(f().窗口->top(), c.top);
    }
}

TEST_F(Settings, OnlyVolumesFrom0To100MoveTheBar) {
    const std::pair<const char*, int> cases[] = {{"0", 0},    {"100", 100}, {"101", 50},
                                                 {"-1", 50},  {"abc", 0},   {"99999999999", 50},
                                                 {" 42x", 42}};
    for (auto [stored, position] : cases) {
        f().多功能条1->initPosition(50);
        ASSERT_TRUE(WriteIniValue(Ini(), Gbk("音量"), Gbk("音量值"), stored));
        RestoreVolume();
        EXPECT_EQ(f().多功能条1->position(), position) << stored;
    }
}

TEST_F(Settings, ClosingWritesThePositionOnlyWhileTheWindowIsOnScreen) {
    // Window 346 x 507: on screen while left < W - 100 and left + 346 > 100, the same for the top.
    const int w = ScreenWidth();
    const int h = ScreenHeight();
    ASSERT_GT(w, 300);
    struct Case {
        int left, top;
        bool leftWritten, topWritten;
    };
    const Case cases[] = {{-245, -406, true, true}, {w - 101, h - 101, true, true},
                          {-246, 0, false, true},   {w - 100, 0, false, true},
                          {0, -407, true, false},   {0, h - 100, true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.left << "," << c.top);
        std::remove(Ini().c_str());
        f().窗口->setLeft(c.left);
        f().窗口->setTop(c.top);
        ASSERT_EQ(f().窗口->left(), c.left);
        OnMainWindowClosing();
        EXPECT_EQ(Read("窗口位置", "左边"), c.leftWritten ? IntToText(c.left) : Gbk("<none>"));
        EXPECT_EQ(Read("窗口位置", "顶边"), c.topWritten ? IntToText(c.top) : Gbk("<none>"));
    }
}

TEST_F(Settings, ClosingWritesTheFiveKeysAndKeepsEveryOtherLine) {
    const std::string before =
        "; 用户的注释\r\n[其他]\r\n键=值\r\n[窗口位置]\r\n左边=10\r\n顶边=20\r\n";
    WriteFile(Ini(), (Gbk(before)));
    f().窗口->setLeft(-1000);  // off screen: its key keeps 10
    f().窗口->setTop(30);
    f().多功能条1->setPosition(0);
    f().透明标签_名称->setCaption(Gbk(">>> 台"));
    player->setURL(Gbk("http://127.0.0.1/x"));
    OnMainWindowClosing();
    EXPECT_EQ(Read("窗口位置", "左边"), "10");
    EXPECT_EQ(Read("窗口位置", "顶边"), "30");
    EXPECT_EQ(Read("音量", "音量值"), "0");
    EXPECT_EQ(Read("电台", "名称"), Gbk(">>> 台"));
    EXPECT_EQ(Read("电台", "链接"), "http://127.0.0.1/x");
    const std::string after = ReadFile(Ini());
    EXPECT_EQ(after.rfind((Gbk("; 用户的注释\r\n[其他]\r\n键=值\r\n")), 0), 0u) << after;
    // An empty label is stored as an empty value.
    f().透明标签_名称->setCaption(Text());
    OnMainWindowClosing();
    EXPECT_EQ(Read("电台", "名称"), "");
}

// Counts the times a file in a folder is replaced (renamed into place) while it lives.
class Replacements final {
  public:
    Replacements(const std::string& folder, std::string name)
        : fd_(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK)), name_(std::move(name)) {
        // IN_MOVED_FROM too, for the temporary's name between two IN_MOVED_TO: the kernel folds
        // an event into an unread one just like it.
        ok_ =
            fd_ >= 0 && ::inotify_add_watch(fd_, folder.c_str(), IN_MOVED_FROM | IN_MOVED_TO) >= 0;
    }
    Replacements(const Replacements&) = delete;
    Replacements& operator=(const Replacements&) = delete;
    ~Replacements() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    [[nodiscard]] bool ok() const { return ok_; }
    // The replacements since the last call.
    int Take() {
        int n = 0;
        alignas(inotify_event) char events[4096];
        ssize_t got = 0;
        while ((got = ::read(fd_, events, sizeof events)) > 0) {
            for (ssize_t at = 0; at < got;) {
                const auto* e = reinterpret_cast<const inotify_event*>(events + at);
                if ((e->mask & IN_MOVED_TO) != 0 && e->len > 0 && name_ == e->name)
                    ++n;
                at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            }
        }
        return n;
    }

  private:
    int fd_;
    std::string name_;
    bool ok_ = false;
};

// Another copy of the program may close at the same moment: the closing sequence's values reach
// the file in one replacement, so that the file holds one copy's whole state (two copies at
// once: tests/platform/files/ini_batch_test.cpp). A close that changes nothing leaves the file
// alone.
TEST_F(Settings, ClosingReplacesTheFileOnceAndNotAtAllWhenNothingChanged) {
    Replacements replaced(programFolder, "pz.ini");
    ASSERT_TRUE(replaced.ok());
    f().窗口->setLeft(120);
    f().窗口->setTop(80);
    f().多功能条1->setPosition(30);
    f().透明标签_名称->setCaption(Gbk(">>> 台"));
    player->setURL(Gbk("http://127.0.0.1/x"));
    OnMainWindowClosing();
    EXPECT_EQ(replaced.Take(), 1);
    EXPECT_EQ(Read("窗口位置", "左边"), "120");
    EXPECT_EQ(Read("电台", "链接"), "http://127.0.0.1/x");

    const std::string before = ReadFile(Ini());
    OnMainWindowClosing();
    EXPECT_EQ(replaced.Take(), 0);
    EXPECT_EQ(ReadFile(Ini()), before);

    f().多功能条1->setPosition(31);
    player->setURL(Gbk("http://127.0.0.1/y"));
    OnMainWindowClosing();
    EXPECT_EQ(replaced.Take(), 1);
    EXPECT_EQ(Read("音量", "音量值"), "31");
    EXPECT_EQ(Read("电台", "链接"), "http://127.0.0.1/y");
}

// Some older editors end lines with a lone CR, as Windows reads them too: the stored place,
// volume and station come back, and closing replaces the values in place, lone CRs kept, with
// no second section.
TEST_F(Settings, ALoneCrFileIsReadLineByLineAndRewrittenInPlace) {
    auto file = [](const std::string& left, const std::string& top, const std::string& volume,
                   const std::string& name, const std::string& link) {
        return Gbk("; 旧编辑器\r[窗口位置]\r左边=" + left + "\r顶边 = " + top +
                   "\r[音量]\r音量值=" + volume + "\r[电台]\r名称=" + name + "\r链接=" + link +
                   "\r[其他]\r键=值\r");
    };
    WriteFile(Ini(), file("120", "-40", "35", ">>> 台", "http://127.0.0.1/a"));
    RestoreWindowPosition();
    RestoreVolume();
    RestoreLastStation();
    EXPECT_EQ(f().窗口->left(), 120);
    EXPECT_EQ(f().窗口->top(), -40);
    EXPECT_EQ(f().多功能条1->position(), 35);
    EXPECT_EQ(f().透明标签_名称->caption(), Gbk(">>> 台"));
    EXPECT_EQ(player->log().urls.back(), "http://127.0.0.1/a");

    f().窗口->setLeft(130);
    f().窗口->setTop(60);
    f().多功能条1->setPosition(20);
    f().透明标签_名称->setCaption(Gbk(">>> 新台"));
    player->setURL(Gbk("http://127.0.0.1/b"));
    OnMainWindowClosing();
    EXPECT_EQ(ReadFile(Ini()), file("130", "60", "20", ">>> 新台", "http://127.0.0.1/b"));
}

TEST_F(Shell, TheTrayToggleFollowsTheMinimisedFlagAlone) {
    Window& w = *f().窗口;
    OnTrayIconEvent(2);
    OnTrayIconEvent(3);
    EXPECT_EQ(G().minimised, 0);
    EXPECT_EQ(w.state(), WindowState::Normal);
    OnTrayIconEvent(1);
    EXPECT_EQ(G().minimised, 1);
    EXPECT_EQ(w.state(), WindowState::Minimised);
    OnTrayIconEvent(1);
    EXPECT_EQ(G().minimised, 0);
    EXPECT_EQ(w.state(), WindowState::Normal);
    OnMinimiseButtonClick();
    EXPECT_EQ(G().minimised, 1);
    EXPECT_EQ(w.state(), WindowState::Minimised);
    w.setState(WindowState::Normal);  // restored by other means
    OnTrayIconEvent(1);
    EXPECT_EQ(G().minimised, 0);
    EXPECT_EQ(w.state(), WindowState::Normal);
    OnTrayIconEvent(1);
    EXPECT_EQ(w.state(), WindowState::Minimised);
}

std::vector<Text> g_opened;
bool RecordAddress(const Text& a) {
    g_opened.push_back(a);
    return true;
}

TEST_F(Shell, EachLinkOpensItsFixedAddressEveryTime) {
    g_opened.clear();
    SetWebOpener(RecordAddress);
    OnContactButtonClick();
    OnSuggestionLinkClick(0, 0, 0);
    OnWebsiteLinkClick(0, 0, 0);
    OnWebsiteLinkClick(0, 0, 0);
    SetWebOpener(nullptr);
    EXPECT_EQ(g_opened, (std::vector<Text>{kContactPage, kSuggestionPage, kWebsite, kWebsite}));
    EXPECT_EQ(Text(kWebsite).find("://"), Text::npos);
}

TEST_F(Shell, TheCloseButtonWritesTheSettingsBeforeTheWindowGoes) {
    std::remove(Ini().c_str());
    f().透明标签_名称->setCaption(Gbk(">>> 关"));
    OnCloseButtonClick();
    EXPECT_TRUE(f().窗口->closed());
    EXPECT_FALSE(WidgetOf(*f().窗口)->isVisible());
    EXPECT_EQ(Read("电台", "名称"), Gbk(">>> 关"));
    EXPECT_FALSE(std::filesystem::exists(folder + "/pz.ini")) << "written in the working folder";
}

TEST_F(Shell, ExitReleasesControlsThenSettingsThenTheProvinceList) {
    struct Tracker {
        static std::vector<std::string>& order() {
            static std::vector<std::string> o;
            return o;
        }
    };
    struct C final : PlayerControls {
        void play() override {}
        void stop() override {}
        ~C() override { Tracker::order().push_back("controls"); }
    };
    struct S final : PlayerSettings {
        void setVolume(int) override {}
        ~S() override { Tracker::order().push_back("settings"); }
    };
    Tracker::order().clear();
    G().controls.store(std::make_shared<C>());
    G().settings.store(std::make_shared<S>());
    G().provinceList->push_back(Gbk("北京"));
    ReleaseGlobalsAtExit();
    EXPECT_EQ(Tracker::order(), (std::vector<std::string>{"controls", "settings"}));
    EXPECT_EQ(G().provinceList, nullptr);
    EXPECT_TRUE(G().controls.empty());
    CreateGlobals();
}

}  // namespace
}  // namespace qv::test
