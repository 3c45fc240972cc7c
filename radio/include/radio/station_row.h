#pragma once
// The fields of a station row in table radio, as the record set reads them.
#include "texts/text.h"

namespace qv {

inline const Text kNameField = Gbk("电台名称");
inline const Text kProvinceField = Gbk("省份");
inline const Text kLinkField = Gbk("链接");

}  // namespace qv
