// Settings in pz.ini, the notification-area icon, the window's own buttons and the web links.
#include "shell/shell.h"

#include "art/artwork.h"
#include "files/folders.h"
#include "files/ini.h"
#include "shell/web_links.h"
#include "state/globals.h"
#include "ui/form.h"
#include "widgets/desktop.h"

namespace qv {
namespace {

const Text kPositionSection = Gbk("窗口位置");
const Text kLeftKey = Gbk("左边");
const Text kTopKey = Gbk("顶边");
const Text kVolumeSection = Gbk("音量");
const Text kVolumeKey = Gbk("音量值");
const Text kStationSection = Gbk("电台");
const Text kNameKey = Gbk("名称");
const Text kLinkKey = Gbk("链接");
const Text kDefaultName = Gbk(">>> 北京电台文艺广播");
const Text kDefaultLink = Gbk("mms://alive.rbc.cn/fm876");
const Text kTip = Gbk("Quorvin");

// Built afresh for every access: the program's folder may only be known once it runs.
std::filesystem::path SettingsPath() {
    return ProgramFolder() / "pz.ini";
}

}  // namespace

void RestoreWindowPosition() {
    Window& w = *Form().窗口;
    const int definedLeft = w.left();
    const int definedTop = w.top();
    int left =
        TextToInt(ReadIniValue(SettingsPath(), kPositionSection, kLeftKey, IntToText(definedLeft)));
    int top =
        TextToInt(ReadIniValue(SettingsPath(), kPositionSection, kTopKey, IntToText(definedTop)));
    // Without a caption bar a window wholly off the screens cannot be reached, and closing then
    // stores no place: a place from a monitor since removed, or a hand-edited one, would come
    // back at every start. The defined place serves instead.
    if (!OnAnyScreen(left, top, w.width(), w.height())) {
        left = definedLeft;
        top = definedTop;
    }
    w.setLeft(left);
    w.setTop(top);
}

void RestoreVolume() {
    const int v = TextToInt(ReadIniValue(SettingsPath(), kVolumeSection, kVolumeKey, "100"));
    if (v > -1 && v < 101)
        Form().多功能条1->setPosition(v);
}

void RestoreLastStation() {
    MainForm& f = Form();
    f.透明标签_名称->setCaption(
        ReadIniValue(SettingsPath(), kStationSection, kNameKey, kDefaultName));
    f.播放器1->setURL(ReadIniValue(SettingsPath(), kStationSection, kLinkKey, kDefaultLink));
}

// The values reach the file together, in one replacement: another copy of the program closing
// at the same moment leaves its whole state or this one's, never a mix.
void OnMainWindowClosing() {
    MainForm& f = Form();
    Window& w = *f.窗口;
    IniEditBatch settings(SettingsPath());
    const int screenW = ScreenWidth();
    if (w.left() < screenW - 100 && w.left() + w.width() > 100) {
        settings.Set(kPositionSection, kLeftKey, IntToText(w.left()));
    }
    const int screenH = ScreenHeight();
    if (w.top() < screenH - 100 && w.top() + w.height() > 100) {
        settings.Set(kPositionSection, kTopKey, IntToText(w.top()));
    }
    settings.Set(kVolumeSection, kVolumeKey, IntToText(f.多功能条1->position()));
    settings.Set(kStationSection, kNameKey, f.透明标签_名称->caption());
    settings.Set(kStationSection, kLinkKey, f.播放器1->URL());
    settings.Apply();
}

void ShowNotificationIcon() {
    ShowTrayIcon(*Form().窗口, art::TrayIcon(), kTip);
}

void OnTrayIconEvent(int action) {
    if (action != 1)
        return;
    Globals& g = G();
    if (g.minimised == 1) {
        Form().窗口->setState(WindowState::Normal);
        g.minimised = 0;
    } else {
        Form().窗口->setState(WindowState::Minimised);
        g.minimised = 1;
    }
}

void OnMinimiseButtonClick() {
    Form().窗口->setState(WindowState::Minimised);
    G().minimised = 1;
}

void OnCloseButtonClick() {
    CloseWindow(*Form().窗口);
}

void OnContactButtonClick() {
    OpenWebAddress(kContactPage);
}
void OnSuggestionLinkClick(int, int, int) {
    OpenWebAddress(kSuggestionPage);
}
void OnWebsiteLinkClick(int, int, int) {
    OpenWebAddress(kWebsite);
}

}  // namespace qv
