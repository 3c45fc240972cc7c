// GBK texts and numbers: conversions at the edges, byte counts, the number forms.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "qt_text.h"
#include "texts/ascii.h"
#include "texts/text.h"
#include "texts/utf8.h"

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

// Only A-Z fold; the bytes around them and bytes of 0x80 and above (parts of GBK characters,
// letters of Latin-1) stay as they are.
TEST(Ascii, FoldsAsciiLettersOnly) {
    const std::pair<char, char> bytes[] = {
        {'A', 'a'},       {'Z', 'z'},       {'I', 'i'},       {'a', 'a'},      {'@', '@'},
        {'[', '['},       {'`', '`'},       {'{', '{'},       {'\0', '\0'},    {'\x80', '\x80'},
        {'\xC0', '\xC0'}, {'\xC9', '\xC9'}, {'\xDD', '\xDD'}, {'\xFF', '\xFF'}};
    for (const auto& [byte, lower] : bytes) EXPECT_EQ(AsciiLower(byte), lower) << int(byte);
    EXPECT_EQ(AsciiLowered("FILE1=Ab\xC0Z" + Gbk("北京")), "file1=ab\xC0z" + Gbk("北京"));

    struct Case {
        std::string_view text;
        std::string_view other;
        bool equal;
        bool starts;
        bool ends;
    };
    const Case cases[] = {
        {"HTTP://h/", "http://h/", true, true, true},
        {"MMS://h/x", "mms://", false, true, false},
        {"LIST.M3U", ".m3u", false, false, true},
        {"[PlayList]", "[playlist]", true, true, true},
        {"mm", "mms://", false, false, false},
        {"", "", true, true, true},
        {"abc", "", false, true, true},
        {"\xC0x", "\xE0x", false, false, false},  // Latin-1 capital and small A with grave
        {"\xC9.m3u", "\xE9.M3U", false, false, false},
        {"a\xD5\xFD", "\xD5\xFD", false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text) + " / " + testing::PrintToString(c.other));
        EXPECT_EQ(EqualsNoCase(c.text, c.other), c.equal);
        EXPECT_EQ(EqualsNoCase(c.other, c.text), c.equal);
        EXPECT_EQ(StartsWithNoCase(c.text, c.other), c.starts);
        EXPECT_EQ(EndsWithNoCase(c.text, c.other), c.ends);
    }
}

TEST(Utf8, DecodesWellFormedSequencesOnly) {
    struct Case {
        const char* what;
        std::string_view bytes;
        size_t length;  // 0: no sequence starts there
        char32_t codePoint;
    };
    const Case cases[] = {
        {"ASCII", "a", 1, 'a'},
        {"NUL", std::string_view("\0", 1), 1, 0},
        {"2 bytes, lowest", "\xC2\x80", 2, 0x80},
        {"2 bytes, highest", "\xDF\xBF", 2, 0x7FF},
        {"3 bytes, lowest", "\xE0\xA0\x80", 3, 0x800},
        {"3 bytes, a hanzi", "\xE5\xAE\x89", 3, 0x5B89},
        {"3 bytes, below the surrogates", "\xED\x9F\xBF", 3, 0xD7FF},
        {"3 bytes, highest", "\xEF\xBF\xBF", 3, 0xFFFF},
        {"4 bytes, lowest", "\xF0\x90\x80\x80", 4, 0x10000},
        {"4 bytes, highest", "\xF4\x8F\xBF\xBF", 4, 0x10FFFF},
        {"followed by more", "\xE5\xAE\x89\x80", 3, 0x5B89},
        {"nothing", "", 0, 0},
        {"truncated 2", "\xC3", 0, 0},
        {"truncated 3", "\xE5\xAE", 0, 0},
        {"truncated 4", "\xF0\x9F\x8E", 0, 0},
        {"bad continuation", "\xC3\x28", 0, 0},
        {"bad third byte", "\xE5\xAE\xC0", 0, 0},
        {"bad fourth byte", "\xF0\x9F\x8E\x41", 0, 0},
        {"lone continuation", "\x80", 0, 0},
        {"lone continuation, last", "\xBF", 0, 0},
        {"overlong 2", "\xC0\xAF", 0, 0},
        {"overlong 2, C1", "\xC1\xBF", 0, 0},
        {"overlong 3", "\xE0\x80\xAF", 0, 0},
        {"overlong 3, highest", "\xE0\x9F\xBF", 0, 0},
        {"overlong 4", "\xF0\x8F\xBF\xBF", 0, 0},
        {"surrogate, first", "\xED\xA0\x80", 0, 0},
        {"surrogate, last", "\xED\xBF\xBF", 0, 0},
        {"past U+10FFFF", "\xF4\x90\x80\x80", 0, 0},
        {"past U+10FFFF, F5", "\xF5\x80\x80\x80", 0, 0},
        {"FF", "\xFF", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Utf8Char got = Utf8CharAt(c.bytes, 0);
        EXPECT_EQ(got.length, c.length);
        EXPECT_EQ(static_cast<uint32_t>(got.codePoint), static_cast<uint32_t>(c.codePoint));
        // Whole texts: valid when the one sequence spans them, also after a valid start.
        EXPECT_EQ(ValidUtf8(c.bytes), c.length == c.bytes.size());
        EXPECT_EQ(ValidUtf8("ab" + std::string(c.bytes)), c.length == c.bytes.size());
        EXPECT_EQ(Utf8CharAt("x" + std::string(c.bytes), 1).length, c.length);
    }
    EXPECT_TRUE(ValidUtf8("a安🎵"));
    EXPECT_EQ(Utf8CharAt("a安", 3).length, 0u) << "the middle of a sequence starts none";
    EXPECT_EQ(Utf8CharAt("a", 1).length, 0u) << "nothing past the end";
}

}  // namespace
}  // namespace qv
