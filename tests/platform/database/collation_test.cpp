// The gbk collation against the order it stands for: the GB18030 bytes of the texts.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "database_collation.h"
#include "texts/text.h"

namespace qv::test {
namespace {

int Sign(int v) {
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

std::string EncodeUtf8(char32_t cp) {
    std::string s;
    if (cp < 0x80) {
        s += static_cast<char>(cp);
    } else if (cp < 0x800) {
        s += static_cast<char>(0xC0 | (cp >> 6));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        s += static_cast<char>(0xE0 | (cp >> 12));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        s += static_cast<char>(0xF0 | (cp >> 18));
        s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return s;
}

TEST(GbkCollation, OrdersTextsAsTheirGb18030Bytes) {
    // ASCII, Latin, both GBK levels (重, 庆 and 崇 among them), the 4-byte BMP range, private use,
    // and the other planes.
    const std::vector<char32_t> pool = {'a',    'Z',    ' ',     '~',     0x80,    0xE9,   0x3000,
                                        0x4E00, 0x5B89, 0x5317,  0x5E7F,  0x6D59,  0x91CD, 0x5E86,
                                        0x5D07, 0x9FA5, 0x9FA6,  0xE000,  0xE5E5,  0xFFFD, 0xFFFF,
                                        0x0452, 0x2014, 0x10000, 0x20000, 0x10FFFF};
    std::mt19937 rng(7);
    std::vector<std::string> texts;
    for (int t = 0; t < 400; ++t) {
        std::string s;
        for (int n = static_cast<int>(rng() % 5); n > 0; --n)
            s += EncodeUtf8(pool[rng() % pool.size()]);
        texts.push_back(s);
    }
    int checked = 0;
    for (size_t i = 0; i + 1 < texts.size(); ++i) {
        const std::string& a = texts[i];
        const std::string& b = texts[i + 1];
        const Text ga = Gbk(a);
        const Text gb = Gbk(b);
        if (ga == gb)
            continue;
        EXPECT_EQ(Sign(db::CompareGbk(a, b)), Sign(ga.compare(gb)))
            << Utf8(ga) << " / " << Utf8(gb);
        ++checked;
    }
    EXPECT_GT(checked, 300);
}

TEST(GbkCollation, PutsProvincesInGbkOrder) {
    // Pinyin order for the common hanzi, each by its GBK place: 重 is filed under zhong.
    const std::vector<std::string> ordered = {"",     "CNR",  "FM",   "fm",     "安徽", "北京",
                                              "广东", "河北", "河南", "黑龙江", "山西", "陕西",
                                              "浙江", "中央", "重庆", "重庆市", "重要"};
    for (size_t i = 0; i < ordered.size(); ++i) {
        for (size_t j = 0; j < ordered.size(); ++j) {
            EXPECT_EQ(Sign(db::CompareGbk(ordered[i], ordered[j])), i < j ? -1 : (i > j ? 1 : 0))
                << ordered[i] << " / " << ordered[j];
        }
    }
}

TEST(GbkCollation, BytesThatAreNotUtf8StillGiveATotalOrder) {
    const std::vector<std::string> texts = {
        "\xff",     "\xe5\xae",     "\xe5\xae\x89",     "a\x80",     "a",
        "\xc0\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xe5\xae!", std::string("\0a", 2)};
    for (const std::string& a : texts) {
        EXPECT_EQ(db::CompareGbk(a, a), 0);
        for (const std::string& b : texts) {
            EXPECT_EQ(db::CompareGbk(a, b), -db::CompareGbk(b, a));
            if (a != b) {
                EXPECT_NE(db::CompareGbk(a, b), 0) << "only equal bytes compare equal";
            }
            for (const std::string& c : texts) {
                if (db::CompareGbk(a, b) < 0 && db::CompareGbk(b, c) < 0) {
                    EXPECT_LT(db::CompareGbk(a, c), 0);
                }
            }
        }
    }
}

// like's _ takes one well-formed UTF-8 sequence, or else one byte: a sequence the decoder refuses
// is as many characters as it has bytes.
TEST(CaseSensitiveLike, OneCharacterIsOneWellFormedSequence) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &raw), SQLITE_OK);
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close);
    ASSERT_EQ(db::RegisterCaseSensitiveLike(db.get()), SQLITE_OK);
    sqlite3_stmt* query = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db.get(), "select ?1 like ?2", -1, &query, nullptr), SQLITE_OK);
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(query, sqlite3_finalize);
    const auto like = [&](std::string_view text, std::string_view pattern) {
        sqlite3_reset(query);
        sqlite3_bind_text(query, 1, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(query, 2, pattern.data(), static_cast<int>(pattern.size()),
                          SQLITE_TRANSIENT);
        return sqlite3_step(query) == SQLITE_ROW && sqlite3_column_int(query, 0) == 1;
    };
    struct Case {
        const char* what;
        std::string_view text;
        size_t characters;
    };
    const Case cases[] = {
        {"a hanzi", "\xE5\xAE\x89", 1},           {"U+10FFFF", "\xF4\x8F\xBF\xBF", 1},
        {"past U+10FFFF", "\xF4\x90\x80\x80", 4}, {"overlong", "\xE0\x80\xAF", 3},
        {"surrogate", "\xED\xA0\x80", 3},         {"truncated", "a\xE5\xAE", 3},
        {"lone continuation", "\x80\x80", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(like(c.text, std::string(c.characters, '_')));
        EXPECT_FALSE(like(c.text, std::string(c.characters - 1, '_')));
        EXPECT_FALSE(like(c.text, std::string(c.characters + 1, '_')));
    }
}

}  // namespace
}  // namespace qv::test
