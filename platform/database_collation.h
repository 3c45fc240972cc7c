#pragma once
// The "gbk" collation: orders UTF-8 texts as their GB18030 bytes would order, which puts the
// common hanzi in pinyin order (GBK's first level is laid out by reading). A few place names whose
// first character GBK files under another reading sort by the reading they take (重庆 under chong).
// Shared by the database layer and the catalogue generator, so both see one order. Depends only
// on SQLite and iconv.
#include <string_view>

struct sqlite3;

namespace qv::db {

inline constexpr const char* kGbkCollation = "gbk";

// <0, 0, >0. Texts that sort alike (bytes that are not UTF-8 are skipped) fall back to their
// bytes, so 0 means equal bytes.
[[nodiscard]] int CompareGbk(std::string_view a, std::string_view b);

// Registers the collation on the connection; returns an SQLite result code.
[[nodiscard]] int RegisterGbkCollation(sqlite3* db);

}  // namespace qv::db
