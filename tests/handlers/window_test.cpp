// The main window as built from its definition: controls, places, looks and event bindings.
#include <QMouseEvent>
#include <QTest>
#include <QTimer>

#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <set>

#include "tests/handlers/fixture.h"
#include "tests/support/support.h"

namespace qv::test {
namespace {

using MainWindow = MainWindowTest;

struct Expected {
    const char* name;
    int left, top, width, height;
    bool visible;
    bool hand;
    const char* caption;  // transparent labels only
    Colour colour;        // their text colour
};

// clang-format off
const Expected kExpected[] = {
    {"透明标签1",       12,  5,   39,  18,  false, true,  "透明标签", 0x00006FDD},
    {"标签3",           2,   376, 302, 1,   true,  false, nullptr, 0},
    {"标签2",           109, 25,  1,   351, true,  false, nullptr, 0},
    {"外形框1",         1,   25,  111, 351, true,  false, nullptr, 0},
    {"图形按钮_关闭",   288, -1,  35,  24,  true,  false, nullptr, 0},
    {"透明标签2",       152, 388, 88,  12,  true,  false, "",         0x000080FF},
    {"透明标签_名称",   6,   388, 138, 12,  true,  false, "",         0x000080FF},
    {"透明标签_时间",   152, 418, 56,  16,  true,  false, "00:00:00", 0x0000FFFF},
    {"透明标签_状态",   16,  448, 212, 16,  true,  false, "已停止",   0x000080FF},
    {"图形按钮_上一台", 12,  410, 33,  33,  true,  true,  nullptr, 0},
    {"图形按钮_播放",   46,  406, 37,  37,  true,  true,  nullptr, 0},
    {"图形按钮_下一台", 85,  410, 33,  33,  true,  true,  nullptr, 0},
    {"透明标签_建议",   227, 5,   24,  16,  true,  true,  "建议",     0x00ECECEC},
    {"透明标签_官网",   190, 5,   24,  16,  true,  true,  "Ostrel",   0x00ECECEC},
    {"图形按钮_静音",   17,  467, 14,  14,  true,  true,  nullptr, 0},
    {"多功能条1",       37,  471, 108, 9,   true,  false, nullptr, 0},
    {"图形按钮_QQ",     154, 2,   29,  22,  true,  true,  nullptr, 0},
    {"图形按钮_最小化", 257, -1,  35,  24,  true,  false, nullptr, 0},
    {"超级列表框_名称", 112, 25,  208, 351, true,  false, nullptr, 0},
};
// clang-format on

TEST_F(MainWindow, ControlsStandWhereTheDefinitionPutsThem) {
    const WindowDefinition& def = MainWindowDefinition();
    EXPECT_EQ(def.controls.size(), 23u);
    EXPECT_EQ(def.bindings.size(), 17u);
    Window& w = *f().窗口;
    EXPECT_EQ(w.width(), 346);
    EXPECT_EQ(w.height(), 507);
    EXPECT_EQ(w.left(), 50);
    EXPECT_EQ(w.top(), 50);
    EXPECT_TRUE(WidgetOf(w)->windowFlags() & Qt::FramelessWindowHint);
    for (const Expected& e : kExpected) {
        SCOPED_TRACE(e.name);
        Control* c = w.find(e.name);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->left(), e.left);
        EXPECT_EQ(c->top(), e.top);
        EXPECT_EQ(c->width(), e.width);
        EXPECT_EQ(c->height(), e.height);
        EXPECT_EQ(c->visible(), e.visible);
        EXPECT_EQ(WidgetOf(*c)->cursor().shape() == Qt::PointingHandCursor, e.hand);
        if (auto* l = dynamic_cast<TransparentLabel*>(c)) {
            ASSERT_NE(e.caption, nullptr);
            EXPECT_EQ(l->caption(), Gbk(e.caption));
            EXPECT_EQ(l->textColour(), e.colour);
        }
    }
    EXPECT_EQ(WidgetOf(*f().透明标签1)->parentWidget(), WidgetOf(*f().外形框1));
    EXPECT_EQ(WidgetOf(*f().透明标签1)->mapTo(WidgetOf(w), QPoint(0, 0)), QPoint(13, 30));
    for (const char* hidden : {"时钟_时间", "播放器1", "数据库连接1", "记录集1"}) {
        ASSERT_NE(w.find(hidden), nullptr) << hidden;
        EXPECT_EQ(WidgetOf(*w.find(hidden)), nullptr) << hidden;
    }
    EXPECT_EQ(f().超级列表框_名称->rowCount(), 0);
    EXPECT_EQ(f().超级列表框_名称->columnCount(), 0);
    EXPECT_EQ(f().超级列表框_名称->selectedRow(), -1);
}

TEST_F(MainWindow, BothDividersShowInTheirColourOverTheProvinceFrame) {
    QWidget* v = WidgetOf(*f().窗口);
    const QImage drawn = v->grab().toImage();
    const QRgb divider = qRgb(255, 225, 196);
    const std::pair<const char*, QPoint> points[] = {{"标签2", {109, 25}},  {"标签2", {109, 200}},
                                                     {"标签2", {109, 375}}, {"标签3", {2, 376}},
                                                     {"标签3", {150, 376}}, {"标签3", {303, 376}}};
    for (auto [name, at] : points) {
        SCOPED_TRACE(testing::Message() << name << " at " << at.x() << "," << at.y());
        EXPECT_EQ(v->childAt(at), WidgetOf(*f().窗口->find(name)));
        EXPECT_EQ(drawn.pixel(at), divider);
    }
    // Beside the divider the frame still shows; where the two window buttons overlap, the
    // minimise button lies on top.
    EXPECT_EQ(v->childAt(108, 200), WidgetOf(*f().外形框1));
    EXPECT_EQ(v->childAt(110, 200), WidgetOf(*f().外形框1));
    EXPECT_EQ(v->childAt(290, 10), WidgetOf(*f().图形按钮_最小化));
}

// The font files this process has mapped.
std::set<std::string> MappedFontFiles() {
    std::set<std::string> files;
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        const size_t slash = line.find('/');
        if (slash == std::string::npos)
            continue;
        const std::string path = line.substr(slash);
        for (const char* ending : {".ttc", ".ttf", ".otf", ".otc", ".pfb", ".pcf", ".pcf.gz"}) {
            if (path.ends_with(ending))
                files.insert(path);
        }
    }
    return files;
}

// Every text of the window drawn (labels with and without a stored font, province labels, the
// list with its header) comes from one font file: a second CJK face would map megabytes more.
TEST_F(MainWindow, DrawsEveryTextFromOneFontFile) {
    OpenCatalogue(Stations(30, 6));
    for (TransparentLabel* l : {f().透明标签2, f().透明标签_名称, f().透明标签_状态}) {
        l->setCaption(Gbk("正在播放 Radio 128 kbps"));
    }
    QWidget* v = WidgetOf(*f().窗口);
    v->show();
    const QImage drawn = v->grab().toImage();
    ASSERT_FALSE(drawn.isNull());
    const std::set<std::string> fonts = MappedFontFiles();
    std::string names;
    for (const std::string& font : fonts) names += font + " ";
    EXPECT_EQ(fonts.size(), 1u) << names;
}

TEST_F(MainWindow, PictureButtonsKeepTheirTransparentColours) {
    const std::pair<const char*, Colour> cases[] = {
        {"图形按钮_关闭", 0x00FF00FF},  {"图形按钮_上一台", kNoColour},
        {"图形按钮_播放", 0x00FFFFFF},  {"图形按钮_下一台", kNoColour},
        {"图形按钮_静音", 0x00FFFFFF},  {"图形按钮_QQ", 0x0000FFFF},
        {"图形按钮_最小化", 0x00FF00FF}};
    for (auto [name, colour] : cases) {
        auto* b = f().窗口->get<PictureButton>(name);
        ASSERT_NE(b, nullptr) << name;
        EXPECT_EQ(b->transparentColour(), colour) << name;
        EXPECT_EQ(b->picture(0).empty(), std::string(name) == "图形按钮_静音") << name;
    }
    EXPECT_TRUE(f().图形按钮_播放->picture(2).empty());
    EXPECT_FALSE(f().图形按钮_关闭->picture(2).empty());
}

int g_provinceClicks = 0;
void CountProvinceClick(int, int, int) {
    ++g_provinceClicks;
}

TEST_F(MainWindow, ACopyOfTheTemplateRunsTheTemplatesRoutineAsItsOwnSource) {
    f().透明标签1->bind(Event::Click, CountProvinceClick);
    Control* copy = nullptr;
    CopyControl(*f().透明标签1, copy);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(CopiedControl(*f().窗口, 1), copy);
    EXPECT_FALSE(copy->visible());
    copy->setVisible(true);
    Control* source = nullptr;
    static Control** seen = nullptr;
    seen = &source;
    copy->bind(
        Event::Click, +[](int, int, int) {
            ++g_provinceClicks;
            *seen = EventSourceControl();
        });
    g_provinceClicks = 0;
    QTest::mouseClick(WidgetOf(*copy), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(g_provinceClicks, 1);
    EXPECT_EQ(source, copy);
    EXPECT_EQ(EventSourceControl(), nullptr);
}

TEST_F(MainWindow, ClicksReachOnlyTheBoundControls) {
    // The real binding of the copies is the template's.
    Control* copy = nullptr;
    CopyControl(*f().透明标签1, copy);
    EXPECT_TRUE(copy->hasBinding(Event::Click));
    for (const char* unbound : {"标签2", "标签3", "外形框1", "透明标签2", "透明标签_名称",
                                "透明标签_时间", "透明标签_状态"}) {
        Control* c = f().窗口->find(unbound);
        EXPECT_TRUE(c->bindings().empty()) << unbound;
    }
    // A press and a release on the button make a click; a release elsewhere does not.
    OpenCatalogue(Stations(2, 1));
    QWidget* next = WidgetOf(*f().图形按钮_下一台);
    QTest::mouseClick(next, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(player->log().urls.size(), 1u);
    QTest::mousePress(next, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseRelease(next, Qt::LeftButton, {}, QPoint(60, 60));
    EXPECT_EQ(player->log().urls.size(), 1u);
}

TEST_F(MainWindow, OnlyTheUsersChoiceOfARowTunes) {
    OpenCatalogue(Stations(4, 2));
    ListView& list = *f().超级列表框_名称;
    SelectListRow(list, 2);
    LoadStationList(1, (*G().provinceList)[0]);
    EXPECT_TRUE(player->log().urls.empty());
    QTreeWidget* t = TreeOf(list);
    QRect r = t->visualItemRect(t->topLevelItem(1));
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_EQ(list.selectedRow(), 1);
    ASSERT_EQ(player->log().urls.size(), 1u);
    QTest::keyClick(t, Qt::Key_Return);
    EXPECT_EQ(player->log().urls.size(), 2u);
}

// Also after running at a period, a timer written 0 raises no tick: not at once (as a Qt timer of
// 0 ms would), nor at its old period.
TEST_F(MainWindow, TheTimerRaisesNoTickWhileItsIntervalIsZero) {
    Timer& timer = *f().时钟_时间;
    EXPECT_FALSE(timer.active());
    timer.setInterval(1000);
    ASSERT_TRUE(timer.active());
    timer.setInterval(0);
    EXPECT_FALSE(timer.active());
    // Qt runs due timers in the order they fall due: a tick still to come would come before this.
    bool later = false;
    QTimer::singleShot(1500, [&later] { later = true; });
    ASSERT_TRUE(WaitUntil([&later] { return later; }, 30000));
    EXPECT_EQ(f().透明标签_时间->caption(), Gbk("00:00:00"));
    EXPECT_EQ(G().seconds, 0);
}

// The main window's event table, each row as its control holds it once the window is built.
class CreatedWindow : public MainWindowTest {
  protected:
    CreatedWindow() { runCreated = true; }
};

TEST_F(CreatedWindow, EachBindingReachesItsControlAndNoOtherIsBound) {
    struct Bound {
        const char* control;  // null: the window
        Event event;
        Routine routine;
    };
    const Bound expected[] = {
        {nullptr, Event::Created, OnMainWindowCreated},
        {nullptr, Event::Closing, OnMainWindowClosing},
        {nullptr, Event::TrayIcon, OnTrayIconEvent},
        {"透明标签1", Event::Click, OnProvinceLabelClick},
        {"图形按钮_关闭", Event::Click, OnCloseButtonClick},
        {"图形按钮_上一台", Event::Click, OnPreviousStationClick},
        {"图形按钮_播放", Event::Click, OnPlayButtonClick},
        {"图形按钮_下一台", Event::Click, OnNextStationClick},
        {"透明标签_建议", Event::Click, OnSuggestionLinkClick},
        {"透明标签_官网", Event::Click, OnWebsiteLinkClick},
        {"图形按钮_静音", Event::Click, OnMuteButtonClick},
        {"多功能条1", Event::PositionChanged, OnVolumeBarChanged},
        {"图形按钮_QQ", Event::Click, OnContactButtonClick},
        {"图形按钮_最小化", Event::Click, OnMinimiseButtonClick},
        {"时钟_时间", Event::Tick, OnElapsedTimerTick},
        {"播放器1", Event::StatusChange, OnPlayerStatusChange},
        {"超级列表框_名称", Event::RowChosen, OnStationListEvent},
    };
    Window& w = *f().窗口;
    for (const Bound& b : expected) {
        SCOPED_TRACE(testing::Message() << (b.control ? b.control : "the window") << ", event "
                                        << static_cast<int>(b.event));
        Control* c = b.control ? w.find(b.control) : &w;
        ASSERT_NE(c, nullptr);
        const auto bound = c->bindings().find(b.event);
        ASSERT_NE(bound, c->bindings().end());
        EXPECT_TRUE(bound->second == b.routine) << "another routine";
    }
    size_t bindings = w.bindings().size();
    for (const ControlDefinition& d : MainWindowDefinition().controls)
        bindings += w.find(d.name)->bindings().size();
    EXPECT_EQ(bindings, std::size(expected));
    // The created event did run its sequence.
    EXPECT_EQ(f().超级列表框_名称->rowCount(), 3);
}

int g_created = 0;

// A binding whose control the definition lacks, such as a misspelt name, gives no window; spelt
// right, the same definition builds.
TEST(WindowBuilder, ABindingToAControlTheDefinitionLacksIsAnError) {
    const ControlDefinition controls[] = {
        {"标签", Kind::Label, 0, 0, 10, 10, nullptr, true, Cursor::Default}};
    for (const char* name : {"标鉴", "标签"}) {
        SCOPED_TRACE(name);
        const bool known = std::string(name) == "标签";
        const EventBinding bindings[] = {{nullptr, Event::Created, +[] { ++g_created; }},
                                         {name, Event::Click, +[](int, int, int) {}}};
        const WindowDefinition def{"", 0, 0, 20, 20, nullptr, controls, bindings};
        g_created = 0;
        testing::internal::CaptureStderr();
        Window* w = CreateStartWindow(def);
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(w != nullptr, known);
        EXPECT_EQ(StartWindow(), w);
        EXPECT_EQ(g_created, known ? 1 : 0);
        if (known) {
            EXPECT_TRUE(w->find("标签")->hasBinding(Event::Click));
        } else {
            EXPECT_NE(said.find("标鉴"), std::string::npos) << said;
        }
        DestroyStartWindow();
    }
}

}  // namespace
}  // namespace qv::test
