// Tuning, the player's controls and status, the elapsed-time clock, the volume bar and mute.
#include "radio/playback.h"

#include "art/artwork.h"
#include "radio/station_row.h"
#include "state/globals.h"
#include "ui/form.h"

namespace qv {
namespace {

const Text kNamePrefix = Gbk(">>> ");
const Text kZeroClock = Gbk("00:00:00");
const Text kPlaying = Gbk("正在播放");
const Text kReady = Gbk("准备就绪");
const Text kStopped = Gbk("已停止");

Text TwoDigits(int v) {
    return RightBytes(Gbk("0") + IntToText(v), 2);
}

}  // namespace

void TuneToSelectedStation() {
    MainForm& f = Form();
    Globals& g = G();
    const int row = f.超级列表框_名称->selectedRow();
    MoveToRecord(*f.记录集1, row);
    Text link;
    Text name;
    ReadFieldText(*f.记录集1, kLinkField, link);
    ReadFieldText(*f.记录集1, kNameField, name);
    f.透明标签_名称->setCaption(kNamePrefix + name);
    f.播放器1->setURL(link);
    g.playing = 1;
    ShowPlayButtonLook(Look::Playing);
    g.hours = 0;
    g.minutes = 0;
    g.seconds = 0;
    f.透明标签_时间->setCaption(kZeroClock);
}

void OnStationListEvent() {
    TuneToSelectedStation();
}

void OnNextStationClick() {
    MainForm& f = Form();
    const int count = RecordCount(*f.记录集1);
    const int sel = f.超级列表框_名称->selectedRow();
    if (sel == count - 1) {
        SelectListRow(*f.超级列表框_名称, 0);
    } else {
        SelectListRow(*f.超级列表框_名称, sel + 1);
    }
    TuneToSelectedStation();
}

void OnPreviousStationClick() {
    MainForm& f = Form();
    const int sel = f.超级列表框_名称->selectedRow();
    if (sel < 1) {
        const int count = RecordCount(*f.记录集1);
        SelectListRow(*f.超级列表框_名称, count - 1);
    } else {
        SelectListRow(*f.超级列表框_名称, sel - 1);
    }
    TuneToSelectedStation();
}

void TakePlayerObjects() {
    MediaPlayer* p = Form().播放器1;
    if (!p)
        return;
    G().controls.store(p->controls());
    G().settings.store(p->settings());
}

// A look's group holds pictures 0 and 1; picture 2 comes back empty, so the pressed state
// shows the hover picture.
void ShowPlayButtonLook(Look look) {
    PictureButton& b = *Form().图形按钮_播放;
    const Bytes& group = look == Look::Playing ? art::PlayingLook() : art::StoppedLook();
    b.setPicture(0, TakePicture(group, 0));
    b.setPicture(1, TakePicture(group, 1));
    b.setPicture(2, TakePicture(group, 2));
}

void OnPlayButtonClick() {
    Globals& g = G();
    if (g.playing == 1) {
        if (auto* c = g.controls.get())
            c->stop();
        g.playing = 0;
        ShowPlayButtonLook(Look::Stopped);
    } else {
        if (auto* c = g.controls.get())
            c->play();
        g.playing = 1;
        ShowPlayButtonLook(Look::Playing);
    }
}

void OnPlayerStatusChange() {
    MainForm& f = Form();
    MediaPlayer& p = *f.播放器1;
    f.透明标签_状态->setCaption(p.status());
    f.窗口->setTitle(p.status());
    if (LeftBytes(p.status(), 8) == kPlaying) {
        G().playing = 1;
        ShowPlayButtonLook(Look::Playing);
        f.时钟_时间->setInterval(1000);
    } else {
        f.时钟_时间->setInterval(0);
    }
    if (LeftBytes(p.status(), 8) == kReady || LeftBytes(p.status(), 6) == kStopped) {
        G().playing = 0;
        ShowPlayButtonLook(Look::Stopped);
    }
}

void OnElapsedTimerTick() {
    Globals& g = G();
    g.seconds = g.seconds + 1;
    if (g.seconds == 60) {
        g.minutes = g.minutes + 1;
        g.seconds = 0;
    }
    if (g.minutes == 60) {
        g.hours = g.hours + 1;
        g.minutes = 0;
    }
    const Text s = TwoDigits(g.seconds);
    const Text m = TwoDigits(g.minutes);
    const Text h = TwoDigits(g.hours);
    Form().透明标签_时间->setCaption(h + ":" + m + ":" + s);
}

void OnVolumeBarChanged() {
    MainForm& f = Form();
    VolumeBar& bar = *f.多功能条1;
    if (auto* s = G().settings.get())
        s->setVolume(bar.position());
    int picture;
    if (bar.position() > 85) {
        picture = 0;
    } else if (bar.position() < 85 && bar.position() > 35) {
        picture = 1;
    } else if (bar.position() < 35 && bar.position() > 5) {
        picture = 2;
    } else if (bar.position() < 5 && bar.position() > 0) {
        picture = 3;
    } else if (bar.position() == 0) {
        picture = 4;
    } else {
        // 85, 35 and 5 lie on the range borders: they show the range below them.
        picture = bar.position() == 85 ? 1 : (bar.position() == 35 ? 2 : 3);
    }
    f.图形按钮_静音->setPicture(0, TakePicture(art::SpeakerGroup(), picture));
}

void OnMuteButtonClick() {
    MainForm& f = Form();
    f.多功能条1->setPosition(0);
    f.图形按钮_静音->setPicture(0, TakePicture(art::SpeakerGroup(), 4));
}

}  // namespace qv
