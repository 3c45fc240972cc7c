// Builds the station catalogue mmsDT.dll (an SQLite file, table radio) from data/stations.tsv.
//   quorvin-catgen STATIONS.tsv OUT.dll   build OUT.dll, replacing it atomically
//   quorvin-catgen --tidy STATIONS.tsv    rewrite the source sorted by province, then name
// Source lines: name<TAB>province<TAB>link, UTF-8; lines starting with # and blank lines are kept
// as comments by --tidy and skipped by the build.
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "database_collation.h"
#include "texts/utf8.h"

namespace {

struct Station {
    std::string name;
    std::string province;
    std::string link;
};

struct Source {
    std::vector<std::string> comments;
    std::vector<Station> stations;
};

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

bool ReadSource(const std::string& path, Source& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::cerr << path << ": cannot read\n";
        return false;
    }
    std::string line;
    int number = 0;
    bool ok = true;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#') {
            if (out.stations.empty())
                out.comments.push_back(line);
            continue;
        }
        std::vector<std::string> f = SplitTabs(line);
        std::string where = path + ":" + std::to_string(number) + ": ";
        if (f.size() != 3) {
            std::cerr << where << "expected name<TAB>province<TAB>link, found " << f.size()
                      << " fields\n";
            ok = false;
        } else if (!qv::ValidUtf8(line)) {
            std::cerr << where << "not UTF-8\n";
            ok = false;
        } else if (f[0].empty() || f[2].empty()) {
            std::cerr << where << "a station needs a name and a link\n";
            ok = false;
        } else {
            out.stations.push_back({f[0], f[1], f[2]});
        }
    }
    return ok;
}

void SortStations(std::vector<Station>& stations) {
    std::stable_sort(stations.begin(), stations.end(), [](const Station& a, const Station& b) {
        int c = qv::db::CompareGbk(a.province, b.province);
        if (c == 0)
            c = qv::db::CompareGbk(a.name, b.name);
        return c < 0;
    });
}

std::string TempSibling(const std::string& path) {
    return path + ".tmp-" + std::to_string(static_cast<long>(getpid()));
}

bool Exec(sqlite3* db, const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) == SQLITE_OK)
        return true;
    std::cerr << "sqlite: " << (error ? error : "error") << "\n";
    sqlite3_free(error);
    return false;
}

bool WriteCatalogue(sqlite3* db, const std::vector<Station>& stations) {
    // Plain columns: any SQLite tool must be able to read, sort, index and restore the file. The
    // program applies its own text order when it reads; the rows go in that order all the same.
    if (!Exec(db, "pragma journal_mode = off; begin;") ||
        !Exec(db, "create table radio(电台名称 TEXT, 省份 TEXT, 链接 TEXT)")) {
        return false;
    }
    sqlite3_stmt* insert = nullptr;
    if (sqlite3_prepare_v2(db, "insert into radio values(?, ?, ?)", -1, &insert, nullptr) !=
        SQLITE_OK) {
        return false;
    }
    bool ok = true;
    for (const Station& s : stations) {
        sqlite3_bind_text(insert, 1, s.name.data(), static_cast<int>(s.name.size()), nullptr);
        sqlite3_bind_text(insert, 2, s.province.data(), static_cast<int>(s.province.size()),
                          nullptr);
        sqlite3_bind_text(insert, 3, s.link.data(), static_cast<int>(s.link.size()), nullptr);
        if (sqlite3_step(insert) != SQLITE_DONE)
            ok = false;
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    return ok && Exec(db, "commit;");
}

int Build(const std::string& source, const std::string& out) {
    Source src;
    if (!ReadSource(source, src))
        return 1;
    SortStations(src.stations);
    std::set<std::string> names;
    for (const Station& s : src.stations) {
        if (!names.insert(s.name).second)
            std::cerr << "note: station listed twice: " << s.name << "\n";
    }
    std::string tmp = TempSibling(out);
    std::remove(tmp.c_str());
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(tmp.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                              nullptr) == SQLITE_OK &&
              WriteCatalogue(db, src.stations);
    if (!ok)
        std::cerr << out << ": " << (db ? sqlite3_errmsg(db) : "cannot create") << "\n";
    if (sqlite3_close(db) != SQLITE_OK)
        ok = false;
    if (ok && std::rename(tmp.c_str(), out.c_str()) != 0) {
        std::cerr << out << ": cannot replace\n";
        ok = false;
    }
    if (!ok) {
        std::remove(tmp.c_str());
        return 1;
    }
    std::cout << out << ": " << src.stations.size() << " stations\n";
    return 0;
}

int Tidy(const std::string& source) {
    Source src;
    if (!ReadSource(source, src))
        return 1;
    SortStations(src.stations);
    std::ostringstream text;
    for (const std::string& c : src.comments) text << c << "\n";
    for (const Station& s : src.stations) {
        text << s.name << '\t' << s.province << '\t' << s.link << "\n";
    }
    std::string tmp = TempSibling(source);
    {
        std::ofstream o(tmp, std::ios::binary | std::ios::trunc);
        o << text.str();
        o.flush();
        if (!o) {
            std::remove(tmp.c_str());
            std::cerr << tmp << ": cannot write\n";
            return 1;
        }
    }
    if (std::rename(tmp.c_str(), source.c_str()) != 0) {
        std::remove(tmp.c_str());
        std::cerr << source << ": cannot replace\n";
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "--tidy")
        return Tidy(args[1]);
    if (args.size() == 2 && args[0].rfind("--", 0) != 0)
        return Build(args[0], args[1]);
    std::cerr << "usage: quorvin-catgen STATIONS.tsv OUT.dll | --tidy STATIONS.tsv\n";
    return 2;
}
