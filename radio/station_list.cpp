// The station database, the station list with its grid of province labels, its background.
#include "radio/station_list.h"

#include <filesystem>

#include "art/artwork.h"
#include "files/folders.h"
#include "radio/province_query.h"
#include "radio/station_row.h"
#include "state/globals.h"
#include "ui/form.h"

namespace qv {
namespace {

const char* const kDatabaseFile = "mmsDT.dll";
const Text kConnectFailed = Gbk("数据库连接失败！！");
const Text kColumnTitle = Gbk("电台");
const Text kAllOrder = Gbk("省份 ASC");
const Text kCountHead = Gbk("共 ");
const Text kCountTail = Gbk(" 个电台");
const char* const kBackgroundFile = "temp.tem";

Text CountLine(int count) {
    return kCountHead + IntToText(count) + kCountTail;
}

// Every row shows the green headphones and stores 1.
constexpr int kRowPicture = 1;
constexpr int kRowValue = 1;

}  // namespace

void OpenStationDatabase() {
    MainForm& f = Form();
    RequireTable(*f.数据库连接1, StationTable());
    if (OpenConnection(*f.数据库连接1, kDatabaseFile, Text()) == 0) {
        ShowMessageBox(kConnectFailed, 0);
        ExitProgram(0);
    }
    AttachRecordSet(*f.记录集1, *f.数据库连接1);
}

void LoadStationList(int filter, const Text& province) {
    MainForm& f = Form();
    ListView& list = *f.超级列表框_名称;
    RecordSet& rs = *f.记录集1;
    if (filter == 0) {
        InsertListColumn(list, 0, kColumnTitle, 180, 0);
        ClearListRows(list);
        OpenRecordSetTable(rs, kStationTable, kAllOrder);
        f.透明标签2->setCaption(CountLine(RecordCount(rs)));
        const int count = RecordCount(rs);
        int n = 0;
        Text previous;
        Text name;
        Text prov;
        for (int i = 0; i < count; ++i) {
            ReadFieldText(rs, kNameField, name);
            ReadFieldText(rs, kProvinceField, prov);
            int row = AddListRow(list, -1, kRowPicture, kRowValue);
            SetListCellText(list, row, 0, name);
            if (prov != previous) {
                ++n;
                Control* copy = nullptr;
                CopyControl(*f.透明标签1, copy);
                if (copy) {
                    copy->setVisible(true);
                    copy->setLeft(f.透明标签1->left() + ((n - 1) % 2) * (copy->width() + 10));
                    copy->setTop(f.透明标签1->top() + ((n - 1) / 2) * (copy->height() + 2));
                }
                if (auto* label = dynamic_cast<TransparentLabel*>(CopiedControl(*f.窗口, n))) {
                    label->setCaption(prov);
                }
                previous = prov;
                if (G().provinceList)
                    G().provinceList->push_back(prov);
            }
            MoveToNextRecord(rs);
        }
    } else {
        OpenRecordSetQuery(rs, ProvinceQuery(province), 1);
        ClearListRows(list);
        f.透明标签2->setCaption(CountLine(RecordCount(rs)));
        const int count = RecordCount(rs);
        Text name;
        for (int i = 0; i < count; ++i) {
            ReadFieldText(rs, kNameField, name);
            int row = AddListRow(list, -1, kRowPicture, kRowValue);
            SetListCellText(list, row, 0, name);
            MoveToNextRecord(rs);
        }
    }
    const Bytes& picture = art::ListBackground();
    SetListBackgroundPicture(list, &picture);
}

void SetListBackgroundPicture(ListView& list, const Bytes* picture) {
    list.setTransparentTextBackground(true);
    {
        // The bytes are the same at every fill: a file that holds them already is left alone.
        const std::filesystem::path path = CacheFolder() / kBackgroundFile;
        static const Bytes kNothing;
        const Bytes& bytes = picture ? *picture : kNothing;
        if (!FileHoldsBytes(path, bytes))
            WriteBytesToFile(path, bytes);
    }
    list.setTiledBackground(CacheFolder() / kBackgroundFile);
}

void ResetProvinceLabelColours() {
    MainForm& f = Form();
    const int n = G().provinceList ? static_cast<int>(G().provinceList->size()) : 0;
    for (int i = 1; i <= n; ++i) {
        if (auto* label = dynamic_cast<TransparentLabel*>(CopiedControl(*f.窗口, i))) {
            label->setTextColour(f.透明标签1->textColour());
        }
    }
}

void OnProvinceLabelClick(int, int, int) {
    ResetProvinceLabelColours();
    auto* label = dynamic_cast<TransparentLabel*>(EventSourceControl());
    if (!label)
        return;
    label->setTextColour(0x00E03058);
    const Text caption = label->caption();
    LoadStationList(1, caption);
}

}  // namespace qv
