#pragma once
// The "gbk" collation: orders UTF-8 texts by their GB18030 bytes, which puts the common hanzi in
// pinyin order (GBK's first level is laid out by reading). A few place names whose first character
// GBK files under another reading are given the reading a reader expects (重庆 under chong).
// Shared by the database layer and the catalogue generator, so both see one order. Depends only
// on SQLite and iconv.
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

struct sqlite3;

namespace qv::db {

class GbkCollator final {
  public:
    GbkCollator();
    ~GbkCollator();
    GbkCollator(const GbkCollator&) = delete;
    GbkCollator& operator=(const GbkCollator&) = delete;

    // <0, 0, >0. Texts with equal sort keys fall back to their bytes, so 0 means equal bytes.
    [[nodiscard]] int Compare(std::string_view a, std::string_view b);
    // The bytes the order compares: GB18030 of the text (invalid UTF-8 bytes dropped), readings
    // applied.
    [[nodiscard]] std::string SortKey(std::string_view utf8);

  private:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const noexcept {
            return std::hash<std::string_view>{}(s);
        }
    };
    const std::string& CachedKey(std::string_view utf8);

    void* cd_;  // iconv_t
    std::unordered_map<std::string, std::string, Hash, std::equal_to<>> cache_;
};

inline constexpr const char* kGbkCollation = "gbk";

// Registers the collation on the connection, with its own collator freed with the connection.
// Returns an SQLite result code.
[[nodiscard]] int RegisterGbkCollation(sqlite3* db);

}  // namespace qv::db
