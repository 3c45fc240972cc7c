// The main window as built from its definition: controls, places, looks and event bindings.
#include <QImage>
#include <QMouseEvent>
#include <QRegion>
#include <QTest>
#include <QTimer>

#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "art/artwork.h"
#include "tests/app/fixture/fixture.h"
#include "tests/support/support.h"
#include "ui/objects.h"

namespace qv::test {
namespace {

using MainWindow = MainWindowTest;

QRgb Rgb(Colour c) {  // 0x00BBGGRR
    return qRgb(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>((c >> 16) & 0xFF));
}

std::string Name(QRgb c) {
    return QColor(c).name().toStdString();
}

QImage Decoded(const Bytes& picture) {
    return QImage::fromData(reinterpret_cast<const uchar*>(picture.data()),
                            static_cast<int>(picture.size()))
        .convertToFormat(QImage::Format_RGB32);
}

Bytes Stored(PictureSource source) {
    return source ? source() : Bytes();
}

QImage Drawn(const Control& c) {
    return WidgetOf(c)->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// How many pixels of the image are not the colour.
int PixelsOtherThan(const QImage& image, QRgb colour) {
    int other = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) other += image.pixel(x, y) != colour;
    }
    return other;
}

// Whether `picture` shows whole somewhere in `drawn`.
bool ShowsPicture(const QImage& drawn, const QImage& picture) {
    for (int top = 0; top + picture.height() <= drawn.height(); ++top) {
        for (int left = 0; left + picture.width() <= drawn.width(); ++left) {
            if (drawn.copy(left, top, picture.width(), picture.height()) == picture)
                return true;
        }
    }
    return false;
}

// Whether column x of `drawn` shows column x of `picture`, at some height.
bool ShowsColumn(const QImage& drawn, const QImage& picture, int x) {
    for (int top = 0; top + picture.height() <= drawn.height(); ++top) {
        bool same = true;
        for (int y = 0; y < picture.height() && same; ++y)
            same = drawn.pixel(x, top + y) == picture.pixel(x, y);
        if (same)
            return true;
    }
    return false;
}

// What a control of each kind keeps of its row, as far as it can be read or seen.
void ExpectKept(const TransparentLabel& l, const ControlDefinition& d) {
    EXPECT_EQ(l.caption(), Gbk(d.caption ? d.caption : ""));
    EXPECT_EQ(l.textColour(), d.textColour);
    EXPECT_EQ(l.font(), d.font);
    EXPECT_EQ(l.cursor(), d.cursor);
}

void ExpectKept(const PictureButton& b, const ControlDefinition& d) {
    EXPECT_EQ(b.transparentColour(), d.transparent);
    for (int slot = 0; slot < 3; ++slot)
        EXPECT_TRUE(b.picture(slot) == Stored(d.pictures[slot])) << "picture slot " << slot;
}

// The bright second track at the left end, the first at the right, and the knob whole.
void ExpectKept(const VolumeBar& bar, const ControlDefinition& d) {
    EXPECT_EQ(bar.position(), d.value);
    const QImage first = Decoded(TakePicture(Stored(d.pictures[0]), 0));
    const QImage second = Decoded(TakePicture(Stored(d.pictures[1]), 0));
    const QImage knob = Decoded(TakePicture(Stored(d.pictures[3]), 0));
    ASSERT_FALSE(first.isNull() || second.isNull() || knob.isNull());
    const QImage drawn = Drawn(bar);
    EXPECT_TRUE(ShowsColumn(drawn, second, 1)) << "the second track at the left end";
    EXPECT_TRUE(ShowsColumn(drawn, first, drawn.width() - 2)) << "the first track at the right";
    EXPECT_TRUE(ShowsPicture(drawn, knob)) << "the knob";
}

void ExpectKept(ListView& list, const ControlDefinition& d) {
    QTreeWidget* t = TreeOf(list);
    EXPECT_EQ(t->palette().color(QPalette::Text).name().toStdString(), Name(Rgb(d.textColour)));
    EXPECT_EQ(t->palette().color(QPalette::Base).name().toStdString(), Name(Rgb(d.background)));
    if (d.font) {
        EXPECT_EQ(t->font().pixelSize(), -d.font->height);
    }
    // A row given row icon n shows picture n of the group (the rows added here stay).
    const Bytes group = Stored(d.pictures[0]);
    InsertListColumn(list, 0, Text(), 100, 0);
    int icons = 0;
    for (; !TakePicture(group, icons).empty(); ++icons) {
        QTreeWidgetItem* row = t->topLevelItem(AddListRow(list, -1, icons, 1));
        ASSERT_NE(row, nullptr);
        const QImage shown = row->icon(0).pixmap(t->iconSize()).toImage();
        EXPECT_TRUE(shown.convertToFormat(QImage::Format_RGB32) ==
                    Decoded(TakePicture(group, icons)))
            << "row icon " << icons;
    }
    EXPECT_GT(icons, 0);
}

void ExpectKept(const Label& l, const ControlDefinition& d) {
    EXPECT_EQ(PixelsOtherThan(Drawn(l), Rgb(d.background)), 0) << "its background";
}

void ExpectKept(const ShapeBox& box, const ControlDefinition& d) {
    const QImage drawn = Drawn(box);
    const QRect inside = drawn.rect().adjusted(1, 1, -1, -1);
    EXPECT_EQ(PixelsOtherThan(drawn.copy(inside), Rgb(d.background)), 0) << "its fill";
    for (const QPoint corner : {drawn.rect().topLeft(), drawn.rect().bottomRight()})
        EXPECT_EQ(Name(drawn.pixel(corner)), Name(Rgb(d.frame))) << "its frame";
}

void ExpectKept(const Timer& t, const ControlDefinition& d) {
    EXPECT_EQ(t.interval(), d.value);
    EXPECT_EQ(t.active(), d.value > 0);
}

// The player, the connection and the record set keep nothing of their rows but the kind.
void ExpectKept(const Control&, const ControlDefinition&) {}

template <class T>
void ExpectAs(Control& c, const ControlDefinition& d) {
    auto* as = dynamic_cast<T*>(&c);
    ASSERT_NE(as, nullptr) << "another kind";
    ExpectKept(*as, d);
}

// The player, the connection and the record set: made by their row's maker.
void ExpectObject(Control& c, const ControlDefinition& d) {
    if (d.make == &MakeObjectControl<MediaPlayerControl>) {
        ExpectAs<MediaPlayerControl>(c, d);
    } else if (d.make == &MakeObjectControl<DatabaseControl>) {
        ExpectAs<DatabaseControl>(c, d);
    } else if (d.make == &MakeObjectControl<RecordSetControl>) {
        ExpectAs<RecordSetControl>(c, d);
    } else {
        ADD_FAILURE() << "an object of no known kind";
    }
}

// For each kind: the control is of that kind and keeps what its row gives.
const std::map<Kind, void (*)(Control&, const ControlDefinition&)> kExpectKind = {
    {Kind::TransparentLabel, ExpectAs<TransparentLabel>},
    {Kind::Label, ExpectAs<Label>},
    {Kind::ShapeBox, ExpectAs<ShapeBox>},
    {Kind::PictureButton, ExpectAs<PictureButton>},
    {Kind::VolumeBar, ExpectAs<VolumeBar>},
    {Kind::ListView, ExpectAs<ListView>},
    {Kind::Timer, ExpectAs<Timer>},
    {Kind::Object, ExpectObject},
};

bool Shows(Kind k) {
    return k != Kind::Timer && k != Kind::Object;
}

int g_created = 0;
void CountCreated() {
    ++g_created;
}

// Every row of the definition as the builder applied it. The window is built again here from
// the whole definition, the created event's routine standing in (the created sequence rewrites
// captions, the volume and the list).
TEST_F(MainWindow, TheBuiltWindowHoldsEveryRowOfTheDefinition) {
    const WindowDefinition& main = MainWindowDefinition();
    std::vector<EventBinding> bindings(main.bindings.begin(), main.bindings.end());
    for (EventBinding& b : bindings) {
        if (!b.control && b.event == Event::Created)
            b.routine = CountCreated;
    }
    WindowDefinition def = main;
    def.bindings = bindings;
    DestroyStartWindow();
    g_created = 0;
    Window* built = CreateStartWindow(def);
    ASSERT_NE(built, nullptr);
    TakePlayerObjects();
    EXPECT_EQ(g_created, 1);
    Window& w = *built;

    EXPECT_EQ(w.title(), Gbk(def.title));
    EXPECT_EQ(w.left(), def.left);
    EXPECT_EQ(w.top(), def.top);
    EXPECT_EQ(w.width(), def.width);
    EXPECT_EQ(w.height(), def.height);
    EXPECT_TRUE(w.visible());

    QRegion covered;  // by the controls that show
    for (const ControlDefinition& d : def.controls) {
        SCOPED_TRACE(d.name);
        Control* c = w.find(d.name);
        ASSERT_NE(c, nullptr);
        ASSERT_EQ(kExpectKind.count(d.kind), 1u);
        kExpectKind.at(d.kind)(*c, d);
        QWidget* v = WidgetOf(*c);
        ASSERT_EQ(v != nullptr, Shows(d.kind));
        if (!v)
            continue;
        EXPECT_EQ(v->parentWidget(), d.parent ? WidgetOf(*w.find(d.parent)) : WidgetOf(w));
        EXPECT_EQ(c->left(), d.left);
        EXPECT_EQ(c->top(), d.top);
        EXPECT_EQ(c->width(), d.width);
        EXPECT_EQ(c->height(), d.height);
        EXPECT_EQ(c->visible(), d.visible);
        EXPECT_EQ(v->cursor().shape() == Qt::PointingHandCursor, d.cursor == Cursor::Hand);
        if (d.visible)
            covered += QRect(v->mapTo(WidgetOf(w), QPoint(0, 0)), v->size());
    }

    // The face shows wherever no control lies.
    const QImage face = Decoded(def.face());
    const QImage drawn = Drawn(w);
    ASSERT_FALSE(face.isNull());
    int bare = 0, wrong = 0;
    for (int y = 0; y < face.height(); y += 2) {
        for (int x = 0; x < face.width(); x += 2) {
            if (covered.contains(QPoint(x, y)))
                continue;
            ++bare;
            wrong += drawn.pixel(x, y) != face.pixel(x, y);
        }
    }
    EXPECT_GT(bare, 1000);
    EXPECT_EQ(wrong, 0) << "of " << bare << " bare pixels";

    // Each binding on its control, with its routine, and no other.
    size_t bound = w.bindings().size();
    for (const ControlDefinition& d : def.controls) bound += w.find(d.name)->bindings().size();
    EXPECT_EQ(bound, def.bindings.size());
    for (const EventBinding& b : def.bindings) {
        SCOPED_TRACE(testing::Message() << (b.control ? b.control : "the window") << ", event "
                                        << static_cast<int>(b.event));
        const Control& c = b.control ? *w.find(b.control) : w;
        const auto routine = c.bindings().find(b.event);
        ASSERT_TRUE(routine != c.bindings().end()) << "not bound";
        EXPECT_TRUE(routine->second == b.routine) << "another routine";
    }
}

// Independent of the rows: no system frame, and the template label inside the province frame.
TEST_F(MainWindow, TheWindowHasNoFrameAndTheTemplateLiesInTheProvinceFrame) {
    Window& w = *f().窗口;
    EXPECT_TRUE(WidgetOf(w)->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(WidgetOf(*f().透明标签1)->parentWidget(), WidgetOf(*f().外形框1));
    EXPECT_EQ(WidgetOf(*f().透明标签1)->mapTo(WidgetOf(w), QPoint(0, 0)), QPoint(13, 30));
    EXPECT_EQ(f().超级列表框_名称->rowCount(), 0);
    EXPECT_EQ(f().超级列表框_名称->columnCount(), 0);
    EXPECT_EQ(f().超级列表框_名称->selectedRow(), -1);
}

// Each caption is drawn inside its own label, in the label's colour; a label without a caption
// leaves the face as it is.
TEST_F(MainWindow, CaptionsShowInsideTheirLabels) {
    QWidget* v = WidgetOf(*f().窗口);
    const QImage drawn = Drawn(*f().窗口);
    const QImage face = Decoded(art::Face());
    for (TransparentLabel* l : {f().透明标签2, f().透明标签_名称, f().透明标签_时间,
                                f().透明标签_状态, f().透明标签_建议, f().透明标签_官网}) {
        SCOPED_TRACE(l->name());
        const QRect box(WidgetOf(*l)->mapTo(v, QPoint(0, 0)), WidgetOf(*l)->size());
        const QColor colour(Rgb(l->textColour()));
        int changed = 0, inColour = 0;
        for (int y = box.top(); y <= box.bottom(); ++y) {
            for (int x = box.left(); x <= box.right(); ++x) {
                const QColor c(drawn.pixel(x, y));
                changed += c.rgb() != face.pixel(x, y);
                inColour += std::abs(c.red() - colour.red()) +
                                std::abs(c.green() - colour.green()) +
                                std::abs(c.blue() - colour.blue()) <
                            24;
            }
        }
        if (l->caption().empty()) {
            EXPECT_EQ(changed, 0);
        } else {
            EXPECT_GT(inColour, 10) << changed << " pixels differ from the face";
        }
    }
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

// The whole definition, created event too.
class CreatedWindow : public MainWindowTest {
  protected:
    CreatedWindow() { runCreated = true; }
};

// The created sequence cut the window's outline from its mask and filled the list.
TEST_F(CreatedWindow, TheWindowIsShapedAndListsTheStations) {
    const QRegion outline = WidgetOf(*f().窗口)->mask();
    ASSERT_FALSE(outline.isEmpty());
    for (int x = 0; x < 3; ++x) EXPECT_FALSE(outline.contains(QPoint(x, 0))) << x;
    EXPECT_TRUE(outline.contains(QPoint(3, 0)));
    EXPECT_TRUE(outline.contains(QPoint(172, 250)));
    EXPECT_EQ(f().超级列表框_名称->rowCount(), 3);
}

}  // namespace
}  // namespace qv::test
