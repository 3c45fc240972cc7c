#include "paint.h"

#include <QSvgRenderer>
#include <algorithm>
#include <stdexcept>

namespace artgen {
namespace {

QRgb Mix(QRgb a, QRgb b, double t) {
    // A mix of two channels is never negative, so adding a half rounds it.
    // NOLINTNEXTLINE(bugprone-incorrect-roundings)
    auto m = [t](int x, int y) { return static_cast<int>(x + (y - x) * t + 0.5); };
    return qRgb(m(qRed(a), qRed(b)), m(qGreen(a), qGreen(b)), m(qBlue(a), qBlue(b)));
}

QRgb Shift(QRgb c, int d) {
    auto s = [d](int v) { return std::clamp(v + d, 0, 255); };
    return qRgb(s(qRed(c)), s(qGreen(c)), s(qBlue(c)));
}

}  // namespace

QRgb Ground(int x, int y) {
    const bool odd = ((x + y) & 1) != 0;
    if (y <= 24) {
        const double t = std::clamp(y, 0, 24) / 24.0;
        const QRgb base = Mix(qRgb(0xF4, 0x9A, 0x3E), qRgb(0xD6, 0x66, 0x1A), t);
        return Shift(base, odd ? -5 : 3);
    }
    if (y >= 404) {
        const double t = std::clamp(y - 404, 0, 85) / 85.0;
        const QRgb base = Mix(qRgb(0xF6, 0xA2, 0x48), qRgb(0xEA, 0x86, 0x2E), t);
        return Shift(base, odd ? -6 : 3);
    }
    return qRgb(255, 255, 255);
}

QImage GroundPicture(int w, int h, QPoint at) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            img.setPixel(x, y, Ground(at.x() + x, at.y() + y));
        }
    }
    return img;
}

void Smooth(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setRenderHint(QPainter::TextAntialiasing);
}

void RenderSvg(QPainter& p, const QString& file, const QRectF& bounds) {
    QSvgRenderer svg(file);
    if (!svg.isValid()) {
        throw std::runtime_error("cannot render " + file.toStdString());
    }
    svg.render(&p, bounds);
}

void AvoidColour(QImage& image, QRgb key) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            if ((c & 0xFFFFFF) == (key & 0xFFFFFF)) {
                image.setPixel(x, y, Shift(c, qRed(c) + qGreen(c) + qBlue(c) > 382 ? -3 : 3));
            }
        }
    }
}

}  // namespace artgen
