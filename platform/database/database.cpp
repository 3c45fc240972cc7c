#include "database/database.h"

#include <sqlite3.h>

#include <chrono>
#include <climits>
#include <optional>
#include <string_view>

#include "database_collation.h"
#include "texts/ascii.h"

namespace qv {
namespace {

// A crafted catalogue (a view over a recursive query, say) must not hold the window for long.
constexpr auto kStatementTimeLimit = std::chrono::seconds(5);
constexpr int kBusyTimeoutMs = 50;
constexpr int kProgressSteps = 10000;

// The open database, shared with the record sets attached to it: a record set that outlives its
// connection, or reads after a failed re-open, finds no database and lists nothing.
struct DbSession {
    sqlite3* db = nullptr;
    std::chrono::steady_clock::time_point deadline{};

    DbSession() = default;
    DbSession(const DbSession&) = delete;
    DbSession& operator=(const DbSession&) = delete;
    ~DbSession() { Close(); }
    void Close() {
        if (db)
            sqlite3_close_v2(db);
        db = nullptr;
    }
};

}  // namespace

struct DbConnection::Impl {
    std::shared_ptr<DbSession> session = std::make_shared<DbSession>();
    std::optional<TableShape> required;
};

struct RecordSet::Impl {
    std::weak_ptr<DbSession> session;
    std::vector<Text> columns;  // GBK names
    // Field values row by row, GBK, each ended by a NUL byte (values hold none); NULL reads as
    // the empty text. One buffer rather than a string per field keeps a big listing quick.
    Text values;
    std::vector<size_t> starts;  // where each value begins in values
    int count = 0;
    int current = 0;
    // The last field looked up, as asked and as found: listings read the same names over and over.
    Text lastField;
    int lastColumn = -1;

    void Clear() {
        columns.clear();
        values.clear();
        starts.clear();
        count = 0;
        current = 0;
        lastField.clear();
        lastColumn = -1;
    }
};

namespace {

int OnProgress(void* arg) {
    auto* session = static_cast<DbSession*>(arg);
    return std::chrono::steady_clock::now() > session->deadline ? 1 : 0;
}

// Only reading: a query text cannot attach files, change settings or write, whatever it says.
int Authorize(void*, int action, const char*, const char*, const char*, const char*) {
    switch (action) {
        case SQLITE_SELECT:
        case SQLITE_READ:
        case SQLITE_FUNCTION:
        case SQLITE_RECURSIVE:
            return SQLITE_OK;
        default:
            return SQLITE_DENY;
    }
}

class Statement final {
  public:
    Statement(DbSession& session, const std::string& utf8) {
        session.deadline = std::chrono::steady_clock::now() + kStatementTimeLimit;
        // Only the first statement of the text runs; whatever follows it is ignored.
        if (sqlite3_prepare_v2(session.db, utf8.c_str(), static_cast<int>(utf8.size()), &stmt_,
                               nullptr) != SQLITE_OK) {
            sqlite3_finalize(stmt_);
            stmt_ = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    [[nodiscard]] sqlite3_stmt* get() const { return stmt_; }

  private:
    sqlite3_stmt* stmt_ = nullptr;
};

std::string QuoteIdentifier(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

bool Configure(DbSession& session) {
    sqlite3* db = session.db;
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    // A big sort, and the temporary view below, stay in memory instead of temporary files.
    sqlite3_exec(db, "pragma temp_store = memory", nullptr, nullptr, nullptr);
    sqlite3_progress_handler(db, kProgressSteps, OnProgress, &session);
    return db::RegisterGbkCollation(db) == SQLITE_OK &&
           db::RegisterCaseSensitiveLike(db) == SQLITE_OK;
}

bool SameFieldName(std::string_view a, std::string_view b);

// The table must be there with the fields the caller reads.
bool HasTable(DbSession& session, const TableShape& shape) {
    Statement all(session, "select * from main." + QuoteIdentifier(Utf8(shape.table)));
    if (!all.get())
        return false;
    const int n = sqlite3_column_count(all.get());
    for (const Text& field : shape.fields) {
        const std::string wanted = Utf8(field);
        bool found = false;
        for (int i = 0; i < n && !found; ++i) {
            const char* name = sqlite3_column_name(all.get(), i);
            found = name && SameFieldName(name, wanted);
        }
        if (!found)
            return false;
    }
    return true;
}

// Listings take the program's text order whatever the file declares: a temporary view of the
// table's name, which unqualified names find before the file's table, puts the gbk collation on
// every column (a collation only orders texts; numbers and blobs keep their order). The view
// lives in the connection's memory; the file is left as it is.
bool CreateOrderedView(DbSession& session, const TableShape& shape) {
    const std::string name = QuoteIdentifier(Utf8(shape.table));
    const std::string table = "main." + name;
    Statement all(session, "select * from " + table);
    if (!all.get())
        return false;
    std::string sql = "create temp view " + name + " as select ";
    for (int i = 0, n = sqlite3_column_count(all.get()); i < n; ++i) {
        const char* column = sqlite3_column_name(all.get(), i);
        if (!column)
            return false;
        const std::string quoted = QuoteIdentifier(column);
        sql += (i ? ", " : "") + quoted + " collate " + db::kGbkCollation + " as " + quoted;
    }
    sql += " from " + table;
    return sqlite3_exec(session.db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

// From here on only reading; set last, once the view stands.
bool AllowOnlyReading(DbSession& session) {
    return sqlite3_set_authorizer(session.db, Authorize, nullptr) == SQLITE_OK;
}

void AppendValue(sqlite3_stmt* stmt, int i, std::string& utf8) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
    if (p) {
        std::string_view v(p, static_cast<size_t>(sqlite3_column_bytes(stmt, i)));
        if (v.find('\0') == std::string_view::npos) {
            utf8 += v;
        } else {
            for (char c : v) {
                if (c != '\0')
                    utf8 += c;
            }
        }
    }
    utf8 += '\0';
}

void ReadListing(RecordSet::Impl& rs, const std::string& sql) {
    rs.Clear();
    std::shared_ptr<DbSession> session = rs.session.lock();
    if (!session || !session->db)
        return;
    Statement stmt(*session, sql);
    sqlite3_stmt* s = stmt.get();
    if (!s)
        return;
    const int n = sqlite3_column_count(s);
    std::vector<Text> columns;
    for (int i = 0; i < n; ++i) {
        const char* name = sqlite3_column_name(s, i);
        columns.push_back(name ? Gbk(name) : Text());
    }
    // Values are converted a batch of rows at a time: a conversion per field would cost more than
    // the query, one for the whole listing would need a second buffer of its size. A conversion
    // keeps every NUL, so the values stay apart.
    constexpr size_t kBatchBytes = 64 * 1024;
    std::string utf8;
    Text values;
    int rows = 0;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW && rows < INT_MAX) {
        for (int i = 0; i < n; ++i) AppendValue(s, i, utf8);
        ++rows;
        if (utf8.size() >= kBatchBytes) {
            values += Gbk(utf8);
            utf8.clear();
        }
    }
    // A listing that broke off (a busy or damaged file, the time limit) is a failed open.
    if (rc != SQLITE_DONE && rc != SQLITE_ROW)
        return;
    values += Gbk(utf8);
    std::vector<size_t> starts;
    starts.reserve(static_cast<size_t>(rows) * static_cast<size_t>(n) + 1);
    starts.push_back(0);
    for (size_t i = 0; i < values.size(); ++i) {
        if (values[i] == '\0')
            starts.push_back(i + 1);
    }
    if (starts.size() != static_cast<size_t>(rows) * static_cast<size_t>(n) + 1)
        return;
    rs.columns = std::move(columns);
    rs.values = std::move(values);
    rs.starts = std::move(starts);
    rs.count = rows;
}

// SQL names ignore ASCII case; other bytes must match exactly.
bool SameFieldName(std::string_view a, std::string_view b) {
    return EqualsNoCase(a, b);
}

int FindColumn(RecordSet::Impl& rs, const Text& field) {
    if (rs.lastColumn >= 0 && rs.lastField == field)
        return rs.lastColumn;
    for (size_t i = 0; i < rs.columns.size(); ++i) {
        if (SameFieldName(rs.columns[i], field)) {
            rs.lastField = field;
            rs.lastColumn = static_cast<int>(i);
            return rs.lastColumn;
        }
    }
    return -1;
}

}  // namespace

DbConnection::DbConnection() : impl(std::make_unique<Impl>()) {}
DbConnection::~DbConnection() = default;
RecordSet::RecordSet() : impl(std::make_unique<Impl>()) {}
RecordSet::~RecordSet() = default;

int OpenConnection(DbConnection& conn, const std::filesystem::path& file, const Text&) {
    DbSession& session = *conn.impl->session;
    session.Close();
    if (file.empty())
        return 0;
    // No SQLITE_OPEN_URI: the name is a plain file name, whatever characters it holds.
    int rc = sqlite3_open_v2(file.c_str(), &session.db, SQLITE_OPEN_READONLY, nullptr);
    const std::optional<TableShape>& shape = conn.impl->required;
    if (rc != SQLITE_OK || !Configure(session) ||
        (shape && (!HasTable(session, *shape) || !CreateOrderedView(session, *shape))) ||
        !AllowOnlyReading(session)) {
        session.Close();
        return 0;
    }
    return 1;
}

void RequireTable(DbConnection& conn, TableShape shape) {
    conn.impl->required = std::move(shape);
}

void AttachRecordSet(RecordSet& rs, DbConnection& conn) {
    rs.impl->Clear();
    rs.impl->session = conn.impl->session;
}

void OpenRecordSetTable(RecordSet& rs, const Text& table, const Text& ordering) {
    std::string sql = "select * from " + QuoteIdentifier(Utf8(table));
    if (!ordering.empty())
        sql += " order by " + Utf8(ordering);
    ReadListing(*rs.impl, sql);
}

void OpenRecordSetQuery(RecordSet& rs, const Text& sql, int) {
    ReadListing(*rs.impl, Utf8(sql));
}

int RecordCount(const RecordSet& rs) {
    return rs.impl->count;
}

void ReadFieldText(RecordSet& rs, const Text& field, Text& out) {
    RecordSet::Impl& r = *rs.impl;
    out.clear();
    if (r.current < 0 || r.current >= r.count)
        return;
    int column = FindColumn(r, field);
    if (column < 0)
        return;
    const size_t k =
        static_cast<size_t>(r.current) * r.columns.size() + static_cast<size_t>(column);
    out.assign(r.values, r.starts[k], r.starts[k + 1] - r.starts[k] - 1);
}

void MoveToNextRecord(RecordSet& rs) {
    RecordSet::Impl& r = *rs.impl;
    if (r.current < r.count)
        ++r.current;
}

void MoveToRecord(RecordSet& rs, int position) {
    rs.impl->current = position;
}

Text EscapeSqlText(const Text& text) {
    // A quote byte never occurs inside a GBK character (trail bytes are 0x30 and up).
    Text out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\'')
            out += '\'';
        out += c;
    }
    return out;
}

}  // namespace qv
