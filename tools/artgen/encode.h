#pragma once
// The stored file forms the program embeds: BMP, JPEG, picture groups, ICO.
#include <QByteArray>
#include <QImage>
#include <cstdint>
#include <vector>

namespace artgen {

// A 24-bit bottom-up BMP; `trailing` zero bytes follow the pixel rows (covered by bfSize).
[[nodiscard]] QByteArray Bmp24(const QImage& image, int trailing = 0);

// A baseline JFIF JPEG. When `avoid` is given, pixels that decode to exactly that colour are
// nudged and the picture encoded again until none is left.
[[nodiscard]] QByteArray Jpeg(const QImage& image, int quality, const QRgb* avoid = nullptr);

// A JPEG grown to exactly `length` bytes by a comment segment after the JFIF header.
[[nodiscard]] QByteArray PadJpeg(const QByteArray& jpeg, int length);

// One picture of a group: its colours and which pixels are see-through.
struct GroupPicture {
    QImage colour;
    std::vector<bool> seeThrough;  // w*h, row-major from the top; empty = none
};

inline constexpr std::uint16_t kFlagsMask32 = 0x21;
inline constexpr std::uint16_t kFlagsMask32Trailer = 0x1021;

// "MITL", the no-colour word, an image-list stream (capacity 6, grow 4, white background) and,
// for flags 0x1021, a 22-byte zero trailer.
[[nodiscard]] QByteArray Group(const std::vector<GroupPicture>& pictures, int w, int h,
                               std::uint16_t flags);

// Twelve images: the given square pictures (ARGB) at 4, 8 and 32 bits per pixel.
[[nodiscard]] QByteArray Ico(const std::vector<QImage>& pictures);

}  // namespace artgen
