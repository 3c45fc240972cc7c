#pragma once
// A catalogue database on SQLite, read only. Lifecycle:
//  1. RequireTable(conn, shape) names the table and the fields the caller reads; then
//     OpenConnection(conn, file, "") opens an existing SQLite file read-only (never creates it);
//     0 = failed (missing, unreadable, not a database, or without the required table and fields).
//  2. AttachRecordSet(rs, conn) binds the record set; later opens read through that connection.
//  3. OpenRecordSetTable / OpenRecordSetQuery replace the current listing (read whole); the first
//     record is current. A failed open leaves a listing of 0 records.
//  4. RecordCount, ReadFieldText, MoveToNextRecord, MoveToRecord walk it. Outside the listing
//     (-1, past the end) every field reads as the empty text.
// Texts on this side are GBK; the file holds UTF-8 text. The file is plain SQLite, whatever tool
// made it: on opening, a temporary view of the required table's name over the file's table puts
// the "gbk" collation (GBK byte order, pinyin order for common hanzi) on its columns, so listings
// keep that order whatever the file declares; like is case-sensitive, as texts compare byte-wise.
#include <filesystem>
#include <memory>
#include <vector>

#include "texts/text.h"

namespace qv {

class DbConnection {
  public:
    DbConnection();
    ~DbConnection();
    DbConnection(const DbConnection&) = delete;
    DbConnection& operator=(const DbConnection&) = delete;
    struct Impl;
    std::unique_ptr<Impl> impl;
};

class RecordSet {
  public:
    RecordSet();
    ~RecordSet();
    RecordSet(const RecordSet&) = delete;
    RecordSet& operator=(const RecordSet&) = delete;
    struct Impl;
    std::unique_ptr<Impl> impl;
};

// A table a catalogue must hold, with the fields (GBK names) read from it.
struct TableShape {
    Text table;
    std::vector<Text> fields;
};
void RequireTable(DbConnection& conn, TableShape shape);

// The file's path is the file system's own bytes, as they stand.
[[nodiscard]] int OpenConnection(DbConnection& conn, const std::filesystem::path& file,
                                 const Text& second);
void AttachRecordSet(RecordSet& rs, DbConnection& conn);
void OpenRecordSetTable(RecordSet& rs, const Text& table, const Text& ordering);
void OpenRecordSetQuery(RecordSet& rs, const Text& sql, int mode);
[[nodiscard]] int RecordCount(const RecordSet& rs);
void ReadFieldText(RecordSet& rs, const Text& field, Text& out);
void MoveToNextRecord(RecordSet& rs);
void MoveToRecord(RecordSet& rs, int position);

// The text with every quote mark (') doubled, so that it stays one SQL string literal when put
// between quote marks; % and _ are kept, so a LIKE pattern keeps its wildcards.
[[nodiscard]] Text EscapeSqlText(const Text& text);

}  // namespace qv
