#pragma once
// Pictures held as byte sets (BMP or JPEG files, whole) and picture groups in their stored form
// ("MITL", a word, an image-list stream with a 32-bit colour strip and a 1-bit mask, and for
// flags 0x1021 a 22-byte trailer).
#include <cstdint>

#include "texts/text.h"

namespace qv {

using Colour = std::uint32_t;  // 0x00BBGGRR
inline constexpr Colour kNoColour = 0xFF000000;

// Picture n (from 0) of a group as a 24-bit BMP of the group's picture size; masked-out pixels
// keep the background colour they are stored in (white). Empty for a number outside 0..count-1
// or a group that cannot be read.
[[nodiscard]] Bytes TakePicture(const Bytes& group, int n);

}  // namespace qv
