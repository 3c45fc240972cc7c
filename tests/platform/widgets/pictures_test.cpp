// The picture-reading layer on small hand-made pictures.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QRegion>
#include <string_view>

#include "qt_pictures.h"
#include "tests/platform/widgets/bytes.h"
#include "widgets/pictures.h"

namespace qv {
namespace {

using namespace std::string_literals;

Bytes Bmp(const QImage& img) {
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    img.convertToFormat(QImage::Format_RGB888).save(&buffer, "BMP");
    return out.toStdString();
}

TEST(OutlineRuns, KeepsEveryPixelNotExactlyTheKeyAsRowRuns) {
    QImage mask(6, 3, QImage::Format_RGB32);
    mask.fill(qRgb(255, 0, 255));
    // Row 0: a run of two, then a near-magenta pixel that must stay in.
    mask.setPixel(1, 0, qRgb(0, 255, 255));
    mask.setPixel(2, 0, qRgb(0, 255, 255));
    mask.setPixel(5, 0, qRgb(254, 0, 255));
    // Row 2: the whole row.
    for (int x = 0; x < 6; ++x) {
        mask.setPixel(x, 2, qRgb(x * 10, 0, 0));
    }
    const std::vector<QRect> runs = OutlineRuns(Bmp(mask), 0x00FF00FF);
    const std::vector<QRect> expected = {QRect(1, 0, 2, 1), QRect(5, 0, 1, 1), QRect(0, 2, 6, 1)};
    EXPECT_EQ(runs, expected);
}

TEST(OutlineRuns, KeyIsBlueGreenRed) {
    QImage mask(2, 1, QImage::Format_RGB32);
    mask.setPixel(0, 0, qRgb(0x11, 0x22, 0x33));
    mask.setPixel(1, 0, qRgb(0x33, 0x22, 0x11));
    const std::vector<QRect> expected = {QRect(1, 0, 1, 1)};
    EXPECT_EQ(OutlineRuns(Bmp(mask), 0x00332211), expected);
}

TEST(OutlineRuns, UnreadablePictureGivesNoOutline) {
    EXPECT_TRUE(OutlineRuns({}, 0x00FF00FF).empty());
    EXPECT_TRUE(OutlineRuns("BM\x10\x00garbage"s, 0x00FF00FF).empty());
}

TEST(DecodePicture, EmptyOrJunkGivesNullImage) {
    EXPECT_TRUE(DecodePicture({}).isNull());
    EXPECT_TRUE(DecodePicture(std::string(100, '\xFF')).isNull());
    QImage img(3, 2, QImage::Format_RGB32);
    img.fill(qRgb(1, 2, 3));
    const QImage back = DecodePicture(Bmp(img));
    ASSERT_EQ(back.size(), QSize(3, 2));
    EXPECT_EQ(back.pixel(2, 1) & 0xFFFFFF, qRgb(1, 2, 3) & 0xFFFFFF);
}

// A 40 x 30 BMP whose pixel rows end after the first stored one: the bottom row, or the top row
// of a top-down file.
Bytes ShortBmp(int bits, bool topDown) {
    QImage img(40, 30, bits == 1 ? QImage::Format_Mono : QImage::Format_RGB32);
    if (bits == 1) {
        img.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
        img.fill(1);
    } else {
        img.fill(qRgb(10, 20, 30));
    }
    QByteArray file;
    QBuffer buffer(&file);
    buffer.open(QIODevice::WriteOnly);
    (bits == 1 ? img : img.convertToFormat(QImage::Format_RGB888)).save(&buffer, "BMP");
    Bytes whole = file.toStdString();
    EXPECT_EQ(test::U16(whole, 28), static_cast<std::uint32_t>(bits));
    if (topDown) {
        const std::uint32_t height = static_cast<std::uint32_t>(-30);
        for (int i = 0; i < 4; ++i) whole[22 + i] = static_cast<char>((height >> (8 * i)) & 0xFF);
    }
    const size_t row = (40 * static_cast<size_t>(bits) + 31) / 32 * 4;
    return whole.substr(0, test::U32(whole, 10) + row);
}

TEST(DecodePicture, RowsMissingFromTheFileAreBlackNotWhateverWasInMemory) {
    for (int bits : {1, 24}) {
        for (bool topDown : {false, true}) {
            // Leave freed memory of the picture's size full of ones for the reader to find.
            for (int i = 0; i < 8; ++i) {
                std::vector<char> junk(40 * 30 * 4, '\xFF');
                (void)junk.data();
            }
            const QImage img =
                DecodePicture(ShortBmp(bits, topDown)).convertToFormat(QImage::Format_RGB32);
            ASSERT_EQ(img.size(), QSize(40, 30)) << bits << topDown;
            const int stored = topDown ? 0 : 29;
            int black = 0;
            for (int y = 0; y < 30; ++y) {
                for (int x = 0; x < 40; ++x) {
                    const QRgb p = img.pixel(x, y) & 0xFFFFFF;
                    if (y == stored)
                        EXPECT_EQ(p, bits == 1 ? 0xFFFFFFu : 0x0A141Eu) << bits << topDown;
                    else
                        black += p == 0;
                }
            }
            EXPECT_EQ(black, 40 * 29) << bits << " " << topDown;
        }
    }
}

TEST(DecodePicture, OnlyBmpAndJpegFilesArePictures) {
    QImage img(4, 3, QImage::Format_RGB32);
    img.fill(qRgb(1, 2, 3));
    for (const char* format : {"BMP", "JPEG", "PNG", "GIF", "ICO", "PPM", "XPM"}) {
        QByteArray file;
        QBuffer buffer(&file);
        buffer.open(QIODevice::WriteOnly);
        if (!img.save(&buffer, format))
            continue;  // no writer for it here
        const bool ours = std::string_view(format) == "BMP" || std::string_view(format) == "JPEG";
        const QImage back = DecodePicture(file.toStdString());
        EXPECT_EQ(back.isNull(), !ours) << format;
        EXPECT_EQ(back.size(), ours ? QSize(4, 3) : QSize(0, 0)) << format;
    }
}

// A group of `count` 2 x 2 pictures whose pixel (x, y) of picture i is (i, x, y) with 0x80 added,
// built field by field the way the stored groups are.
Bytes SmallGroup(int count, std::uint16_t flags) {
    const int w = 2;
    const int h = 2;
    const int sw = 4 * w;
    const int sh = 2 * h;
    Bytes g = "MITL";
    auto put = [&g](std::uint32_t v, int n) {  // little-endian, zero past the fourth byte
        for (int i = 0; i < n; ++i) {
            g.push_back(i < 4 ? static_cast<char>((v >> (8 * i)) & 0xFF) : '\0');
        }
    };
    put(0xFF000000u, 4);
    for (std::uint32_t v : {0x4C49u, 0x0101u, static_cast<std::uint32_t>(count), 6u, 4u, 2u, 2u}) {
        put(v, 2);
    }
    put(0x00FFFFFF, 4);
    put(flags, 2);
    put(0xFFFFFFFFu, 4);
    put(0xFFFFFFFFu, 4);
    auto headers = [&](std::uint32_t off, int bits, std::uint32_t image) {
        g += "BM";
        put(off, 4);  // the short size the stored groups carry
        put(0, 4);
        put(off, 4);
        put(40, 4);
        put(static_cast<std::uint32_t>(sw), 4);
        put(static_cast<std::uint32_t>(sh), 4);
        put(1, 2);
        put(static_cast<std::uint32_t>(bits), 2);
        put(0, 4);
        put(image, 4);
        g.append(16, '\0');
    };
    headers(54, 32, sw * sh * 4);
    for (int y = sh - 1; y >= 0; --y) {
        for (int x = 0; x < sw; ++x) {
            const int i = (y / h) * 4 + x / w;
            put(i < count ? qRgb(0x80 + i, 0x80 + x % w, 0x80 + y % h) & 0xFFFFFF : 0, 4);
        }
    }
    headers(62, 1, 4 * sh);
    put(0, 4);
    put(0x00FFFFFF, 4);
    g.append(4 * sh, '\0');  // mask rows: every pixel drawn
    if (flags == 0x1021) {
        g.append(22, '\0');
    }
    return g;
}

TEST(TakePicture, TakesCellByColumnAndRowFromTheTop) {
    const Bytes group = SmallGroup(6, 0x21);
    for (int n = 0; n < 6; ++n) {
        const QImage img = DecodePicture(TakePicture(group, n));
        ASSERT_EQ(img.size(), QSize(2, 2)) << n;
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 2; ++x) {
                EXPECT_EQ(img.pixel(x, y) & 0xFFFFFF, qRgb(0x80 + n, 0x80 + x, 0x80 + y) & 0xFFFFFF)
                    << n << " " << x << "," << y;
            }
        }
    }
}

TEST(TakePicture, GivesA24BitBmpFile) {
    const Bytes bmp = TakePicture(SmallGroup(1, 0x1021), 0);
    ASSERT_EQ(bmp.size(), 54u + 8u * 2u);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(test::U32(bmp, 2), bmp.size());
    EXPECT_EQ(test::U16(bmp, 28), 24u);
    EXPECT_EQ(test::U32(bmp, 22), 2u);  // positive height: bottom-up
}

TEST(TakePicture, NumbersOutsideTheCountGiveNothing) {
    const Bytes group = SmallGroup(2, 0x21);
    for (int n : {-1, 2, 5, 8, 1 << 30}) {
        EXPECT_TRUE(TakePicture(group, n).empty()) << n;
    }
}

TEST(TakePicture, MalformedOrShortGroupsGiveNothing) {
    const Bytes group = SmallGroup(6, 0x21);
    for (size_t len = 0; len < group.size(); ++len) {
        EXPECT_TRUE(TakePicture(group.substr(0, len), 5).empty()) << len;
    }
    Bytes badMagic = group;
    badMagic[0] = 'X';
    EXPECT_TRUE(TakePicture(badMagic, 0).empty());
    Bytes badStream = group;
    badStream[8] = 'X';
    EXPECT_TRUE(TakePicture(badStream, 0).empty());
    Bytes hugeBitmap = group;  // a colour bitmap claiming far more rows than the bytes hold
    hugeBitmap[36 + 22] = '\x7F';
    EXPECT_TRUE(TakePicture(hugeBitmap, 0).empty());
    Bytes tiny = group;  // a picture size larger than the strip
    tiny[18] = 9;
    EXPECT_TRUE(TakePicture(tiny, 0).empty());
}

TEST(TakePicture, ReadsPastAWrongBitmapSize) {
    Bytes group = SmallGroup(2, 0x21);
    group[36 + 2] = '\x99';  // bfSize of the colour bitmap
    group[36 + 3] = '\x77';
    EXPECT_EQ(TakePicture(group, 1), TakePicture(SmallGroup(2, 0x21), 1));
    EXPECT_FALSE(TakePicture(group, 1).empty());
}

}  // namespace
}  // namespace qv
