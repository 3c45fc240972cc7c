#include "platform/database_collation.h"

#include <iconv.h>
#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

namespace qv::db {
namespace {

// Words whose first character GBK files under a reading other than the one they take here:
// GB18030 bytes of the word, and the bytes to sort it by (a character of the right reading).
struct Reading {
    std::string_view word;
    std::string_view key;
};
// 重庆 (chong qing) would sort with 重 under zhong; 崇 sits at chong.
constexpr Reading kReadings[] = {{"\xD6\xD8\xC7\xEC", "\xB3\xE7\xC7\xEC"}};

constexpr size_t kCacheLimit = 1 << 17;

bool IsAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return (c & 0x80) == 0; });
}

size_t CharLength(std::string_view s, size_t i) {
    auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80 || i + 1 >= s.size())
        return 1;
    auto n = static_cast<unsigned char>(s[i + 1]);
    if (n >= 0x30 && n <= 0x39)
        return std::min<size_t>(4, s.size() - i);
    return 2;
}

void ApplyReadings(std::string& key) {
    for (size_t i = 0; i < key.size(); i += CharLength(key, i)) {
        if (static_cast<unsigned char>(key[i]) < 0x80)
            continue;
        for (const Reading& r : kReadings) {
            if (key.compare(i, r.word.size(), r.word) == 0) {
                key.replace(i, r.key.size(), r.key);
            }
        }
    }
}

int CompareBytes(std::string_view a, std::string_view b) {
    int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int CollationCallback(void* arg, int na, const void* a, int nb, const void* b) {
    auto* collator = static_cast<GbkCollator*>(arg);
    std::string_view sa(static_cast<const char*>(a), static_cast<size_t>(na));
    std::string_view sb(static_cast<const char*>(b), static_cast<size_t>(nb));
    try {
        return collator->Compare(sa, sb);
    } catch (...) {
        // Out of memory: the plain byte order keeps the sort consistent.
        return CompareBytes(sa, sb);
    }
}

void DestroyCollator(void* arg) {
    delete static_cast<GbkCollator*>(arg);
}

}  // namespace

GbkCollator::GbkCollator() : cd_(iconv_open("GB18030", "UTF-8")) {}

GbkCollator::~GbkCollator() {
    if (cd_ != reinterpret_cast<void*>(-1))
        iconv_close(static_cast<iconv_t>(cd_));
}

std::string GbkCollator::SortKey(std::string_view utf8) {
    if (IsAscii(utf8))
        return std::string(utf8);
    if (cd_ == reinterpret_cast<void*>(-1))
        return std::string(utf8);
    auto cd = static_cast<iconv_t>(cd_);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string out(utf8.size() + 8, '\0');
    char* src = const_cast<char*>(utf8.data());
    size_t srcLeft = utf8.size();
    size_t used = 0;
    while (srcLeft > 0) {
        char* dst = out.data() + used;
        size_t dstLeft = out.size() - used;
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        used = out.size() - dstLeft;
        if (r != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
        } else {
            // Not UTF-8 here: skip the byte, keep the rest.
            ++src;
            --srcLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    out.resize(used);
    ApplyReadings(out);
    return out;
}

const std::string& GbkCollator::CachedKey(std::string_view utf8) {
    auto it = cache_.find(utf8);
    if (it != cache_.end())
        return it->second;
    return cache_.emplace(std::string(utf8), SortKey(utf8)).first->second;
}

int GbkCollator::Compare(std::string_view a, std::string_view b) {
    if (IsAscii(a) && IsAscii(b))
        return CompareBytes(a, b);
    // Clear before both lookups: references into the map survive inserts, not a clear.
    if (cache_.size() + 2 > kCacheLimit)
        cache_.clear();
    const std::string& ka = CachedKey(a);
    int c = CompareBytes(ka, CachedKey(b));
    return c != 0 ? c : CompareBytes(a, b);
}

int RegisterGbkCollation(sqlite3* db) {
    auto* collator = new (std::nothrow) GbkCollator();
    if (!collator)
        return SQLITE_NOMEM;
    int rc = sqlite3_create_collation_v2(db, kGbkCollation, SQLITE_UTF8, collator,
                                         CollationCallback, DestroyCollator);
    // SQLite frees the collator only once it took it.
    if (rc != SQLITE_OK)
        delete collator;
    return rc;
}

}  // namespace qv::db
