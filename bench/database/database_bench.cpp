// Times the database side of the station list: open, the all-stations listing read as the list
// fill reads it, and one province listing; for generated catalogues and the shipped one. Also the
// heap the all-stations listing holds, which must grow no faster than the catalogue.
#include <malloc.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/playback/support.h"
#include "database/database.h"
#include "kit/catalogue.h"
#include "radio/station_row.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

// The list fill's reading pattern: count, then count times two reads and a move.
int ReadListing(qv::RecordSet& rs) {
    const qv::Text name = qv::Gbk("电台名称");
    const qv::Text province = qv::Gbk("省份");
    int count = qv::RecordCount(rs);
    qv::Text a;
    qv::Text b;
    for (int i = 0; i < count; ++i) {
        qv::ReadFieldText(rs, name, a);
        qv::ReadFieldText(rs, province, b);
        qv::MoveToNextRecord(rs);
    }
    return count;
}

// Bytes in use on the heap, the blocks malloc maps on their own included.
double HeapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return static_cast<double>(m.uordblks + m.hblkhd);
}

struct Listing {
    int all = 0;
    double allMs = -1;
    double provinceMs = -1;
    double heldBytes = 0;  // heap the all-stations listing holds
};

Listing Measure(const char* label, const std::string& path, const char* provinceName = "广东") {
    Listing l;
    const double heapBefore = HeapInUse();
    auto t0 = Clock::now();
    qv::DbConnection conn;
    qv::RequireTable(conn, qv::StationTable());
    if (qv::OpenConnection(conn, path, "") == 0) {
        std::printf("%-22s cannot open %s\n", label, path.c_str());
        return l;
    }
    double open = Ms(t0);
    qv::RecordSet rs;
    qv::AttachRecordSet(rs, conn);
    auto t1 = Clock::now();
    qv::OpenRecordSetTable(rs, "radio", qv::Gbk("省份 ASC"));
    int all = ReadListing(rs);
    double allMs = Ms(t1);
    const double held = HeapInUse() - heapBefore;
    auto t2 = Clock::now();
    qv::OpenRecordSetQuery(rs,
                           qv::Gbk("select * from radio where 省份 like  '%") +
                               qv::EscapeSqlText(qv::Gbk(provinceName)) +
                               qv::Gbk("%'order by 电台名称 ASC"),
                           1);
    int one = ReadListing(rs);
    double oneMs = Ms(t2);
    std::printf(
        "%-22s open %7.2f ms  all %7d rows %8.2f ms  province %6d rows %7.2f ms  held %6.1f MB\n",
        label, open, all, allMs, one, oneMs, held / (1024.0 * 1024.0));
    return {all, allMs, oneMs, held};
}

void Goal(const char* what, double value, double limit, const char* unit) {
    std::printf("  goal: %-44s %9.2f %s < %g %s  %s\n", what, value, unit, limit, unit,
                value >= 0 && value < limit ? "PASS" : "MISS");
}

}  // namespace

int main() {
    const char* base = std::getenv("TMPDIR");
    std::string folder = std::string(base && *base ? base : "/tmp") + "/quorvin-bench-XXXXXX";
    if (!mkdtemp(folder.data()))
        return 1;
    std::vector<Listing> sizes;
    for (int n : {1000, 10000, 100000}) {
        std::string path = folder + "/catalogue-" + std::to_string(n) + ".dll";
        if (!qv::kit::WriteCatalogue(path, qv::bench::GeneratedStations(n)).empty()) {
            std::printf("cannot make %s\n", path.c_str());
            break;
        }
        sizes.push_back(Measure((std::to_string(n) + " stations").c_str(), path));
    }
    const std::string onePath = folder + "/one-province.dll";
    Listing one;
    const std::string& first = qv::bench::Provinces().front();
    if (qv::kit::WriteCatalogue(onePath, qv::bench::GeneratedStations(10000, first)).empty())
        one = Measure("10000 in one province", onePath, first.c_str());
    Measure("shipped mmsDT.dll", std::string(QV_PROGRAM_DIR) + "/mmsDT.dll");
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    if (sizes.size() != 3)
        return 1;
    Goal("all-stations listing of 10,000", sizes[1].allMs, 100, "ms");
    Goal("province listing of 10,000", one.provinceMs, 50, "ms");
    // Linear: a further station costs the same from 10,000 to 100,000 as from 1,000 to 10,000.
    const double low = (sizes[1].heldBytes - sizes[0].heldBytes) / (sizes[1].all - sizes[0].all);
    const double high = (sizes[2].heldBytes - sizes[1].heldBytes) / (sizes[2].all - sizes[1].all);
    std::printf("  memory per further station: 1,000-10,000 %.0f B, 10,000-100,000 %.0f B\n", low,
                high);
    Goal("memory per station, upper / lower range", low > 0 ? high / low : -1, 1.25, "x");
    return 0;
}
