#include "database_collation.h"

#include <iconv.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "texts/utf8.h"

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
    for (; i < s.size(); ++i) {
        const Utf8Char c = Utf8CharAt(s, i);
        if (c.length > 0) {
            i += c.length;
            return c.codePoint;
        }
    }
    return kNone;
}

// The sort number of the character at i, moving i on; kNone at the end.
uint32_t NextRank(const Ranks& ranks, std::string_view s, size_t& i) {
    uint32_t cp = NextCodePoint(s, i);
    return cp == kNone ? kNone : ranks.Of(cp);
}

// The bytes of the character at i: a well-formed UTF-8 sequence, or one byte that starts none.
size_t CharLength(std::string_view s, size_t i) {
    return std::max<size_t>(Utf8CharAt(s, i).length, 1);
}

struct LikeToken {
    enum Kind { kAny, kOne, kChar } kind = kChar;
    size_t next = 0;  // where the pattern goes on
    std::string_view ch;
};

// The pattern's token at p; false for an escape at the very end, which matches nothing.
bool ReadLikeToken(std::string_view pattern, size_t p, std::string_view escape, LikeToken& t) {
    const size_t n = CharLength(pattern, p);
    const std::string_view c = pattern.substr(p, n);
    if (!escape.empty() && c == escape) {
        if (p + n >= pattern.size())
            return false;
        const size_t m = CharLength(pattern, p + n);
        t = {LikeToken::kChar, p + n + m, pattern.substr(p + n, m)};
    } else if (c == "%") {
        t = {LikeToken::kAny, p + 1, {}};
    } else if (c == "_") {
        t = {LikeToken::kOne, p + 1, {}};
    } else {
        t = {LikeToken::kChar, p + n, c};
    }
    return true;
}

// Greedy, going back only to the last %: time bounded by the pattern's length times the text's,
// whatever the pattern.
bool LikeMatches(std::string_view pattern, std::string_view text, std::string_view escape) {
    size_t p = 0;
    size_t s = 0;
    size_t starP = std::string_view::npos;
    size_t starS = 0;
    LikeToken t;
    while (s < text.size()) {
        if (p < pattern.size()) {
            if (!ReadLikeToken(pattern, p, escape, t))
                return false;
            if (t.kind == LikeToken::kAny) {
                p = starP = t.next;
                starS = s;
                continue;
            }
            const size_t n = CharLength(text, s);
            if (t.kind == LikeToken::kOne || text.substr(s, n) == t.ch) {
                p = t.next;
                s += n;
                continue;
            }
        }
        if (starP == std::string_view::npos)
            return false;
        starS += CharLength(text, starS);
        s = starS;
        p = starP;
    }
    while (p < pattern.size()) {
        if (!ReadLikeToken(pattern, p, escape, t) || t.kind != LikeToken::kAny)
            return false;
        p = t.next;
    }
    return true;
}

std::string_view ValueText(sqlite3_value* v) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return p ? std::string_view(p, static_cast<size_t>(sqlite3_value_bytes(v)))
             : std::string_view();
}

// x LIKE y [ESCAPE z] calls like(y, x[, z]). NULL in, NULL out, as SQL's own like.
void LikeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return;
    const std::string_view pattern = ValueText(argv[0]);
    const std::string_view text = ValueText(argv[1]);
    const int limit =
        sqlite3_limit(sqlite3_context_db_handle(ctx), SQLITE_LIMIT_LIKE_PATTERN_LENGTH, -1);
    if (pattern.size() > static_cast<size_t>(limit)) {
        sqlite3_result_error(ctx, "LIKE or GLOB pattern too complex", -1);
        return;
    }
    std::string_view escape;
    if (argc == 3) {
        if (sqlite3_value_type(argv[2]) == SQLITE_NULL)
            return;
        escape = ValueText(argv[2]);
        if (escape.empty() || CharLength(escape, 0) != escape.size()) {
            sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
            return;
        }
    }
    sqlite3_result_int(ctx, LikeMatches(pattern, text, escape) ? 1 : 0);
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

int RegisterCaseSensitiveLike(sqlite3* db) {
    constexpr int kFlags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    for (int args : {2, 3}) {
        const int rc = sqlite3_create_function_v2(db, "like", args, kFlags, nullptr, LikeFunction,
                                                  nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            return rc;
    }
    return SQLITE_OK;
}

}  // namespace qv::db
