// GBK texts and numbers: conversions at the edges, byte counts, the number forms.
#include <gtest/gtest.h>

#include <climits>

#include "qt_text.h"
#include "texts/text.h"

namespace qv {
namespace {

TEST(Text, ConversionsKeepEveryGoodByteAndDropOnlyBadOnes) {
    const Text playing = Gbk("正在播放");
    EXPECT_EQ(playing, "\xD5\xFD\xD4\xDA\xB2\xA5\xB7\xC5");
    EXPECT_EQ(playing.size(), 8u);
    EXPECT_EQ(Gbk("已停止").size(), 6u);
    EXPECT_EQ(Utf8(playing), "正在播放");
    EXPECT_EQ(Gbk("abc 1"), "abc 1");
    // Characters outside GBK survive the trip through GB18030.
    EXPECT_EQ(Utf8(Gbk("🎵音乐")), "🎵音乐");
    // A stray lead byte, a truncated tail, invalid UTF-8: only those bytes go.
    EXPECT_EQ(Utf8("\xD5\xFD"
                   "\xFF"
                   "ab"),
              "正ab");
    EXPECT_EQ(Utf8("ab\xD5"), "ab");
    EXPECT_EQ(Gbk("a\xC3\x28z"), "a(z");
    EXPECT_EQ(ToQString(Gbk("北京")), QString::fromUtf8("北京"));
    EXPECT_EQ(FromQString(QString::fromUtf8("北京")), Gbk("北京"));
}

TEST(Text, NumbersAndBytePieces) {
    struct ToInt {
        const char* text;
        int value;
    };
    const ToInt cases[] = {{"0", 0},
                           {"100", 100},
                           {"-245", -245},
                           {"  42", 42},
                           {"+7", 7},
                           {"12abc", 12},
                           {"abc", 0},
                           {"", 0},
                           {"-", 0},
                           {"99999999999", INT_MAX},
                           {"-99999999999", INT_MIN},
                           {"2147483647", INT_MAX},
                           {"-2147483648", INT_MIN},
                           {"\t-3", -3},
                           {"1 2", 1},
                           {"\xD5\xFD", 0}};
    for (const ToInt& c : cases) EXPECT_EQ(TextToInt(c.text), c.value) << c.text;
    EXPECT_EQ(IntToText(-406), "-406");
    EXPECT_EQ(IntToText(0), "0");
    EXPECT_EQ(TextToInt(IntToText(INT_MIN)), INT_MIN);

    EXPECT_EQ(LeftBytes(Gbk("正在播放：台"), 8), Gbk("正在播放"));
    EXPECT_EQ(LeftBytes("ab", 8), "ab");
    EXPECT_EQ(LeftBytes("ab", 0), "");
    EXPECT_EQ(LeftBytes("ab", -1), "");
    EXPECT_EQ(RightBytes("0123", 2), "23");
    EXPECT_EQ(RightBytes("05", 2), "05");
    EXPECT_EQ(RightBytes("5", 2), "5");
    EXPECT_EQ(RightBytes("ab", -2), "");
}

}  // namespace
}  // namespace qv
