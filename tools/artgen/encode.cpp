#include "encode.h"

#include <QBuffer>
#include <QImageWriter>
#include <algorithm>
#include <array>
#include <map>
#include <stdexcept>

namespace artgen {
namespace {

void Put16(QByteArray& out, std::uint32_t v) {
    out.append(static_cast<char>(v & 0xFF));
    out.append(static_cast<char>((v >> 8) & 0xFF));
}

void Put32(QByteArray& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void FileHeader(QByteArray& out, std::uint32_t size, std::uint32_t offset) {
    out.append("BM");
    Put32(out, size);
    Put32(out, 0);
    Put32(out, offset);
}

void InfoHeader(QByteArray& out, int w, int h, int bits, std::uint32_t imageSize) {
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(w));
    Put32(out, static_cast<std::uint32_t>(h));
    Put16(out, 1);
    Put16(out, static_cast<std::uint32_t>(bits));
    Put32(out, 0);
    Put32(out, imageSize);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
}

QByteArray Encode(const QImage& image, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "JPEG");
    writer.setQuality(quality);
    if (!writer.write(image.convertToFormat(QImage::Format_RGB32))) {
        throw std::runtime_error("JPEG encoding failed: " + writer.errorString().toStdString());
    }
    return bytes;
}

}  // namespace

QByteArray Bmp24(const QImage& image, int trailing) {
    const QImage img = image.convertToFormat(QImage::Format_RGB32);
    const int w = img.width();
    const int h = img.height();
    const int row = (w * 3 + 3) / 4 * 4;
    const auto pixels = static_cast<std::uint32_t>(row * h + trailing);
    QByteArray out;
    FileHeader(out, 54 + pixels, 54);
    InfoHeader(out, w, h, 24, pixels);
    for (int y = h - 1; y >= 0; --y) {
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            out.append(static_cast<char>(qBlue(line[x])));
            out.append(static_cast<char>(qGreen(line[x])));
            out.append(static_cast<char>(qRed(line[x])));
        }
        out.append(QByteArray(row - w * 3, '\0'));
    }
    out.append(QByteArray(trailing, '\0'));
    return out;
}

QByteArray Jpeg(const QImage& image, int quality, const QRgb* avoid) {
    QImage work = image.convertToFormat(QImage::Format_RGB32);
    for (int round = 0; round < 64; ++round) {
        QByteArray bytes = Encode(work, quality);
        if (avoid == nullptr) {
            return bytes;
        }
        const QImage back = QImage::fromData(bytes, "JPEG").convertToFormat(QImage::Format_RGB32);
        bool clean = true;
        for (int y = 0; y < back.height(); ++y) {
            for (int x = 0; x < back.width(); ++x) {
                if ((back.pixel(x, y) & 0xFFFFFF) != (*avoid & 0xFFFFFF)) {
                    continue;
                }
                clean = false;
                // Pull the source pixel toward mid-grey: the decoder lands off the key next time.
                const QRgb p = work.pixel(x, y);
                auto pull = [round](int c) { return c > 128 ? c - 2 - round : c + 2 + round; };
                work.setPixel(x, y, qRgb(pull(qRed(p)), pull(qGreen(p)), pull(qBlue(p))));
            }
        }
        if (clean) {
            return bytes;
        }
    }
    throw std::runtime_error("JPEG keeps a transparent-colour pixel");
}

QByteArray PadJpeg(const QByteArray& jpeg, int length) {
    // After SOI and the JFIF APP0 segment.
    if (jpeg.size() < 4 || static_cast<unsigned char>(jpeg[2]) != 0xFF ||
        static_cast<unsigned char>(jpeg[3]) != 0xE0) {
        throw std::runtime_error("not a JFIF JPEG");
    }
    const int app0 =
        4 + ((static_cast<unsigned char>(jpeg[4]) << 8) | static_cast<unsigned char>(jpeg[5]));
    QByteArray out = jpeg.left(app0);
    const int need = length - static_cast<int>(jpeg.size());
    if (need != 0) {
        if (need < 4 || need - 4 > 65533) {
            throw std::runtime_error("JPEG padding cannot land on the length");
        }
        const int payload = need - 4;
        out.append(static_cast<char>(0xFF));
        out.append(static_cast<char>(0xFE));
        out.append(static_cast<char>(((payload + 2) >> 8) & 0xFF));
        out.append(static_cast<char>((payload + 2) & 0xFF));
        const QByteArray text("Quorvin list background. ");
        QByteArray fill;
        while (fill.size() < payload) {
            fill.append(text);
        }
        out.append(fill.left(payload));
    }
    out.append(jpeg.mid(app0));
    if (out.size() != length) {
        throw std::runtime_error("JPEG is longer than its stored length");
    }
    return out;
}

QByteArray Group(const std::vector<GroupPicture>& pictures, int w, int h, std::uint16_t flags) {
    constexpr int kCapacity = 6;
    const int sw = 4 * w;
    const int sh = (kCapacity + 3) / 4 * h;
    QByteArray out("MITL");
    Put32(out, 0xFF000000u);
    // Image-list stream header.
    Put16(out, 0x4C49);
    Put16(out, 0x0101);
    Put16(out, static_cast<std::uint32_t>(pictures.size()));
    Put16(out, kCapacity);
    Put16(out, 4);
    Put16(out, static_cast<std::uint32_t>(w));
    Put16(out, static_cast<std::uint32_t>(h));
    Put32(out, 0x00FFFFFF);
    Put16(out, flags);
    for (int i = 0; i < 4; ++i) {
        Put16(out, 0xFFFF);
    }
    // Strip pixels, top row first; cells past the count stay zero.
    std::vector<QRgb> colour(static_cast<size_t>(sw * sh), 0);
    std::vector<bool> see(static_cast<size_t>(sw * sh), false);
    for (size_t i = 0; i < pictures.size(); ++i) {
        const QImage img = pictures[i].colour.convertToFormat(QImage::Format_RGB32);
        if (img.width() != w || img.height() != h) {
            throw std::runtime_error("group picture of the wrong size");
        }
        const int ox = static_cast<int>(i % 4) * w;
        const int oy = static_cast<int>(i / 4) * h;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const bool s = !pictures[i].seeThrough.empty() &&
                               pictures[i].seeThrough[static_cast<size_t>(y * w + x)];
                const size_t at = static_cast<size_t>((oy + y) * sw + ox + x);
                see[at] = s;
                colour[at] = s ? 0x00FFFFFFu : (img.pixel(x, y) & 0x00FFFFFFu);
            }
        }
    }
    const auto colourSize = static_cast<std::uint32_t>(sw * sh * 4);
    FileHeader(out, 54, 54);
    InfoHeader(out, sw, sh, 32, colourSize);
    for (int y = sh - 1; y >= 0; --y) {
        for (int x = 0; x < sw; ++x) {
            Put32(out, colour[static_cast<size_t>(y * sw + x)]);
        }
    }
    const int maskRow = (sw + 31) / 32 * 4;
    FileHeader(out, 62, 62);
    InfoHeader(out, sw, sh, 1, static_cast<std::uint32_t>(maskRow * sh));
    Put32(out, 0x00000000);
    Put32(out, 0x00FFFFFF);
    for (int y = sh - 1; y >= 0; --y) {
        QByteArray row(maskRow, '\0');
        for (int x = 0; x < sw; ++x) {
            if (see[static_cast<size_t>(y * sw + x)]) {
                row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
            }
        }
        out.append(row);
    }
    if (flags == kFlagsMask32Trailer) {
        out.append(QByteArray(22, '\0'));
    }
    return out;
}

namespace {

struct Indexed {
    std::vector<QRgb> palette;
    std::vector<int> index;  // per pixel, -1 for transparent
};

int Nearest(const std::vector<QRgb>& palette, QRgb c) {
    int best = 0;
    long bestD = -1;
    for (size_t i = 0; i < palette.size(); ++i) {
        const long dr = qRed(palette[i]) - qRed(c);
        const long dg = qGreen(palette[i]) - qGreen(c);
        const long db = qBlue(palette[i]) - qBlue(c);
        const long d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (bestD < 0 || d < bestD) {
            bestD = d;
            best = static_cast<int>(i);
        }
    }
    return best;
}

// Popularity palette on 4-bit channels, refined by a few k-means rounds.
Indexed Quantise(const QImage& img, int colours) {
    Indexed r;
    std::vector<QRgb> opaque;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            if (qAlpha(p) >= 128) {
                opaque.push_back(p);
            }
        }
    }
    std::map<QRgb, int> counts;
    for (QRgb p : opaque) {
        ++counts[qRgb(qRed(p) & 0xF0, qGreen(p) & 0xF0, qBlue(p) & 0xF0)];
    }
    std::vector<std::pair<int, QRgb>> ranked;
    for (auto [c, n] : counts) {
        ranked.emplace_back(n, c);
    }
    std::sort(ranked.rbegin(), ranked.rend());
    for (size_t i = 0; i < ranked.size() && static_cast<int>(r.palette.size()) < colours; ++i) {
        r.palette.push_back(ranked[i].second | 0x080808u);
    }
    if (r.palette.empty()) {
        r.palette.push_back(0);
    }
    for (int round = 0; round < 6; ++round) {
        std::vector<std::array<long, 4>> sum(r.palette.size(), {0, 0, 0, 0});
        for (QRgb p : opaque) {
            auto& s = sum[static_cast<size_t>(Nearest(r.palette, p))];
            s[0] += qRed(p);
            s[1] += qGreen(p);
            s[2] += qBlue(p);
            ++s[3];
        }
        for (size_t i = 0; i < r.palette.size(); ++i) {
            if (sum[i][3] > 0) {
                r.palette[i] = qRgb(static_cast<int>(sum[i][0] / sum[i][3]),
                                    static_cast<int>(sum[i][1] / sum[i][3]),
                                    static_cast<int>(sum[i][2] / sum[i][3]));
            }
        }
    }
    while (static_cast<int>(r.palette.size()) < colours) {
        r.palette.push_back(0);
    }
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            r.index.push_back(qAlpha(p) >= 128 ? Nearest(r.palette, p) : -1);
        }
    }
    return r;
}

QByteArray IcoImage(const QImage& source, int bits) {
    const QImage img = source.convertToFormat(QImage::Format_ARGB32);
    const int s = img.width();
    QByteArray out;
    const int xorRow = (s * bits + 31) / 32 * 4;
    const int andRow = (s + 31) / 32 * 4;
    const int colours = bits <= 8 ? 1 << bits : 0;
    InfoHeader(out, s, 2 * s, bits, static_cast<std::uint32_t>((xorRow + andRow) * s));
    std::vector<bool> clear(static_cast<size_t>(s * s));
    if (bits == 32) {
        for (int y = s - 1; y >= 0; --y) {
            for (int x = 0; x < s; ++x) {
                const QRgb p = img.pixel(x, y);
                clear[static_cast<size_t>(y * s + x)] = qAlpha(p) == 0;
                Put32(out, p);
            }
        }
    } else {
        const Indexed q = Quantise(img, colours);
        for (QRgb c : q.palette) {
            Put32(out, c & 0x00FFFFFFu);
        }
        for (int y = s - 1; y >= 0; --y) {
            QByteArray row(xorRow, '\0');
            for (int x = 0; x < s; ++x) {
                const int i = q.index[static_cast<size_t>(y * s + x)];
                clear[static_cast<size_t>(y * s + x)] = i < 0;
                const int v = i < 0 ? 0 : i;
                if (bits == 8) {
                    row[x] = static_cast<char>(v);
                } else {
                    const int shift = (x % 2 == 0) ? 4 : 0;
                    row[x / 2] = static_cast<char>(row[x / 2] | (v << shift));
                }
            }
            out.append(row);
        }
    }
    for (int y = s - 1; y >= 0; --y) {
        QByteArray row(andRow, '\0');
        for (int x = 0; x < s; ++x) {
            if (clear[static_cast<size_t>(y * s + x)]) {
                row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
            }
        }
        out.append(row);
    }
    return out;
}

}  // namespace

QByteArray Ico(const std::vector<QImage>& pictures) {
    std::vector<std::pair<int, QByteArray>> images;
    for (int bits : {4, 8, 32}) {
        for (const QImage& p : pictures) {
            images.emplace_back(bits, IcoImage(p, bits));
        }
    }
    QByteArray out;
    Put16(out, 0);
    Put16(out, 1);
    Put16(out, static_cast<std::uint32_t>(images.size()));
    auto offset = static_cast<std::uint32_t>(6 + 16 * images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        const int s = pictures[i % pictures.size()].width();
        const int bits = images[i].first;
        out.append(static_cast<char>(s));
        out.append(static_cast<char>(s));
        out.append(static_cast<char>(bits == 4 ? 16 : 0));
        out.append('\0');
        Put16(out, 1);
        Put16(out, static_cast<std::uint32_t>(bits));
        Put32(out, static_cast<std::uint32_t>(images[i].second.size()));
        Put32(out, offset);
        offset += static_cast<std::uint32_t>(images[i].second.size());
    }
    for (const auto& im : images) {
        out.append(im.second);
    }
    return out;
}

}  // namespace artgen
