#pragma once
// Small SQLite fixture files for the database layer's tests: plain files, as any SQLite tool
// writes them, or made by the stock sqlite3 shell itself.
#include <sqlite3.h>

#include <set>
#include <string>
#include <vector>

#include "database/database.h"
#include "kit/catalogue.h"

namespace qv::test {

// Runs the statements on a new file at path; fails the test on an SQLite error. withGbk
// registers the gbk collation first, for files that declare it in their schema (as catalogues
// made by the generator once did).
void MakeDatabase(const std::string& path, const std::vector<std::string>& statements,
                  bool withGbk = false);
// The stations of data/stations.tsv, the source of the shipped catalogue, in the file's order.
[[nodiscard]] std::vector<kit::Row> ShippedStations();
// The provinces of those stations, each once.
[[nodiscard]] std::set<std::string> ShippedProvinces();

// Whether the stock sqlite3 shell is on PATH.
[[nodiscard]] bool HaveSqlite3Shell();
struct ShellResult {
    int code = -1;
    std::string out;  // standard output and error
};
// Runs the sqlite3 shell on the file (made when missing) with the script on its standard input;
// it stops at the first error.
ShellResult RunSqlite3(const std::string& path, const std::string& script);

// The listing as the program reads it: count, then count times read field and move next.
[[nodiscard]] std::vector<std::string> ReadColumn(RecordSet& rs, const std::string& utf8Field);

}  // namespace qv::test
