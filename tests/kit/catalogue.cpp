#include "kit/catalogue.h"

#include <sqlite3.h>

#include <filesystem>

namespace qv::kit {
namespace {

void Bind(sqlite3_stmt* s, int column, const std::optional<std::string>& value) {
    if (value)
        sqlite3_bind_text(s, column, value->data(), static_cast<int>(value->size()),
                          SQLITE_TRANSIENT);
    else
        sqlite3_bind_null(s, column);
}

}  // namespace

std::string WriteCatalogue(const std::string& path, const std::vector<Row>& rows) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
    sqlite3* db = nullptr;
    sqlite3_stmt* insert = nullptr;
    const auto failed = [&](const std::string& what) {
        std::string error = what + ": " + (db ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_finalize(insert);
        sqlite3_close(db);
        return error;
    };
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK)
        return failed("cannot make " + path);
    // One transaction, or each row of a big generated catalogue would be a commit of its own.
    if (sqlite3_exec(db, "begin; create table radio(电台名称 TEXT, 省份 TEXT, 链接 TEXT)", nullptr,
                     nullptr, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(db, "insert into radio values(?, ?, ?)", -1, &insert, nullptr) !=
            SQLITE_OK)
        return failed("cannot make the table");
    for (const Row& r : rows) {
        Bind(insert, 1, r.name);
        Bind(insert, 2, r.province);
        Bind(insert, 3, r.link);
        if (sqlite3_step(insert) != SQLITE_DONE)
            return failed("cannot insert a row");
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    insert = nullptr;
    if (sqlite3_exec(db, "commit", nullptr, nullptr, nullptr) != SQLITE_OK)
        return failed("cannot commit");
    sqlite3_close(db);
    return {};
}

}  // namespace qv::kit
