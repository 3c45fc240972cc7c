#pragma once
// The catalogue's station table and the fields of a station row, as the record set reads them.
#include "database/database.h"
#include "texts/text.h"

namespace qv {

inline const Text kStationTable = "radio";
inline const Text kNameField = Gbk("电台名称");
inline const Text kProvinceField = Gbk("省份");
inline const Text kLinkField = Gbk("链接");

// What a catalogue must hold for the program to open it.
[[nodiscard]] inline TableShape StationTable() {
    return {kStationTable, {kNameField, kProvinceField, kLinkField}};
}

}  // namespace qv
