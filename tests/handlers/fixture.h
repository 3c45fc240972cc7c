#pragma once
// The real main window on the offscreen platform with a scripted player, built without its
// created sequence, so each test runs the steps it needs (the controls' Qt widgets: qt_widgets.h).
// Its folder is the working folder; the program's folder, where pz.ini lives, is another folder
// of the test's own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/created.h"
#include "app/program.h"
#include "kit/catalogue.h"
#include "qt_widgets.h"
#include "radio/playback.h"
#include "radio/station_list.h"
#include "shell/shell.h"
#include "state/globals.h"
#include "tests/handlers/fake_player.h"
#include "ui/form.h"

namespace qv::test {

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Writes mmsDT.dll into the working folder, opens it and lists all stations.
    void OpenCatalogue(const std::vector<kit::Row>& rows);
    [[nodiscard]] MainForm& f() { return Form(); }
    [[nodiscard]] std::vector<Text> ListedNames() const;
    [[nodiscard]] int ShownSpeaker() const;  // which speaker picture the mute button shows
    [[nodiscard]] bool ShowsLook(Look look) const;

    FakePlayer* player = nullptr;  // null when realPlayer
    bool realPlayer = false;       // the real libmpv player instead of the scripted one
    // The whole definition, created event too: its sequence runs on Stations(3, 1).
    bool runCreated = false;
    std::string folder;         // the working folder
    std::string programFolder;  // stands in for the executable's folder

  private:
    std::string previousFolder_;
    std::vector<EventBinding> bindings_;
};

// n stations "台k" in province "省k % provinces", links "http://127.0.0.1/k".
[[nodiscard]] std::vector<kit::Row> Stations(int n, int provinces);

}  // namespace qv::test
