// The list fill of the start-up, in process, on the real main window (offscreen, hidden as it is
// while the created sequence runs, with a silent player): the all-stations listing with its
// province labels, and one province's listing; times and the memory the filled list holds, for
// catalogues of 1,000 to 100,000 stations.
//
//   quorvin-listfill-bench [runs (default 5)]
#include <malloc.h>

#include <QApplication>
#include <QWidget>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/program.h"
#include "bench/playback/support.h"
#include "kit/catalogue.h"
#include "kit/sealed.h"
#include "player/media_player.h"
#include "qt_widgets.h"
#include "radio/station_list.h"
#include "state/globals.h"
#include "ui/form.h"
#include "widgets/window.h"

namespace {

using Clock = std::chrono::steady_clock;
using qv::bench::Goal;
using qv::bench::Median;

double MsSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// Bytes in use on the heap, the blocks malloc maps on their own included.
size_t HeapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

// The list fill never touches the player: this one keeps libmpv out of the figures.
class SilentPlayer final : public qv::MediaPlayer {
  public:
    void setURL(const qv::Text& link) override { url_ = link; }
    [[nodiscard]] qv::Text URL() const override { return url_; }
    [[nodiscard]] qv::Text status() const override { return {}; }
    [[nodiscard]] std::shared_ptr<qv::PlayerControls> controls() override { return nullptr; }
    [[nodiscard]] std::shared_ptr<qv::PlayerSettings> settings() override { return nullptr; }

  private:
    qv::Text url_;
};

// The main window as the program builds it, without its created sequence.
class MainWindow final {
  public:
    MainWindow() {
        qv::CreateGlobals();
        qv::WindowDefinition def = qv::MainWindowDefinition();
        for (const qv::EventBinding& b : def.bindings) {
            if (b.event != qv::Event::Created)
                bindings_.push_back(b);
        }
        def.bindings = bindings_;
        qv::CreateStartWindow(def);
        // At start-up the list is filled before the window is shown.
        qv::WidgetOf(*qv::Form().窗口)->hide();
    }
    ~MainWindow() {
        qv::DestroyStartWindow();
        qv::ReleaseGlobalsAtExit();
        qv::Form() = qv::MainForm{};
        QApplication::processEvents();
    }
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

  private:
    std::vector<qv::EventBinding> bindings_;
};

struct Fill {
    double allMs = 0;
    double provinceMs = 0;
    int rows = 0;
    int provinceRows = 0;
    long heldBytes = 0;  // heap the filled all-stations list holds
};

Fill FillOnce(const std::string& province) {
    Fill f;
    const size_t before = HeapInUse();
    {
        MainWindow window;
        const auto t0 = Clock::now();
        qv::OpenStationDatabase();
        qv::LoadStationList(0, qv::Text());
        f.allMs = MsSince(t0);
        f.rows = qv::Form().超级列表框_名称->rowCount();
        f.heldBytes = static_cast<long>(HeapInUse()) - static_cast<long>(before);
        const auto t1 = Clock::now();
        qv::LoadStationList(1, qv::Gbk(province));
        f.provinceMs = MsSince(t1);
        f.provinceRows = qv::Form().超级列表框_名称->rowCount();
    }
    return f;
}

struct Result {
    int stations = 0;
    double allMs = 0;
    double provinceMs = 0;
    int provinceRows = 0;
    double heldBytes = 0;
};

// Fills the list `runs` times from a catalogue in folder (after one uncounted warm-up).
Result Measure(const std::string& label, const std::string& folder, const std::string& province,
               int runs) {
    if (::chdir(folder.c_str()) != 0)
        return {};
    (void)FillOnce(province);
    std::vector<double> all, one, held;
    Fill f;
    for (int i = 0; i < runs; ++i) {
        f = FillOnce(province);
        all.push_back(f.allMs);
        one.push_back(f.provinceMs);
        held.push_back(static_cast<double>(f.heldBytes));
    }
    Result r{f.rows, Median(all), Median(one), f.provinceRows, Median(held)};
    std::printf("%-28s all %7d rows %8.2f ms   %s %6d rows %7.2f ms   heap held %7.1f MB\n",
                label.c_str(), r.stations, r.allMs, province.c_str(), r.provinceRows, r.provinceMs,
                r.heldBytes / (1024.0 * 1024.0));
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::string folder = qv::kit::MakeSealedFolder("listfill-bench");
    if (folder.empty())
        return 1;
    qv::kit::SealThisProcess(folder);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    qv::SetMediaPlayerFactory([] { return std::make_unique<SilentPlayer>(); });
    const std::string province = "广东";
    std::printf("list fill on the real window (offscreen), median of %d runs\n", runs);
    std::vector<Result> results;
    for (int n : {1000, 10000, 100000}) {
        const std::string sub = folder + "/catalogue-" + std::to_string(n);
        std::filesystem::create_directories(sub);
        if (!qv::kit::WriteCatalogue(sub + "/mmsDT.dll", qv::bench::GeneratedStations(n)).empty()) {
            std::printf("cannot make a catalogue of %d stations\n", n);
            return 1;
        }
        results.push_back(Measure(std::to_string(n) + " stations, 34 provinces", sub, province,
                                  n == 100000 ? std::min(runs, 3) : runs));
    }
    const std::string sub = folder + "/one-province";
    std::filesystem::create_directories(sub);
    if (!qv::kit::WriteCatalogue(sub + "/mmsDT.dll", qv::bench::GeneratedStations(10000, province))
             .empty()) {
        std::printf("cannot make the one-province catalogue\n");
        return 1;
    }
    const Result oneProvince = Measure("10000 stations, 1 province", sub, province, runs);
    const std::filesystem::path shipped = qv::bench::ProgramDir();
    (void)Measure("shipped mmsDT.dll", shipped.string(), province, runs);

    Goal("all-stations listing of 10,000, labels included", results[1].allMs, 100, "ms");
    Goal("province listing of 10,000", oneProvince.provinceMs, 50, "ms");
    // Linear: each further station costs the same from 10,000 to 100,000 as from 1,000 to
    // 10,000 (differences, so the window's own fixed memory drops out).
    const auto perStation = [&](size_t a, size_t b) {
        return (results[b].heldBytes - results[a].heldBytes) /
               std::max(1, results[b].stations - results[a].stations);
    };
    const double low = perStation(0, 1);
    const double high = perStation(1, 2);
    std::printf("  memory per further station: 1,000-10,000 %.0f B, 10,000-100,000 %.0f B\n", low,
                high);
    Goal("memory per station, upper / lower range", low > 0 ? high / low : -1, 1.25, "x");
    std::error_code ec;
    std::filesystem::current_path("/", ec);
    std::filesystem::remove_all(folder, ec);
    return 0;
}
