// The main window as data. A place, a caption or a colour is one field of one row here.
#include "ui/main_window.h"

#include "art/artwork.h"
#include "ui/form.h"
#include "ui/objects.h"

namespace qv {
namespace {

using K = Kind;
constexpr Cursor D = Cursor::Default;
constexpr Cursor H = Cursor::Hand;

constexpr FontSpec kSong12{"宋体", -12, 400, 134};
constexpr FontSpec kSong14{"宋体", -14, 400, 134};

constexpr Colour kOrange = 0x000080FF;
constexpr Colour kDivider = 0x00C4E1FF;
constexpr Colour kLinkGrey = 0x00ECECEC;

// clang-format off
const ControlDefinition kControls[] = {
 // name              kind                 left top  w    h    parent     shown  cursor caption        text colour  background  frame    font      transparent  pictures                                                        value  maker
 {"透明标签1",        K::TransparentLabel, 12,  5,   39,  18,  "外形框1", false, H, "透明标签",       0x00006FDD, 0,          0,       &kSong12},
 {"标签3",            K::Label,            2,   376, 302, 1,   nullptr,   true,  D, nullptr,          0,          kDivider},
 {"标签2",            K::Label,            109, 25,  1,   351, nullptr,   true,  D, nullptr,          0,          kDivider},
 {"外形框1",          K::ShapeBox,         1,   25,  111, 351, nullptr,   true,  D, nullptr,          0,          0x00FFFFFF, kOrange},
 {"图形按钮_关闭",    K::PictureButton,    288, -1,  35,  24,  nullptr,   true,  D, nullptr,          0,          0,          0,       nullptr,  0x00FF00FF, {art::CloseNormal, art::CloseHover, art::ClosePressed}},
 {"透明标签2",        K::TransparentLabel, 152, 388, 88,  12,  nullptr,   true,  D, "",               kOrange},
 {"透明标签_名称",    K::TransparentLabel, 6,   388, 138, 12,  nullptr,   true,  D, "",               kOrange},
 {"数据库连接1",      K::Object,           0,   0,   0,   0,   nullptr,   false, D, nullptr,          0,          0,          0,       nullptr,  kNoColour,  {},                                                              0,  MakeObjectControl<DatabaseControl>},
 {"记录集1",          K::Object,           0,   0,   0,   0,   nullptr,   false, D, nullptr,          0,          0,          0,       nullptr,  kNoColour,  {},                                                              0,  MakeObjectControl<RecordSetControl>},
 {"透明标签_时间",    K::TransparentLabel, 152, 418, 56,  16,  nullptr,   true,  D, "00:00:00",       0x0000FFFF},
 {"透明标签_状态",    K::TransparentLabel, 16,  448, 212, 16,  nullptr,   true,  D, "已停止",         kOrange},
 {"图形按钮_上一台",  K::PictureButton,    12,  410, 33,  33,  nullptr,   true,  H, nullptr,          0,          0,          0,       nullptr,  kNoColour,  {art::PreviousNormal, art::PreviousHover}},
 {"图形按钮_播放",    K::PictureButton,    46,  406, 37,  37,  nullptr,   true,  H, nullptr,          0,          0,          0,       nullptr,  0x00FFFFFF, {art::PlayNormal, art::PlayHover}},
 {"图形按钮_下一台",  K::PictureButton,    85,  410, 33,  33,  nullptr,   true,  H, nullptr,          0,          0,          0,       nullptr,  kNoColour,  {art::NextNormal, art::NextHover}},
 {"透明标签_建议",    K::TransparentLabel, 227, 5,   24,  16,  nullptr,   true,  H, "建议",           kLinkGrey},
 {"透明标签_官网",    K::TransparentLabel, 190, 5,   24,  16,  nullptr,   true,  H, "Ostrel",         kLinkGrey},
 {"图形按钮_静音",    K::PictureButton,    17,  467, 14,  14,  nullptr,   true,  H, nullptr,          0,          0,          0,       nullptr,  0x00FFFFFF},
 {"多功能条1",        K::VolumeBar,        37,  471, 108, 9,   nullptr,   true,  D, nullptr,          0,          0,          0,       &kSong12, kNoColour,  {art::TrackFirst, art::TrackSecond, nullptr, art::Knob},    50},
 {"图形按钮_QQ",      K::PictureButton,    154, 2,   29,  22,  nullptr,   true,  H, nullptr,          0,          0,          0,       nullptr,  0x0000FFFF, {art::ContactNormal, art::ContactHover}},
 {"图形按钮_最小化",  K::PictureButton,    257, -1,  35,  24,  nullptr,   true,  D, nullptr,          0,          0,          0,       nullptr,  0x00FF00FF, {art::MinimiseNormal, art::MinimiseHover, art::MinimisePressed}},
 {"时钟_时间",        K::Timer,            0,   0,   0,   0,   nullptr,   false, D, nullptr,          0,          0,          0,       nullptr,  kNoColour,  {},                                                              0},
 {"播放器1",          K::Object,           146, 248, 70,  72,  nullptr,   false, D, nullptr,          0,          0,          0,       nullptr,  kNoColour,  {},                                                              0,  MakeObjectControl<MediaPlayerControl>},
 {"超级列表框_名称",  K::ListView,         112, 25,  208, 351, nullptr,   true,  D, nullptr,          0x00489393, 0x00FFFFFF, 0,       &kSong14, kNoColour,  {art::RowIcons}},
};
// clang-format on

}  // namespace

// clang-format off
BoundMainWindow::BoundMainWindow(const MainWindowHandlers& h)
    : bindings_{{
 {nullptr,            Event::Created,         h.created},
 {nullptr,            Event::Closing,         h.closing},
 {nullptr,            Event::TrayIcon,        h.trayIcon},
 {"透明标签1",        Event::Click,           h.provinceLabelClick},
 {"图形按钮_关闭",    Event::Click,           h.closeButtonClick},
 {"图形按钮_上一台",  Event::Click,           h.previousStationClick},
 {"图形按钮_播放",    Event::Click,           h.playButtonClick},
 {"图形按钮_下一台",  Event::Click,           h.nextStationClick},
 {"透明标签_建议",    Event::Click,           h.suggestionLinkClick},
 {"透明标签_官网",    Event::Click,           h.websiteLinkClick},
 {"图形按钮_静音",    Event::Click,           h.muteButtonClick},
 {"多功能条1",        Event::PositionChanged, h.volumeBarChanged},
 {"图形按钮_QQ",      Event::Click,           h.contactButtonClick},
 {"图形按钮_最小化",  Event::Click,           h.minimiseButtonClick},
 {"时钟_时间",        Event::Tick,            h.elapsedTimerTick},
 {"播放器1",          Event::StatusChange,    h.playerStatusChange},
 {"超级列表框_名称",  Event::RowChosen,       h.stationListEvent},
      }},
      definition_{.title = "Quorvinv1.0",
                  .left = 50,
                  .top = 50,
                  .width = 346,
                  .height = 507,
                  .face = art::Face,
                  .controls = kControls,
                  .bindings = bindings_,
                  .built = BindForm} {}
// clang-format on

}  // namespace qv
