#include "ui/form.h"

#include "ui/objects.h"

namespace qv {

MainForm& Form() {
    static MainForm f;
    return f;
}

void BindForm(Window* w) {
    MainForm& f = Form();
    f = MainForm{};
    f.窗口 = w;
    f.透明标签1 = w->get<TransparentLabel>("透明标签1");
    f.标签3 = w->get<Label>("标签3");
    f.标签2 = w->get<Label>("标签2");
    f.外形框1 = w->get<ShapeBox>("外形框1");
    f.图形按钮_关闭 = w->get<PictureButton>("图形按钮_关闭");
    f.透明标签2 = w->get<TransparentLabel>("透明标签2");
    f.透明标签_名称 = w->get<TransparentLabel>("透明标签_名称");
    if (auto* c = w->get<DatabaseControl>("数据库连接1"))
        f.数据库连接1 = &c->connection;
    if (auto* r = w->get<RecordSetControl>("记录集1"))
        f.记录集1 = &r->records;
    f.透明标签_时间 = w->get<TransparentLabel>("透明标签_时间");
    f.透明标签_状态 = w->get<TransparentLabel>("透明标签_状态");
    f.图形按钮_上一台 = w->get<PictureButton>("图形按钮_上一台");
    f.图形按钮_播放 = w->get<PictureButton>("图形按钮_播放");
    f.图形按钮_下一台 = w->get<PictureButton>("图形按钮_下一台");
    f.透明标签_建议 = w->get<TransparentLabel>("透明标签_建议");
    f.透明标签_官网 = w->get<TransparentLabel>("透明标签_官网");
    f.图形按钮_静音 = w->get<PictureButton>("图形按钮_静音");
    f.多功能条1 = w->get<VolumeBar>("多功能条1");
    f.图形按钮_QQ = w->get<PictureButton>("图形按钮_QQ");
    f.图形按钮_最小化 = w->get<PictureButton>("图形按钮_最小化");
    f.时钟_时间 = w->get<Timer>("时钟_时间");
    if (auto* p = w->get<MediaPlayerControl>("播放器1"))
        f.播放器1 = &p->player();
    f.超级列表框_名称 = w->get<ListView>("超级列表框_名称");
}

}  // namespace qv
