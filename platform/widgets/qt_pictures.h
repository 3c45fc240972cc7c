#pragma once
// Pictures as Qt images: decoding, and the outline of a mask.
#include <QImage>
#include <QRect>
#include <vector>

#include "widgets/pictures.h"

namespace qv {

// A BMP or JPEG decoded; a null image for an empty or undecodable byte set.
[[nodiscard]] QImage DecodePicture(const Bytes& picture);

// The outline of a mask picture: per row, from the top, the runs of pixels whose colour differs
// exactly from `key`, as one-pixel-high rectangles (x, y, width, 1).
[[nodiscard]] std::vector<QRect> OutlineRuns(const Bytes& mask, Colour key);

}  // namespace qv
