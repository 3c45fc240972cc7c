#include "tests/database/fixture.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "database_collation.h"
#include "kit/sealed.h"
#include "tests/support/support.h"

namespace qv::test {

void MakeDatabase(const std::string& path, const std::vector<std::string>& statements,
                  bool withGbk) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    if (withGbk) {
        ASSERT_EQ(db::RegisterGbkCollation(db), SQLITE_OK);
    }
    for (const std::string& sql : statements) {
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
            << sql << ": " << (error ? error : "");
        sqlite3_free(error);
    }
    sqlite3_close(db);
}

std::vector<kit::Row> ShippedStations() {
    std::istringstream in(ReadFile(QV_SOURCE_DIR "/data/stations.tsv"));
    std::vector<kit::Row> rows;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const size_t tab1 = line.find('\t');
        const size_t tab2 = line.find('\t', tab1 + 1);
        EXPECT_NE(tab2, std::string::npos) << line;
        if (tab2 == std::string::npos)
            continue;
        rows.push_back(
            {line.substr(0, tab1), line.substr(tab1 + 1, tab2 - tab1 - 1), line.substr(tab2 + 1)});
    }
    EXPECT_FALSE(rows.empty()) << "data/stations.tsv lists no station";
    return rows;
}

std::set<std::string> ShippedProvinces() {
    std::set<std::string> provinces;
    for (const kit::Row& r : ShippedStations()) provinces.insert(*r.province);
    return provinces;
}

namespace {

std::string ShellQuoted(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

}  // namespace

bool HaveSqlite3Shell() {
    return std::system("command -v sqlite3 >/dev/null 2>&1") == 0;
}

ShellResult RunSqlite3(const std::string& path, const std::string& script) {
    const std::string scriptFile = kit::NewFolder("sqlite3") + "/script.sql";
    WriteFile(scriptFile, script);
    const std::string command =
        "sqlite3 -bail " + ShellQuoted(path) + " < " + ShellQuoted(scriptFile) + " 2>&1";
    ShellResult r;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return r;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;) r.out.append(buffer, n);
    const int status = pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::vector<std::string> ReadColumn(RecordSet& rs, const std::string& utf8Field) {
    std::vector<std::string> out;
    const int count = RecordCount(rs);
    Text field = Gbk(utf8Field);
    for (int i = 0; i < count; ++i) {
        Text value = "stale";
        ReadFieldText(rs, field, value);
        out.push_back(Utf8(value));
        MoveToNextRecord(rs);
    }
    return out;
}

}  // namespace qv::test
