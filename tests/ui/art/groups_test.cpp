// The seven stored picture groups: their exact stored form and what TakePicture gets from them.
#include <gtest/gtest.h>

#include <QImage>

#include "art/artwork.h"
#include "qt_pictures.h"
#include "tests/platform/widgets/bytes.h"
#include "widgets/pictures.h"

namespace qv {
namespace {

using test::U16;
using test::U32;

enum class SeeThrough {
    TopLeft,
    None,
    RowIcons,
};

struct GroupCase {
    const char* name;
    const Bytes& (*bytes)();
    size_t length;
    int count;
    int w;
    int h;
    std::uint32_t flags;
    SeeThrough see;
    bool intoButtons;  // its pictures go into a white-keyed button: no kept pixel is white
};

const GroupCase kGroups[] = {
    {"playing look", art::PlayingLook, 45440, 2, 37, 37, 0x21, SeeThrough::TopLeft, true},
    {"stopped look", art::StoppedLook, 45440, 2, 37, 37, 0x21, SeeThrough::TopLeft, true},
    {"speakers", art::SpeakerGroup, 6648, 5, 14, 14, 0x21, SeeThrough::None, true},
    {"first track", art::TrackFirst, 30574, 1, 115, 8, 0x1021, SeeThrough::TopLeft, false},
    {"second track", art::TrackSecond, 30552, 1, 115, 8, 0x21, SeeThrough::TopLeft, false},
    {"knob", art::Knob, 1104, 2, 4, 7, 0x21, SeeThrough::TopLeft, false},
    {"row icons", art::RowIcons, 18734, 4, 28, 20, 0x1021, SeeThrough::RowIcons, false},
};

// The strip as stored, read independently of TakePicture.
struct Strip {
    const Bytes& g;
    int sw;
    int sh;
    size_t colour = 36 + 54;
    size_t maskRows() const { return colour + static_cast<size_t>(sw * sh * 4) + 62; }
    int rowBytes() const { return (sw + 31) / 32 * 4; }
    // (x, y) from the top of the strip.
    QRgb Pixel(int x, int y) const {
        return U32(g, colour + static_cast<size_t>(((sh - 1 - y) * sw + x) * 4));
    }
    bool See(int x, int y) const {
        const size_t at = maskRows() + static_cast<size_t>((sh - 1 - y) * rowBytes() + x / 8);
        return (static_cast<unsigned char>(g.at(at)) & (0x80 >> (x % 8))) != 0;
    }
};

TEST(PictureGroups, StoredForm) {
    for (const GroupCase& c : kGroups) {
        SCOPED_TRACE(c.name);
        const Bytes& g = c.bytes();
        ASSERT_EQ(g.size(), c.length);
        EXPECT_EQ(g.substr(0, 4), "MITL");
        EXPECT_EQ(U32(g, 4), 0xFF000000u);
        // Image-list header: magic, version, count, capacity, grow, cx, cy, background, flags.
        const std::uint32_t head[] = {0x4C49,
                                      0x0101,
                                      static_cast<std::uint32_t>(c.count),
                                      6,
                                      4,
                                      static_cast<std::uint32_t>(c.w),
                                      static_cast<std::uint32_t>(c.h)};
        for (size_t i = 0; i < std::size(head); ++i) {
            EXPECT_EQ(U16(g, 8 + 2 * i), head[i]) << "header word " << i;
        }
        EXPECT_EQ(U32(g, 22), 0x00FFFFFFu);
        EXPECT_EQ(U16(g, 26), c.flags);
        for (size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(U16(g, 28 + 2 * i), 0xFFFFu);
        }
        // Colour bitmap: a short bfSize, 32 bits, 4w x 2h, bottom-up.
        const Strip s{g, 4 * c.w, 2 * c.h};
        EXPECT_EQ(g.substr(36, 2), "BM");
        EXPECT_EQ(U32(g, 38), 54u);
        EXPECT_EQ(U32(g, 36 + 18), static_cast<std::uint32_t>(s.sw));
        EXPECT_EQ(U32(g, 36 + 22), static_cast<std::uint32_t>(s.sh));
        EXPECT_EQ(U16(g, 36 + 28), 32u);
        // Mask right after the colour pixels: bfSize 62, 1 bit, black then white.
        const size_t mask = s.maskRows() - 62;
        EXPECT_EQ(g.substr(mask, 2), "BM");
        EXPECT_EQ(U32(g, mask + 2), 62u);
        EXPECT_EQ(U16(g, mask + 28), 1u);
        EXPECT_EQ(U32(g, mask + 54), 0x00000000u);
        EXPECT_EQ(U32(g, mask + 58), 0x00FFFFFFu);
        const size_t end = s.maskRows() + static_cast<size_t>(s.rowBytes() * s.sh);
        if (c.flags == 0x1021) {
            ASSERT_EQ(end + 22, g.size());
            EXPECT_EQ(g.substr(end), std::string(22, '\0'));
        } else {
            EXPECT_EQ(end, g.size());
        }
    }
}

TEST(PictureGroups, MasksAndGrounds) {
    for (const GroupCase& c : kGroups) {
        SCOPED_TRACE(c.name);
        const Strip s{c.bytes(), 4 * c.w, 2 * c.h};
        for (int n = 0; n < 8; ++n) {
            const int ox = (n % 4) * c.w;
            const int oy = (n / 4) * c.h;
            int see = 0;
            int whiteKept = 0;
            int unclean = 0;  // cells past the count hold anything but zero
            for (int y = 0; y < c.h; ++y) {
                for (int x = 0; x < c.w; ++x) {
                    const QRgb p = s.Pixel(ox + x, oy + y);
                    const bool t = s.See(ox + x, oy + y);
                    if (n >= c.count) {
                        unclean += (p != 0 || t) ? 1 : 0;
                        continue;
                    }
                    see += t ? 1 : 0;
                    EXPECT_EQ(p >> 24, 0u);
                    if (t) {
                        EXPECT_EQ(p, 0x00FFFFFFu) << "masked-out pixels are stored white";
                    } else if (p == 0x00FFFFFFu) {
                        ++whiteKept;
                    }
                }
            }
            if (n >= c.count) {
                EXPECT_EQ(unclean, 0) << "cell " << n;
                continue;
            }
            if (c.intoButtons) {
                EXPECT_EQ(whiteKept, 0) << "cell " << n;
            }
            switch (c.see) {
                case SeeThrough::TopLeft:
                    EXPECT_EQ(see, 1) << "cell " << n;
                    EXPECT_TRUE(s.See(ox, oy)) << "cell " << n;
                    break;
                case SeeThrough::None:
                    EXPECT_EQ(see, 0) << "cell " << n;
                    break;
                case SeeThrough::RowIcons:
                    EXPECT_EQ(see, (n == 0 || n == 3) ? 451 : 0) << "cell " << n;
                    break;
            }
        }
    }
}

TEST(PictureGroups, TakePictureGivesEachStoredCell) {
    for (const GroupCase& c : kGroups) {
        SCOPED_TRACE(c.name);
        const Strip s{c.bytes(), 4 * c.w, 2 * c.h};
        for (int n = 0; n < c.count; ++n) {
            const QImage img = DecodePicture(TakePicture(c.bytes(), n));
            ASSERT_EQ(img.size(), QSize(c.w, c.h)) << n;
            int differ = 0;
            for (int y = 0; y < c.h; ++y) {
                for (int x = 0; x < c.w; ++x) {
                    const QRgb want = s.Pixel((n % 4) * c.w + x, (n / 4) * c.h + y);
                    differ += (img.pixel(x, y) & 0xFFFFFF) != want ? 1 : 0;
                }
            }
            EXPECT_EQ(differ, 0) << "picture " << n;
        }
        EXPECT_TRUE(TakePicture(c.bytes(), c.count).empty());
        EXPECT_TRUE(TakePicture(c.bytes(), -1).empty());
    }
}

TEST(PictureGroups, MutedSpeakerIsSecondRowFirstColumn) {
    // Picture 4 lies under the strip's first four: the muted icon shows red, the others none.
    auto reds = [](const QImage& img) {
        int n = 0;
        for (int y = 0; y < img.height(); ++y) {
            for (int x = 0; x < img.width(); ++x) {
                const QColor c = img.pixelColor(x, y);
                n += (c.red() > 180 && c.green() < 90 && c.blue() < 90) ? 1 : 0;
            }
        }
        return n;
    };
    const Strip s{art::SpeakerGroup(), 56, 28};
    const QImage muted = DecodePicture(TakePicture(art::SpeakerGroup(), 4));
    ASSERT_EQ(muted.size(), QSize(14, 14));
    EXPECT_EQ(muted.pixel(3, 9) & 0xFFFFFF, s.Pixel(3, 14 + 9));
    EXPECT_GT(reds(muted), 10);
    for (int n = 0; n < 4; ++n) {
        EXPECT_EQ(reds(DecodePicture(TakePicture(art::SpeakerGroup(), n))), 0) << n;
    }
}

TEST(PictureGroups, LooksDifferAndHoverIsBrighter) {
    auto light = [](const Bytes& g, int n) {
        const QImage img = DecodePicture(TakePicture(g, n));
        long sum = 0;
        for (int y = 0; y < img.height(); ++y) {
            for (int x = 0; x < img.width(); ++x) {
                sum += qGray(img.pixel(x, y));
            }
        }
        return sum;
    };
    for (const Bytes* g : {&art::PlayingLook(), &art::StoppedLook()}) {
        EXPECT_GT(light(*g, 1), light(*g, 0));
    }
    EXPECT_NE(TakePicture(art::PlayingLook(), 0), TakePicture(art::StoppedLook(), 0));
    EXPECT_GT(light(art::Knob(), 1), light(art::Knob(), 0));
}

}  // namespace
}  // namespace qv
