#pragma once
// The program's text rules on SQLite: the "gbk" collation, which orders UTF-8 texts as their
// GB18030 bytes would order (the common hanzi in pinyin order, since GBK's first level is laid out
// by reading), and a case-sensitive like. Both live on a connection, never in a file's schema.
// Shared by the database layer and the catalogue generator, so both see one order. Depends only
// on SQLite, iconv and the texts library's UTF-8 decoder.
#include <string_view>

struct sqlite3;

namespace qv::db {

inline constexpr const char* kGbkCollation = "gbk";

// <0, 0, >0. Texts that sort alike (bytes that are not well-formed UTF-8 are skipped) fall back to
// their bytes, so 0 means equal bytes.
[[nodiscard]] int CompareGbk(std::string_view a, std::string_view b);

// Registers the collation on the connection; returns an SQLite result code.
[[nodiscard]] int RegisterGbkCollation(sqlite3* db);

// Replaces like(), with and without ESCAPE, on the connection by one that compares texts
// byte-wise: "FM" does not find "fm". % is any run of characters, _ one character (a well-formed
// UTF-8 sequence, or a byte that starts none). Returns an SQLite result code.
[[nodiscard]] int RegisterCaseSensitiveLike(sqlite3* db);

}  // namespace qv::db
