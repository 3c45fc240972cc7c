#pragma once
// The skin's stored pictures, embedded in the program. Each returns the whole file (BMP, JPEG,
// picture group, ICO) as a byte set; the bytes live for the whole run. What each one is:
// art/artwork_list.h.
#include "texts/text.h"

namespace qv::art {

#define QV_ART(function, file) [[nodiscard]] const Bytes& function();
#include "art/artwork_list.h"
#undef QV_ART

}  // namespace qv::art
