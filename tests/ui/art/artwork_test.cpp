// The embedded skin pictures: the face and its mask, the button pictures, the tray icon and the
// list background, in the exact stored forms the window relies on.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QRegion>
#include <algorithm>
#include <iterator>

#include "art/artwork.h"
#include "qt_pictures.h"
#include "tests/platform/widgets/bytes.h"
#include "tests/support/support.h"
#include "widgets/pictures.h"

namespace qv {
namespace {

using test::U16;
using test::U32;

constexpr QRgb kCyan = 0x00FFFF;     // as QRgb without alpha: R0 G255 B255
constexpr QRgb kMagenta = 0xFF00FF;  // R255 G0 B255

QRgb Rgb(const QImage& img, int x, int y) {
    return img.pixel(x, y) & 0xFFFFFF;
}

const QImage& MaskImage() {
    static const QImage img = DecodePicture(art::Mask());
    return img;
}

// First and last kept column of a mask row, -1 when the row keeps nothing.
std::pair<int, int> KeptSpan(int y) {
    int first = -1;
    int last = -1;
    for (int x = 0; x < MaskImage().width(); ++x) {
        if (Rgb(MaskImage(), x, y) == kCyan) {
            first = first < 0 ? x : first;
            last = x;
        }
    }
    return {first, last};
}

TEST(Mask, StoredFormAndColours) {
    const Bytes& m = art::Mask();
    ASSERT_EQ(m.size(), 523236u);
    EXPECT_EQ(m.substr(0, 2), "BM");
    EXPECT_EQ(U16(m, 28), 24u);
    EXPECT_EQ(static_cast<std::int32_t>(U32(m, 22)), 505);  // positive: bottom-up
    ASSERT_EQ(MaskImage().size(), QSize(345, 505));
    long kept = 0;
    long cut = 0;
    for (int y = 0; y < 505; ++y) {
        for (int x = 0; x < 345; ++x) {
            const QRgb c = Rgb(MaskImage(), x, y);
            kept += c == kCyan ? 1 : 0;
            cut += c == kMagenta ? 1 : 0;
        }
    }
    EXPECT_EQ(kept, 159159);
    EXPECT_EQ(cut, 15066);
}

TEST(Mask, SilhouetteFigures) {
    struct Row {
        int y;
        int first;
        int last;
    };
    const Row rows[] = {
        {0, 3, 318},   {1, 2, 319},     {2, 1, 320},   {3, 0, 321},  {447, 0, 321},
        {463, 0, 343}, {466, 0, 343},   {468, 0, 343}, {487, 1, -1}, {488, 2, -1},
        {489, 3, 318}, {503, 267, 271}, {504, -1, -1},
    };
    for (const Row& r : rows) {
        const auto [first, last] = KeptSpan(r.y);
        EXPECT_EQ(first, r.first) << "row " << r.y;
        if (r.last != -1 || r.first == -1) {
            EXPECT_EQ(last, r.last) << "row " << r.y;
        }
    }
    // The tail reaches column 343 in rows 463 to 468 only and leaves column 321 from row 448.
    for (int y = 0; y < 505; ++y) {
        const int last = KeptSpan(y).second;
        EXPECT_EQ(last == 343, y >= 463 && y <= 468) << "row " << y;
        if (y < 448) {
            EXPECT_LE(last, 321) << "row " << y;
        }
    }
    EXPECT_GT(KeptSpan(448).second, 321);
    // The feet: rows 490 to 503 within columns 215 to 315, touching both.
    int left = 345;
    int right = -1;
    for (int y = 490; y <= 503; ++y) {
        const auto [first, last] = KeptSpan(y);
        ASSERT_GE(first, 0) << "row " << y;
        left = std::min(left, first);
        right = std::max(right, last);
    }
    EXPECT_EQ(left, 215);
    EXPECT_EQ(right, 315);
    for (int y = 0; y < 505; ++y) {
        EXPECT_EQ(Rgb(MaskImage(), 344, y), kMagenta) << "column 344, row " << y;
    }
    for (int x = 0; x < 345; ++x) {
        EXPECT_EQ(Rgb(MaskImage(), x, 504), kMagenta) << "row 504, column " << x;
    }
}

TEST(Mask, OutlineIsTheKeptShape) {
    const std::vector<QRect> runs = OutlineRuns(art::Mask(), 0x00FF00FF);
    QRegion outline;
    long area = 0;
    for (const QRect& r : runs) {
        EXPECT_LE(r.right(), 343);
        EXPECT_LE(r.bottom(), 503);
        EXPECT_EQ(r.height(), 1);
        area += r.width();
        outline += r;
    }
    long unionArea = 0;
    for (const QRect& r : outline) {
        unionArea += static_cast<long>(r.width()) * r.height();
    }
    EXPECT_EQ(area, 159159);
    EXPECT_EQ(unionArea, 159159);
    EXPECT_FALSE(outline.contains(QPoint(0, 0)));
    EXPECT_FALSE(outline.contains(QPoint(1, 0)));
    EXPECT_FALSE(outline.contains(QPoint(2, 0)));
    EXPECT_TRUE(outline.contains(QPoint(3, 0)));
    EXPECT_FALSE(outline.contains(QPoint(345, 10)));
    EXPECT_FALSE(outline.contains(QPoint(100, 505)));
}

TEST(Face, StoredFormAndSilhouette) {
    const Bytes& f = art::Face();
    ASSERT_EQ(f.size(), 523236u);
    EXPECT_EQ(f.substr(0, 2), "BM");
    EXPECT_EQ(U16(f, 28), 24u);
    EXPECT_EQ(static_cast<std::int32_t>(U32(f, 22)), 505);
    const QImage face = DecodePicture(f);
    ASSERT_EQ(face.size(), QSize(345, 505));
    long whiteOutside = 0;
    long outside = 0;
    long whiteInLobes = 0;
    for (int y = 0; y < 505; ++y) {
        for (int x = 0; x < 345; ++x) {
            const bool kept = Rgb(MaskImage(), x, y) == kCyan;
            const bool white = Rgb(face, x, y) == 0xFFFFFF;
            if (!kept) {
                ++outside;
                whiteOutside += white ? 1 : 0;
            } else if ((x > 321 || y > 489) && white) {
                ++whiteInLobes;
            }
        }
    }
    EXPECT_EQ(whiteOutside, outside);
    EXPECT_EQ(whiteInLobes, 0) << "the tail and feet are painted whole";
    // Painted grounds where the window shows them: the title strip and control panel are not
    // white, the panel between them is.
    EXPECT_NE(Rgb(face, 130, 12), 0xFFFFFFu);
    EXPECT_NE(Rgb(face, 130, 420), 0xFFFFFFu);
    EXPECT_EQ(Rgb(face, 200, 200), 0xFFFFFFu);
    EXPECT_NE(Rgb(face, 0, 200), 0xFFFFFFu);
    EXPECT_NE(Rgb(face, 321, 200), 0xFFFFFFu);
}

// Each listed picture is embedded whole: its function returns the very file the list names, as
// the generator wrote it, and the file is of the kind its name says.
TEST(Artwork, EveryListedPictureIsEmbeddedWhole) {
    struct Listed {
        const char* function;
        std::string file;
        const Bytes& (*bytes)();
    };
    const Listed listed[] = {
#define QV_ART(function, file) {#function, file, art::function},
#include "art/artwork_list.h"
#undef QV_ART
    };
    const std::pair<std::string, std::string> signatures[] = {
        {".bmp", "BM"},
        {".jpg", "\xFF\xD8\xFF"},
        {".mitl", "MITL"},
        {".ico", std::string("\0\0\1\0", 4)},
    };
    EXPECT_EQ(std::size(listed), 25u);
    for (const Listed& l : listed) {
        SCOPED_TRACE(l.function);
        const Bytes& bytes = l.bytes();
        EXPECT_GT(bytes.size(), 64u);
        EXPECT_EQ(bytes, test::ReadFile(test::BuildFolder() + "/art/" + l.file));
        const auto kind = std::find_if(std::begin(signatures), std::end(signatures),
                                       [&](const auto& s) { return l.file.ends_with(s.first); });
        ASSERT_NE(kind, std::end(signatures)) << l.file;
        EXPECT_EQ(bytes.substr(0, kind->second.size()), kind->second) << l.file;
    }
}

enum class Kind { Bmp, Jpeg };

struct ButtonCase {
    const char* name;
    const Bytes& (*bytes)();
    Kind kind;
    int w;
    int h;
    std::uint32_t key;  // 0x00BBGGRR, or 0xFF000000 for none
};

const ButtonCase kButtons[] = {
    {"close normal", art::CloseNormal, Kind::Bmp, 35, 24, 0x00FF00FF},
    {"close hover", art::CloseHover, Kind::Bmp, 35, 24, 0x00FF00FF},
    {"close pressed", art::ClosePressed, Kind::Bmp, 35, 24, 0x00FF00FF},
    {"minimise normal", art::MinimiseNormal, Kind::Jpeg, 35, 24, 0x00FF00FF},
    {"minimise hover", art::MinimiseHover, Kind::Jpeg, 35, 24, 0x00FF00FF},
    {"minimise pressed", art::MinimisePressed, Kind::Jpeg, 35, 24, 0x00FF00FF},
    {"previous normal", art::PreviousNormal, Kind::Jpeg, 33, 33, 0xFF000000},
    {"previous hover", art::PreviousHover, Kind::Jpeg, 33, 33, 0xFF000000},
    {"play normal", art::PlayNormal, Kind::Jpeg, 37, 37, 0x00FFFFFF},
    {"play hover", art::PlayHover, Kind::Jpeg, 37, 37, 0x00FFFFFF},
    {"next normal", art::NextNormal, Kind::Jpeg, 33, 33, 0xFF000000},
    {"next hover", art::NextHover, Kind::Jpeg, 33, 33, 0xFF000000},
    {"contact normal", art::ContactNormal, Kind::Jpeg, 29, 22, 0x0000FFFF},
    {"contact hover", art::ContactHover, Kind::Jpeg, 29, 22, 0x0000FFFF},
};

QRgb KeyRgb(std::uint32_t key) {
    return qRgb(static_cast<int>(key & 0xFF), static_cast<int>((key >> 8) & 0xFF),
                static_cast<int>((key >> 16) & 0xFF)) &
           0xFFFFFF;
}

TEST(ButtonPictures, KindSizeAndTransparentColour) {
    for (const ButtonCase& c : kButtons) {
        SCOPED_TRACE(c.name);
        const Bytes& b = c.bytes();
        if (c.kind == Kind::Bmp) {
            ASSERT_EQ(b.substr(0, 2), "BM");
            EXPECT_EQ(U16(b, 28), 24u);
        } else {
            ASSERT_GE(b.size(), 11u);
            EXPECT_EQ(b.substr(0, 4), "\xFF\xD8\xFF\xE0");
            EXPECT_EQ(b.substr(6, 5), std::string("JFIF\0", 5));
        }
        const QImage img = DecodePicture(b);
        ASSERT_EQ(img.size(), QSize(c.w, c.h));
        int keyed = 0;
        for (int y = 0; y < c.h; ++y) {
            for (int x = 0; x < c.w; ++x) {
                keyed += (c.key != 0xFF000000 && Rgb(img, x, y) == KeyRgb(c.key)) ? 1 : 0;
            }
        }
        EXPECT_EQ(keyed, c.kind == Kind::Bmp ? 6 : 0);
    }
}

TEST(ButtonPictures, CloseCornerIsThreeTwoOne) {
    for (const Bytes* b : {&art::CloseNormal(), &art::CloseHover(), &art::ClosePressed()}) {
        const QImage img = DecodePicture(*b);
        for (int y = 0; y < 3; ++y) {
            for (int x = 29; x < 35; ++x) {
                EXPECT_EQ(Rgb(img, x, y) == kMagenta, x >= 32 + y) << x << "," << y;
            }
        }
    }
}

TEST(ButtonPictures, HoverAndPressedLooks) {
    auto light = [](const Bytes& b) {
        const QImage img = DecodePicture(b);
        long sum = 0;
        for (int y = 0; y < img.height(); ++y) {
            for (int x = 0; x < img.width(); ++x) {
                sum += qGray(img.pixel(x, y));
            }
        }
        return sum;
    };
    EXPECT_GT(light(art::PreviousHover()), light(art::PreviousNormal()));
    EXPECT_GT(light(art::PlayHover()), light(art::PlayNormal()));
    EXPECT_GT(light(art::NextHover()), light(art::NextNormal()));
    EXPECT_GT(light(art::ContactHover()), light(art::ContactNormal()));
    EXPECT_NE(art::MinimiseHover(), art::MinimiseNormal());
    EXPECT_EQ(art::MinimisePressed(), art::MinimiseHover());
    // The pressed close cross is the hover cross one pixel right and down: the white of the
    // cross lines up after the shift.
    const QImage hover = DecodePicture(art::CloseHover());
    const QImage pressed = DecodePicture(art::ClosePressed());
    int whiteHover = 0;
    int matched = 0;
    for (int y = 0; y + 1 < 24; ++y) {
        for (int x = 0; x + 1 < 35; ++x) {
            if (Rgb(hover, x, y) == 0xFFFFFF) {
                ++whiteHover;
                matched += Rgb(pressed, x + 1, y + 1) == 0xFFFFFF ? 1 : 0;
            }
        }
    }
    EXPECT_GT(whiteHover, 10);
    EXPECT_EQ(matched, whiteHover);
}

TEST(TrayIcon, TwelveImagesInTheStoredOrder) {
    const Bytes& ico = art::TrayIcon();
    ASSERT_EQ(ico.size(), 29926u);
    EXPECT_EQ(U16(ico, 0), 0u);
    EXPECT_EQ(U16(ico, 2), 1u);
    ASSERT_EQ(U16(ico, 4), 12u);
    size_t next = 6 + 12 * 16;
    for (int i = 0; i < 12; ++i) {
        SCOPED_TRACE(i);
        const size_t e = 6 + 16 * static_cast<size_t>(i);
        constexpr int kSizes[] = {16, 24, 32, 48};
        constexpr std::uint32_t kBits[] = {4, 8, 32};
        const int size = kSizes[i % 4];
        const std::uint32_t bits = kBits[i / 4];
        EXPECT_EQ(static_cast<unsigned char>(ico[e]), size);
        EXPECT_EQ(static_cast<unsigned char>(ico[e + 1]), size);
        EXPECT_EQ(U16(ico, e + 6), bits);
        const std::uint32_t length = U32(ico, e + 8);
        ASSERT_EQ(U32(ico, e + 12), next);
        // BMP-style image: info header with doubled height, palette, colour rows, AND mask.
        EXPECT_EQ(U32(ico, next), 40u);
        EXPECT_EQ(U32(ico, next + 4), static_cast<std::uint32_t>(size));
        EXPECT_EQ(U32(ico, next + 8), static_cast<std::uint32_t>(2 * size));
        EXPECT_EQ(U16(ico, next + 14), bits);
        const size_t palette = bits <= 8 ? (1u << bits) * 4 : 0;
        const size_t rows = (size * bits + 31) / 32 * 4 * size + (size + 31) / 32 * 4 * size;
        EXPECT_EQ(length, 40 + palette + rows);
        next += length;
    }
    EXPECT_EQ(next, ico.size());
}

TEST(TrayIcon, ProgramIconIsItsLargeLook) {
    const QImage png(QString::fromStdString(test::BuildFolder()) +
                     QStringLiteral("/art/org.quorvin.Quorvin.png"));
    ASSERT_EQ(png.size(), QSize(48, 48));
    EXPECT_EQ(qAlpha(png.pixel(0, 0)), 0);  // rounded corner
    EXPECT_EQ(qAlpha(png.pixel(24, 24)), 255);
    const QColor middle = png.pixelColor(6, 24);  // orange ground
    EXPECT_GT(middle.red(), middle.blue() + 80);
}

TEST(ListBackground, TinyJpegWithOneGreyDot) {
    const Bytes& b = art::ListBackground();
    ASSERT_EQ(b.size(), 10714u);
    EXPECT_EQ(b.substr(0, 4), "\xFF\xD8\xFF\xE0");
    EXPECT_EQ(b.substr(6, 5), std::string("JFIF\0", 5));
    const QImage img = DecodePicture(b);
    ASSERT_EQ(img.size(), QSize(3, 21));
    EXPECT_LT(qGray(img.pixel(1, 20)), 225);
    EXPECT_GT(qGray(img.pixel(1, 20)), 150);
    for (int y = 0; y < 18; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_GE(qGray(img.pixel(x, y)), 250) << x << "," << y;
        }
    }
}

}  // namespace
}  // namespace qv
