#include "platform/database_collation.h"

#include <iconv.h>
#include <sqlite3.h>

#include <cstdint>
#include <vector>

namespace qv::db {
namespace {

// GB18030 is prefix-free, so comparing texts character by character, each character's bytes
// left-aligned in a 32-bit number, orders them as their whole byte strings would. The numbers of
// the Basic Multilingual Plane come from iconv once; the other planes follow GB18030's formula.
class Ranks final {
  public:
    Ranks() : table_(0x10000, 0) {
        iconv_t cd = iconv_open("GB18030", "UTF-32BE");
        for (uint32_t cp = 0; cp < 0x10000; ++cp) {
            // Unmapped code points (surrogates, if iconv fails) sort after every mapped one.
            table_[cp] = 0xFF000000u | cp;
            if (cd == reinterpret_cast<iconv_t>(-1) || (cp >= 0xD800 && cp <= 0xDFFF))
                continue;
            char in[4] = {0, 0, static_cast<char>(cp >> 8), static_cast<char>(cp & 0xFF)};
            unsigned char out[8] = {};
            char* src = in;
            char* dst = reinterpret_cast<char*>(out);
            size_t srcLeft = sizeof in;
            size_t dstLeft = sizeof out;
            if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) {
                iconv(cd, nullptr, nullptr, nullptr, nullptr);
                continue;
            }
            table_[cp] = static_cast<uint32_t>(out[0]) << 24 | static_cast<uint32_t>(out[1]) << 16 |
                         static_cast<uint32_t>(out[2]) << 8 | out[3];
        }
        if (cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(cd);
    }
    [[nodiscard]] uint32_t Of(uint32_t cp) const {
        if (cp < 0x10000)
            return table_[cp];
        uint32_t linear = cp - 0x10000;
        return (0x90 + linear / 12600) << 24 | (0x30 + linear / 1260 % 10) << 16 |
               (0x81 + linear / 10 % 126) << 8 | (0x30 + linear % 10);
    }

  private:
    std::vector<uint32_t> table_;
};

const Ranks& TheRanks() {
    static const Ranks ranks;
    return ranks;
}

constexpr uint32_t kNone = 0xFFFFFFFFu;

// The next code point of UTF-8 text at i, moving i on; kNone at the end. A byte that does not
// start a well-formed sequence is skipped.
uint32_t NextCodePoint(std::string_view s, size_t& i) {
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        size_t n = 0;
        uint32_t cp = c;
        if (c < 0x80) {
            ++i;
            return cp;
        } else if (c >= 0xC2 && c <= 0xDF) {
            n = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            n = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            n = 3;
            cp = c & 0x07;
        }
        bool ok = n > 0 && n < s.size() - i;
        for (size_t k = 1; ok && k <= n; ++k) {
            auto t = static_cast<unsigned char>(s[i + k]);
            ok = (t & 0xC0) == 0x80;
            cp = cp << 6 | (t & 0x3F);
        }
        if (ok && cp <= 0x10FFFF) {
            i += n + 1;
            return cp;
        }
        ++i;
    }
    return kNone;
}

// Characters sorted by another reading inside a word: 重 before 庆 (重庆, chong qing) sorts as
// 崇, which GBK files under chong; on its own 重 stays under zhong.
struct Reading {
    uint32_t cp;
    uint32_t next;
    uint32_t as;
};
constexpr Reading kReadings[] = {{0x91CD, 0x5E86, 0x5D07}};

// The sort number of the character at i, moving i on; kNone at the end.
uint32_t NextRank(const Ranks& ranks, std::string_view s, size_t& i) {
    uint32_t cp = NextCodePoint(s, i);
    if (cp == kNone)
        return kNone;
    for (const Reading& r : kReadings) {
        if (cp != r.cp)
            continue;
        size_t j = i;
        if (NextCodePoint(s, j) == r.next)
            cp = r.as;
    }
    return ranks.Of(cp);
}

int CompareBytes(std::string_view a, std::string_view b) {
    int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int CollationCallback(void*, int na, const void* a, int nb, const void* b) {
    return CompareGbk(std::string_view(static_cast<const char*>(a), static_cast<size_t>(na)),
                      std::string_view(static_cast<const char*>(b), static_cast<size_t>(nb)));
}

}  // namespace

int CompareGbk(std::string_view a, std::string_view b) {
    const Ranks& ranks = TheRanks();
    size_t i = 0;
    size_t j = 0;
    // Plain ASCII keeps its bytes in GB18030: compare the common ASCII head directly.
    while (i < a.size() && i < b.size() && a[i] == b[i] && (a[i] & 0x80) == 0) ++i;
    j = i;
    for (;;) {
        uint32_t x = NextRank(ranks, a, i);
        uint32_t y = NextRank(ranks, b, j);
        // kNone is above every rank, but the shorter text sorts first: test the end first.
        if (x == kNone || y == kNone) {
            if (x == y)
                break;
            return x == kNone ? -1 : 1;
        }
        if (x != y)
            return x < y ? -1 : 1;
    }
    return CompareBytes(a, b);
}

int RegisterGbkCollation(sqlite3* db) {
    (void)TheRanks();  // built here, not inside the first sort
    return sqlite3_create_collation_v2(db, kGbkCollation, SQLITE_UTF8, nullptr, CollationCallback,
                                       nullptr);
}

}  // namespace qv::db
