#pragma once
// The program's GBK texts where they meet Qt's strings.
#include <QString>
#include <string_view>

#include "texts/text.h"

namespace qv {

[[nodiscard]] QString ToQString(std::string_view gbk);
[[nodiscard]] Text FromQString(const QString& s);

}  // namespace qv
