#include "tests/handlers/fixture.h"

#include <unistd.h>

#include <climits>

#include "art/artwork.h"
#include "files/folders.h"
#include "kit/sealed.h"
#include "tests/support/support.h"

namespace qv::test {

void MainWindowTest::SetUp() {
    char buf[PATH_MAX];
    previousFolder_ = getcwd(buf, sizeof buf) ? buf : "/";
    folder = kit::NewFolder("window");
    ASSERT_EQ(chdir(folder.c_str()), 0);
    programFolder = kit::NewFolder("program");
    SetProgramFolder(programFolder);
    ReleaseGlobalsAtExit();
    G() = Globals{};  // the flags and counters start at 0 in every run of the program
    CreateGlobals();
    if (realPlayer) {
        SetMediaPlayerFactory(nullptr);
    } else
        SetMediaPlayerFactory([this] {
            auto p = std::make_unique<FakePlayer>();
            player = p.get();
            return std::unique_ptr<MediaPlayer>(std::move(p));
        });
    WindowDefinition def = MainWindowDefinition();
    if (runCreated) {
        ASSERT_EQ(kit::WriteCatalogue(folder + "/mmsDT.dll", Stations(3, 1)), "");
    } else {
        bindings_.clear();
        for (const EventBinding& b : def.bindings) {
            if (b.event != Event::Created)
                bindings_.push_back(b);
        }
        def.bindings = bindings_;
    }
    ASSERT_NE(CreateStartWindow(def), nullptr);
    ASSERT_TRUE(realPlayer || player != nullptr);
    if (!runCreated)
        TakePlayerObjects();
}

void MainWindowTest::TearDown() {
    DestroyStartWindow();
    ReleaseGlobalsAtExit();
    SetMediaPlayerFactory(nullptr);
    Form() = MainForm{};
    SetProgramFolder({});
    ASSERT_EQ(chdir(previousFolder_.c_str()), 0);
}

void MainWindowTest::OpenCatalogue(const std::vector<kit::Row>& rows) {
    ASSERT_EQ(kit::WriteCatalogue(folder + "/mmsDT.dll", rows), "");
    OpenStationDatabase();
    LoadStationList(0, Text());
}

std::vector<Text> MainWindowTest::ListedNames() const {
    std::vector<Text> names;
    ListView& l = *Form().超级列表框_名称;
    for (int i = 0; i < l.rowCount(); ++i) names.push_back(l.cellText(i, 0));
    return names;
}

int MainWindowTest::ShownSpeaker() const {
    const Bytes& shown = Form().图形按钮_静音->picture(0);
    if (shown.empty())
        return -1;
    for (int i = 0; i < 5; ++i) {
        if (TakePicture(art::SpeakerGroup(), i) == shown)
            return i;
    }
    return -2;
}

bool MainWindowTest::ShowsLook(Look look) const {
    const Bytes& group = look == Look::Playing ? art::PlayingLook() : art::StoppedLook();
    const PictureButton& b = *Form().图形按钮_播放;
    return b.picture(0) == TakePicture(group, 0) && b.picture(1) == TakePicture(group, 1);
}

std::vector<kit::Row> Stations(int n, int provinces) {
    std::vector<kit::Row> rows;
    for (int k = 0; k < n; ++k) {
        rows.push_back({"台" + std::to_string(k), "省" + std::to_string(k % provinces),
                        "http://127.0.0.1/" + std::to_string(k)});
    }
    return rows;
}

}  // namespace qv::test
