#include "qt_pictures.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace qv {
namespace {

// Reads little-endian fields from a byte set; every read is checked against its end.
class Reader final {
  public:
    explicit Reader(const Bytes& bytes) : bytes_(bytes) {}

    [[nodiscard]] bool Has(size_t n) const {
        return at_ <= bytes_.size() && bytes_.size() - at_ >= n;
    }
    [[nodiscard]] size_t At() const { return at_; }

    std::optional<std::uint32_t> U16() { return Take(2); }
    std::optional<std::uint32_t> U32() { return Take(4); }
    bool Skip(size_t n) {
        if (!Has(n)) {
            return false;
        }
        at_ += n;
        return true;
    }

  private:
    std::optional<std::uint32_t> Take(size_t n) {
        if (!Has(n)) {
            return std::nullopt;
        }
        std::uint32_t v = 0;
        for (size_t i = 0; i < n; ++i) {
            v |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes_[at_ + i])) << (8 * i);
        }
        at_ += n;
        return v;
    }

    const Bytes& bytes_;
    size_t at_ = 0;
};

struct BitmapHeader {
    int width = 0;
    int height = 0;  // rows; stored bottom-up unless topDown
    bool topDown = false;
    int bits = 0;
    size_t pixels = 0;  // where the pixel rows begin
};

// A BMP file image inside a stream: file header, info header, palette. The file header's size
// field is not trusted; the pixel rows follow the palette.
std::optional<BitmapHeader> ReadBitmapHeader(Reader& r) {
    const auto magic = r.U16();
    if (!magic || *magic != 0x4D42 || !r.Skip(12)) {  // "BM", bfSize, reserved, bfOffBits
        return std::nullopt;
    }
    const size_t info = r.At();
    const auto size = r.U32();
    const auto width = r.U32();
    const auto height = r.U32();
    const auto planes = r.U16();
    const auto bits = r.U16();
    if (!size || !width || !height || !planes || !bits || *size < 40 || !r.Skip(16)) {
        return std::nullopt;
    }
    const auto used = r.U32();
    if (!used || !r.Skip(info + *size - r.At())) {
        return std::nullopt;
    }
    BitmapHeader h;
    const auto w = static_cast<std::int32_t>(*width);
    const auto ht = static_cast<std::int32_t>(*height);
    if (w <= 0 || ht == 0 || ht == INT32_MIN || w > 1 << 16 || (ht > 0 ? ht : -ht) > 1 << 16) {
        return std::nullopt;
    }
    h.width = w;
    h.topDown = ht < 0;
    h.height = ht < 0 ? -ht : ht;
    h.bits = static_cast<int>(*bits);
    if (h.bits <= 8) {
        const std::uint32_t colours = *used != 0 ? *used : (1u << h.bits);
        if (colours > 256 || !r.Skip(colours * 4)) {
            return std::nullopt;
        }
    }
    h.pixels = r.At();
    return h;
}

size_t RowBytes(int width, int bits) {
    return (static_cast<size_t>(width) * static_cast<size_t>(bits) + 31) / 32 * 4;
}

// `v` as an n-byte little-endian field; bytes past the fourth are zero (a shift by 32 or more
// is undefined).
void Put(Bytes& out, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) {
        out.push_back(i < 4 ? static_cast<char>((v >> (8 * i)) & 0xFF) : '\0');
    }
}

// Qt's BMP reader leaves the pixels that a short or run-length file does not cover as it finds
// them in memory. It fills a picture of the stated size and kind in place, so a cleared one makes
// those pixels black rather than undefined. Null when the header states no usable size, or more
// than the reader's own allocation limit allows.
QImage ClearedPicture(QImageReader& reader) {
    const QSize stated = reader.size();
    const QImage::Format kind = reader.imageFormat();
    // A top-down BMP states its height negative.
    const qint64 width = stated.width();
    const qint64 height = std::abs(qint64{stated.height()});
    if (width <= 0 || height <= 0 || height > INT_MAX || kind == QImage::Format_Invalid) {
        return {};
    }
    const qint64 line = (width * QImage::toPixelFormat(kind).bitsPerPixel() + 31) / 32 * 4;
    const qint64 limit = qint64{QImageReader::allocationLimit()} * 1024 * 1024;
    if (limit != 0 && (line > limit || height > limit / line)) {
        return {};
    }
    QImage image(static_cast<int>(width), static_cast<int>(height), kind);
    image.fill(0);
    return image;
}

}  // namespace

QImage DecodePicture(const Bytes& picture) {
    // The program holds BMP and JPEG files only; no other reader sees its bytes.
    const char* format = picture.starts_with("BM")             ? "bmp"
                         : picture.starts_with("\xFF\xD8\xFF") ? "jpeg"
                                                               : nullptr;
    if (format == nullptr) {
        return {};
    }
    QByteArray bytes =
        QByteArray::fromRawData(picture.data(), static_cast<qsizetype>(picture.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    QImage image = ClearedPicture(reader);
    if (!reader.read(&image)) {
        return {};
    }
    return image;
}

Bytes TakePicture(const Bytes& group, int n) {
    Reader r(group);
    if (group.size() < 8 || std::memcmp(group.data(), "MITL", 4) != 0 || !r.Skip(8)) {
        return {};
    }
    const auto magic = r.U16();
    const auto version = r.U16();
    const auto count = r.U16();
    const auto capacity = r.U16();
    const auto grow = r.U16();
    const auto cx = r.U16();
    const auto cy = r.U16();
    const auto background = r.U32();
    const auto flags = r.U16();
    if (!magic || !version || !count || !capacity || !grow || !cx || !cy || !background || !flags ||
        *magic != 0x4C49 || !r.Skip(8)) {
        return {};
    }
    const int w = static_cast<int>(*cx);
    const int h = static_cast<int>(*cy);
    if (n < 0 || n >= static_cast<int>(*count) || w <= 0 || h <= 0) {
        return {};
    }
    const auto colour = ReadBitmapHeader(r);
    if (!colour || colour->bits != 32) {
        return {};
    }
    const size_t colourRow = RowBytes(colour->width, 32);
    if (!r.Skip(colourRow * static_cast<size_t>(colour->height))) {
        return {};
    }
    if ((*flags & 0x0001) != 0) {
        const auto mask = ReadBitmapHeader(r);
        if (!mask || mask->bits != 1 ||
            !r.Skip(RowBytes(mask->width, 1) * static_cast<size_t>(mask->height))) {
            return {};
        }
    }
    // Cell n: column n % 4, row n / 4 from the top of the strip.
    const int left = (n % 4) * w;
    const int top = (n / 4) * h;
    if (left + w > colour->width || top + h > colour->height) {
        return {};
    }
    const size_t outRow = RowBytes(w, 24);
    Bytes out;
    out.reserve(54 + outRow * static_cast<size_t>(h));
    out += "BM";
    Put(out, static_cast<std::uint32_t>(54 + outRow * static_cast<size_t>(h)), 4);
    Put(out, 0, 4);
    Put(out, 54, 4);
    Put(out, 40, 4);
    Put(out, static_cast<std::uint32_t>(w), 4);
    Put(out, static_cast<std::uint32_t>(h), 4);
    Put(out, 1, 2);
    Put(out, 24, 2);
    Put(out, 0, 4);
    Put(out, static_cast<std::uint32_t>(outRow * static_cast<size_t>(h)), 4);
    out.append(16, '\0');               // resolution and palette counts
    for (int y = h - 1; y >= 0; --y) {  // bottom-up, like the strip
        const int stripRow = top + y;
        const int stored = colour->topDown ? stripRow : colour->height - 1 - stripRow;
        const size_t line = colour->pixels + colourRow * static_cast<size_t>(stored);
        for (int x = 0; x < w; ++x) {
            const size_t p = line + static_cast<size_t>(left + x) * 4;
            out.append(group, p, 3);
        }
        out.append(outRow - static_cast<size_t>(w) * 3, '\0');
    }
    return out;
}

std::vector<QRect> OutlineRuns(const Bytes& mask, Colour key) {
    std::vector<QRect> runs;
    const QImage img = DecodePicture(mask).convertToFormat(QImage::Format_RGB32);
    if (img.isNull()) {
        return runs;
    }
    const QRgb cut = qRgb(static_cast<int>(key & 0xFF), static_cast<int>((key >> 8) & 0xFF),
                          static_cast<int>((key >> 16) & 0xFF));
    for (int y = 0; y < img.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        int x = 0;
        while (x < img.width()) {
            if ((line[x] & 0xFFFFFF) == (cut & 0xFFFFFF)) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < img.width() && (line[x] & 0xFFFFFF) != (cut & 0xFFFFFF)) {
                ++x;
            }
            runs.emplace_back(start, y, x - start, 1);
        }
    }
    return runs;
}

}  // namespace qv
