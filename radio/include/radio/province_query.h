#pragma once
// The SQL of a province's listing, apart from the list it fills, so it can be run on its own.
#include "texts/text.h"

namespace qv {

// The stations whose province contains the text, by name. The text is quoted the SQL way, so a
// quote mark in it stays part of the pattern; % and _ stay wildcards.
[[nodiscard]] Text ProvinceQuery(const Text& province);

}  // namespace qv
