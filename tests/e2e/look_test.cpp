// The window as it comes up: its shaped outline, the bare face, and every control in its place
// with its picture or its text.
#include <gtest/gtest.h>

#include "art/artwork.h"
#include "tests/e2e/harness.h"
#include "tests/e2e/pixels.h"
#include "texts/text.h"

namespace qv::e2e {
namespace {

using LookTest = E2eTest;

// A grab of the window, checked part by part; the first part that is wrong is reported.
std::string CheckLook(const QImage& shot) {
    const QImage face = Picture(art::Face());
    // Of the top row, the three leftmost pixels lie outside, the fourth inside.
    for (int x = 0; x < 3; ++x) {
        if ((shot.pixel(x, 0) & 0xFFFFFF) != 0)
            return "pixel (" + std::to_string(x) + ", 0) is not the root's";
    }
    if (shot.pixel(3, 0) != face.pixel(3, 0) || (shot.pixel(3, 0) & 0xFFFFFF) == 0)
        return "pixel (3, 0) does not show the face";
    // Both dividers show whole, the vertical one over the province frame.
    for (const std::string& c :
         {CheckOutline(shot), CheckBareFace(shot),
          CheckFilled(shot, "the vertical divider", kVerticalDivider, kDividerColour),
          CheckFilled(shot, "the horizontal divider", kHorizontalDivider, kDividerColour)}) {
        if (!c.empty())
            return c;
    }

    struct Button {
        const char* what;
        QPoint at;
        QImage picture;
        std::optional<QRgb> key;
    };
    // The minimise button covers the close button's leftmost four columns: each is checked
    // where only it lies.
    const QImage close = Picture(art::CloseNormal());
    const QImage minimise = Picture(art::MinimiseNormal());
    const Button buttons[] = {
        {"previous", kPrevious.topLeft(), Picture(art::PreviousNormal()), std::nullopt},
        {"next", kNext.topLeft(), Picture(art::NextNormal()), std::nullopt},
        {"play (playing look)", kPlay.topLeft(), GroupPicture(art::PlayingLook(), 0), 0xFFFFFFFF},
        {"contact", kContact.topLeft(), Picture(art::ContactNormal()), 0xFFFFFF00},
        {"close",
         {kClose.x() + 4, kClose.y()},
         close.copy(4, 0, close.width() - 4, 24),
         0xFFFF00FF},
        {"minimise", kMinimise.topLeft(), minimise.copy(0, 0, kClose.x() - kMinimise.x(), 24),
         0xFFFF00FF},
    };
    for (const Button& b : buttons) {
        if (auto c = CheckButton(shot, b.what, b.at, b.picture, b.key); !c.empty())
            return c;
    }
    // Volume 60: the speaker with two waves, the knob at 60 % of the bar's travel.
    if (const int s = SpeakerShown(shot); s != 1)
        return "the mute button shows speaker " + std::to_string(s) + ", not 1";
    if (const auto k = KnobPosition(shot); !k || std::abs(*k - 60) > 1)
        return "the volume knob is at " + (k ? std::to_string(*k) : std::string("no place"));

    // Four provinces fill the grid's first four places; the fifth and sixth stay empty.
    for (int n = 1; n <= 6; ++n) {
        const int pixels = TextPixels(shot, ProvinceLabel(n), kProvinceColour);
        if ((n <= 4) != (pixels > 10)) {
            return "province label " + std::to_string(n) + " has " + std::to_string(pixels) +
                   " text pixels";
        }
    }
    struct Label {
        const char* what;
        QRect box;
        QRgb colour;
    };
    const Label labels[] = {
        {"count", kCountLabel, kOrange},
        {"station name", kNameLabel, kOrange},
        {"status", kStatusLabel, kOrange},
        {"elapsed time", kTimeLabel, 0xFFFFFF00},
    };
    for (const Label& l : labels) {
        if (TextPixels(shot, l.box, l.colour) < 10)
            return std::string("the ") + l.what + " label shows no text";
    }
    if (const auto rows = ListRows(shot); rows.size() != kStations.size())
        return "the list shows " + std::to_string(rows.size()) + " rows";
    return {};
}

TEST_F(LookTest, ShapedWindowWithEveryControlInPlace) {
    Program p(display(), server);
    ASSERT_TRUE(
        p.launch({.settings = Gbk("[音量]\n音量值=60\n[电台]\n名称=>>> 羊城交通广播\n链接=" +
                                  server.url("/radio/3") + "\n")}));
    display().parkPointer();
    const auto g = p.geometry();
    ASSERT_TRUE(g);
    EXPECT_EQ(g->x, 50);
    EXPECT_EQ(g->y, 50);
    // Playing: the play button has taken its playing look.
    ASSERT_TRUE(p.waitForTitle("正在播放", 20000)) << p.titlesSeen();
    EXPECT_EQ(p.waitForLook(CheckLook), "");
}

}  // namespace
}  // namespace qv::e2e
