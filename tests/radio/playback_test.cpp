// Tuning, the player's status, the clock, the volume bar and mute, on the real controls.
#include "tests/app/fixture/fixture.h"
#include "tests/support/support.h"

namespace qv::test {
namespace {

using Playback = MainWindowTest;

TEST_F(Playback, EachStatusTextSetsLabelTitleFlagLookAndTimer) {
    struct Case {
        const char* status;
        int flagBefore;
        int flagAfter;
        bool playingLook;  // else the stopped look, or unchanged when the flag is unchanged
        int interval;
    };
    const Case cases[] = {
        {"正在播放：某台（128 kbps）", 0, 1, true, 1000},
        {"正在播放", 0, 1, true, 1000},
        {"准备就绪", 1, 0, false, 0},
        {"已停止", 1, 0, false, 0},
        {"已停止播放", 1, 0, false, 0},
        {"正在播", 1, 1, true, 0},  // the first three characters alone: no test passes
        {"正在缓冲 45%", 1, 1, true, 0},
        {"", 0, 0, false, 0},
        {"正在连接…", 0, 0, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        G().playing = c.flagBefore;
        ShowPlayButtonLook(c.flagBefore ? Look::Playing : Look::Stopped);
        f().时钟_时间->setInterval(c.interval ? 0 : 1000);
        player->report(Gbk(c.status));
        EXPECT_EQ(f().透明标签_状态->caption(), Gbk(c.status));
        EXPECT_EQ(f().窗口->title(), Gbk(c.status));
        EXPECT_EQ(G().playing, c.flagAfter);
        EXPECT_TRUE(ShowsLook(c.playingLook ? Look::Playing : Look::Stopped));
        EXPECT_EQ(f().时钟_时间->interval(), c.interval);
    }
}

TEST_F(Playback, AnUnchangedStatusRunsBothTestsAgain) {
    player->report(Gbk("已停止"));
    G().playing = 1;
    ShowPlayButtonLook(Look::Playing);
    player->report(Gbk("已停止"));
    EXPECT_EQ(G().playing, 0);
    EXPECT_TRUE(ShowsLook(Look::Stopped));
}

TEST_F(Playback, BeforeAnyStatusTheWindowShowsItsStoredLook) {
    EXPECT_EQ(f().窗口->title(), Gbk("Quorvinv1.0"));
    EXPECT_EQ(f().透明标签_状态->caption(), Gbk("已停止"));
    EXPECT_EQ(f().透明标签_时间->caption(), Gbk("00:00:00"));
    EXPECT_EQ(f().多功能条1->position(), 50);
    EXPECT_EQ(f().图形按钮_静音->shownSlot(), -1);
    EXPECT_EQ(f().时钟_时间->interval(), 0);
    EXPECT_FALSE(f().时钟_时间->active());
}

TEST_F(Playback, TuningShowsTheStationAndOverridesAStatusRaisedInsideTheUrlWrite) {
    OpenCatalogue(Stations(3, 1));
    player->onURL = [](FakePlayer& p) { p.report(Gbk("已停止")); };
    G().hours = 5;
    f().时钟_时间->setInterval(1000);
    SelectListRow(*f().超级列表框_名称, 1);
    OnStationListEvent();
    ASSERT_EQ(player->log().urls.size(), 1u);
    Text name = f().超级列表框_名称->cellText(1, 0);
    EXPECT_EQ(f().透明标签_名称->caption(), Gbk(">>> ") + name);
    EXPECT_EQ(player->log().urls.back(), Gbk("http://127.0.0.1/") + RightBytes(name, 1));
    // The report ran inside the write: label and timer are its; flag, look and clock tuning's.
    EXPECT_EQ(f().透明标签_状态->caption(), Gbk("已停止"));
    EXPECT_EQ(f().时钟_时间->interval(), 0);
    EXPECT_EQ(G().playing, 1);
    EXPECT_TRUE(ShowsLook(Look::Playing));
    EXPECT_EQ(G().hours, 0);
    EXPECT_EQ(f().透明标签_时间->caption(), Gbk("00:00:00"));
}

TEST_F(Playback, ClockCarriesAndCutsHoursToTwoDigits) {
    struct Case {
        int h, m, s;
        const char* shown;
    };
    const Case cases[] = {{0, 0, 0, "00:00:01"},   {0, 0, 59, "00:01:00"},
                          {0, 59, 59, "01:00:00"}, {99, 59, 59, "00:00:00"},
                          {100, 0, 0, "00:00:01"}, {123, 4, 5, "23:04:06"}};
    for (const Case& c : cases) {
        G().hours = c.h;
        G().minutes = c.m;
        G().seconds = c.s;
        OnElapsedTimerTick();
        EXPECT_EQ(f().透明标签_时间->caption(), Gbk(c.shown)) << c.shown;
    }
    EXPECT_EQ(G().hours, 123);
}

TEST_F(Playback, StopAndPlayContinueTheClockAndTuningResetsIt) {
    OpenCatalogue(Stations(2, 1));
    SelectListRow(*f().超级列表框_名称, 0);
    OnStationListEvent();
    for (int i = 0; i < 7; ++i) OnElapsedTimerTick();
    OnPlayButtonClick();  // stop
    EXPECT_EQ(player->log().stops, 1);
    EXPECT_EQ(G().playing, 0);
    EXPECT_TRUE(ShowsLook(Look::Stopped));
    OnPlayButtonClick();  // play again
    EXPECT_EQ(player->log().plays, 1);
    EXPECT_TRUE(ShowsLook(Look::Playing));
    OnElapsedTimerTick();
    EXPECT_EQ(f().透明标签_时间->caption(), Gbk("00:00:08"));
    OnStationListEvent();
    EXPECT_EQ(f().透明标签_时间->caption(), Gbk("00:00:00"));
    OnElapsedTimerTick();
    EXPECT_EQ(f().透明标签_时间->caption(), Gbk("00:00:01"));
}

TEST_F(Playback, AStatusRaisedInsidePlayIsFollowedByTheClicksOwnWrites) {
    player->onPlay = [](FakePlayer& p) { p.report(Gbk("已停止")); };
    OnPlayButtonClick();
    EXPECT_EQ(G().playing, 1);
    EXPECT_TRUE(ShowsLook(Look::Playing));
}

TEST_F(Playback, NewPlayingTitlesKeepTheClocksOneSecondPeriod) {
    player->report(Gbk("正在播放：第一首"));
    ASSERT_TRUE(f().时钟_时间->active());
    // Once part of the period has gone, new titles leave the rest as it is; a restart would
    // show a full second again.
    ASSERT_TRUE(WaitUntil([&] { return f().时钟_时间->remaining() < 900; }, 30000));
    const int before = f().时钟_时间->remaining();
    player->report(Gbk("正在播放：第二首"));
    player->report(Gbk("正在播放：第三首"));
    const int after = f().时钟_时间->remaining();
    EXPECT_GE(after, 0);
    EXPECT_LE(after, before);
    // A status that is not playing stops it.
    player->report(Gbk("正在缓冲 10%"));
    EXPECT_FALSE(f().时钟_时间->active());
}

struct Step {
    int stations;
    int selected;  // -1: none
    bool next;
    int tuned;  // the row selected afterwards
};

void PrintTo(const Step& s, std::ostream* out) {
    *out << s.stations << " stations, row " << s.selected << (s.next ? ", next" : ", previous");
}

std::string StepName(const testing::TestParamInfo<Step>& info) {
    const Step& s = info.param;
    return std::to_string(s.stations) + "Stations" +
           (s.selected < 0 ? std::string("NoRow") : "Row" + std::to_string(s.selected)) +
           (s.next ? "Next" : "Previous");
}

class NextAndPrevious : public MainWindowTest, public testing::WithParamInterface<Step> {};

TEST_P(NextAndPrevious, WrapOnTheRecordCount) {
    const Step& c = GetParam();
    OpenCatalogue(Stations(c.stations, 1));
    SelectListRow(*f().超级列表框_名称, c.selected);
    c.next ? OnNextStationClick() : OnPreviousStationClick();
    EXPECT_EQ(f().超级列表框_名称->selectedRow(), c.tuned);
    ASSERT_EQ(player->log().urls.size(), 1u);
    if (c.tuned >= 0) {
        Text name = f().超级列表框_名称->cellText(c.tuned, 0);
        EXPECT_EQ(f().透明标签_名称->caption(), Gbk(">>> ") + name);
        EXPECT_FALSE(player->log().urls.back().empty());
    } else {
        // Nothing to tune: the empty name and link, the clock still reset.
        EXPECT_EQ(f().透明标签_名称->caption(), Gbk(">>> "));
        EXPECT_TRUE(player->log().urls.back().empty());
    }
    EXPECT_EQ(G().playing, 1);
}

INSTANTIATE_TEST_SUITE_P(Playback, NextAndPrevious,
                         testing::Values(Step{3, 2, true, 0}, Step{3, 0, true, 1},
                                         Step{3, -1, true, 0}, Step{3, 0, false, 2},
                                         Step{3, 2, false, 1}, Step{3, -1, false, 2},
                                         Step{1, 0, true, 0}, Step{1, -1, false, 0},
                                         Step{1, 0, false, 0}, Step{0, -1, true, -1},
                                         Step{0, -1, false, -1}),
                         StepName);

TEST_F(Playback, VolumeReachesThePlayerWithTheSpeakerForItsRange) {
    const std::pair<int, int> cases[] = {{100, 0}, {86, 0}, {85, 1}, {84, 1}, {36, 1}, {35, 2},
                                         {34, 2},  {6, 2},  {5, 3},  {4, 3},  {1, 3},  {0, 4}};
    for (auto [position, speaker] : cases) {
        f().多功能条1->setPosition(position);
        EXPECT_EQ(player->log().volumes.back(), position);
        EXPECT_EQ(ShownSpeaker(), speaker) << position;
    }
    // A write of the position already held still reaches the player.
    const size_t writes = player->log().volumes.size();
    f().多功能条1->setPosition(0);
    EXPECT_EQ(player->log().volumes.size(), writes + 1);
}

TEST_F(Playback, MuteMovesTheBarToZeroAgainAndAgain) {
    f().多功能条1->setPosition(70);
    OnMuteButtonClick();
    EXPECT_EQ(f().多功能条1->position(), 0);
    EXPECT_EQ(player->log().volumes.back(), 0);
    EXPECT_EQ(ShownSpeaker(), 4);
    OnMuteButtonClick();
    EXPECT_EQ(f().多功能条1->position(), 0);
    EXPECT_EQ(ShownSpeaker(), 4);
}

}  // namespace
}  // namespace qv::test
