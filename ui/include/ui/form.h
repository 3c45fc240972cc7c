#pragma once
// The main window's controls by their names, bound once the window is built.
#include "database/database.h"
#include "player/media_player.h"
#include "widgets/list_view.h"
#include "widgets/window.h"
#include "widgets/window_definition.h"

namespace qv {

struct MainForm {
    Window* 窗口 = nullptr;
    TransparentLabel* 透明标签1 = nullptr;
    Label* 标签3 = nullptr;
    Label* 标签2 = nullptr;
    ShapeBox* 外形框1 = nullptr;
    PictureButton* 图形按钮_关闭 = nullptr;
    TransparentLabel* 透明标签2 = nullptr;
    TransparentLabel* 透明标签_名称 = nullptr;
    DbConnection* 数据库连接1 = nullptr;
    RecordSet* 记录集1 = nullptr;
    TransparentLabel* 透明标签_时间 = nullptr;
    TransparentLabel* 透明标签_状态 = nullptr;
    PictureButton* 图形按钮_上一台 = nullptr;
    PictureButton* 图形按钮_播放 = nullptr;
    PictureButton* 图形按钮_下一台 = nullptr;
    TransparentLabel* 透明标签_建议 = nullptr;
    TransparentLabel* 透明标签_官网 = nullptr;
    PictureButton* 图形按钮_静音 = nullptr;
    VolumeBar* 多功能条1 = nullptr;
    PictureButton* 图形按钮_QQ = nullptr;
    PictureButton* 图形按钮_最小化 = nullptr;
    Timer* 时钟_时间 = nullptr;
    MediaPlayer* 播放器1 = nullptr;
    ListView* 超级列表框_名称 = nullptr;
};

[[nodiscard]] MainForm& Form();
// Fills Form() from the window's controls; run by the window builder before the created event.
void BindForm(Window* window);

}  // namespace qv
