#pragma once
// Small SQLite fixture files for the database layer's tests, written with the gbk collation
// registered as the catalogue generator does.
#include <sqlite3.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/database.h"

namespace qv::test {

// name, province, link; nullopt stores NULL. UTF-8.
struct Row {
    std::optional<std::string> name;
    std::optional<std::string> province;
    std::optional<std::string> link;
};

// Runs the statements on a new file at path; fails the test on an SQLite error.
void MakeDatabase(const std::string& path, const std::vector<std::string>& statements);
// A catalogue like the shipped one holding the rows, in this order.
void MakeCatalogue(const std::string& path, const std::vector<Row>& rows);

// The listing as the program reads it: count, then count times read field and move next.
[[nodiscard]] std::vector<std::string> ReadColumn(RecordSet& rs, const std::string& utf8Field);
// The province listing's SQL exactly as the program forms it, from a GBK province text.
[[nodiscard]] Text ProvinceSql(const Text& province);

}  // namespace qv::test
