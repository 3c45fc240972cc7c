#pragma once
// Fonts and colours of the window definition as Qt draws them.
#include <QColor>
#include <QFont>

#include "widgets/controls.h"

namespace qv {

[[nodiscard]] QFont MakeFont(const FontSpec* spec);
[[nodiscard]] QColor ToQColor(Colour c);

}  // namespace qv
