#include <QPainterPath>
#include <algorithm>
#include <numeric>

#include "art.h"
#include "paint.h"

namespace artgen {
namespace {

// Only the top-left pixel is see-through.
std::vector<bool> CornerSeeThrough(int w, int h) {
    std::vector<bool> see(static_cast<size_t>(w * h), false);
    see[0] = true;
    return see;
}

QImage Transparent(int w, int h) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

// The `keep` most opaque pixels are drawn (over white), the rest see-through.
GroupPicture KeepMostOpaque(const QImage& drawing, int keep) {
    const QImage img = drawing.convertToFormat(QImage::Format_ARGB32);
    const int n = img.width() * img.height();
    std::vector<int> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    auto alpha = [&](int i) { return qAlpha(img.pixel(i % img.width(), i / img.width())); };
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return alpha(a) > alpha(b); });
    GroupPicture pic{QImage(img.width(), img.height(), QImage::Format_RGB32),
                     std::vector<bool>(static_cast<size_t>(n), true)};
    pic.colour.fill(Qt::white);
    for (int k = 0; k < keep && k < n; ++k) {
        const int i = order[static_cast<size_t>(k)];
        pic.seeThrough[static_cast<size_t>(i)] = false;
        const QRgb c = img.pixel(i % img.width(), i / img.width());
        const int a = std::max(qAlpha(c), 1);
        auto over = [a](int v) { return std::clamp(v + (255 - a) * (255 - v) / 255, 0, 255); };
        pic.colour.setPixel(i % img.width(), i / img.width(),
                            qRgb(over(qRed(c)), over(qGreen(c)), over(qBlue(c))));
    }
    return pic;
}

void Speaker(QPainter& p, const QColor& fill, const QColor& line, QPointF at, qreal scale) {
    QPainterPath cone;
    cone.moveTo(at + QPointF(0, 2.2) * scale);
    cone.lineTo(at + QPointF(2.4, 2.2) * scale);
    cone.lineTo(at + QPointF(5.6, -0.6) * scale);
    cone.lineTo(at + QPointF(5.6, 8.6) * scale);
    cone.lineTo(at + QPointF(2.4, 5.8) * scale);
    cone.lineTo(at + QPointF(0, 5.8) * scale);
    cone.closeSubpath();
    p.setPen(line == Qt::transparent ? QPen(Qt::NoPen)
                                     : QPen(line, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(fill);
    p.drawPath(cone);
}

void Waves(QPainter& p, const QColor& c, QPointF centre, int count, qreal step, qreal width) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(c, width, Qt::SolidLine, Qt::RoundCap));
    for (int i = 1; i <= count; ++i) {
        const qreal r = step * i;
        p.drawArc(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), -45 * 16, 90 * 16);
    }
}

void Headphones(QPainter& p, const QColor& c) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(c, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(8, 3, 12, 14), 0, 180 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(QRectF(6.6, 9.5, 4.2, 7), 1.6, 1.6);
    p.drawRoundedRect(QRectF(17.2, 9.5, 4.2, 7), 1.6, 1.6);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(c, 1.2, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(1.5, 7, 6, 12), 100 * 16, 160 * 16);
    p.drawArc(QRectF(20.5, 7, 6, 12), -80 * 16, 160 * 16);
}

}  // namespace

std::vector<GroupPicture> LookPictures(bool playing) {
    std::vector<GroupPicture> pics;
    for (bool bright : {false, true}) {
        QImage img = DrawPlay(playing, bright);
        pics.push_back({img, CornerSeeThrough(37, 37)});
    }
    return pics;
}

std::vector<GroupPicture> SpeakerPictures() {
    std::vector<GroupPicture> pics;
    const QColor brown(0x4E, 0x24, 0x0C);
    for (int i = 0; i < 5; ++i) {
        QImage img = GroundPicture(14, 14, QPoint(17, 467));
        {
            QPainter p(&img);
            Smooth(p);
            p.fillRect(img.rect(), QColor(0xC8, 0x6A, 0x22, 70));
            Speaker(p, brown, Qt::transparent, QPointF(1.2, 2.7), 1.0);
            if (i < 4) {
                Waves(p, brown, QPointF(6.6, 7), 3 - i, 2.3, 1.1);
            } else {
                p.setBrush(Qt::NoBrush);
                p.setPen(QPen(QColor(0xD8, 0x1E, 0x1E), 1.5));
                p.drawEllipse(QRectF(6.2, 3.2, 7, 7));
                p.drawLine(QPointF(7.3, 9.1), QPointF(12.1, 4.3));
            }
        }
        AvoidColour(img, qRgb(255, 255, 255));
        pics.push_back({img, {}});
    }
    return pics;
}

std::vector<GroupPicture> TrackPicture(bool second) {
    QImage img = GroundPicture(115, 8, QPoint(37, 471));
    const QColor from = second ? QColor(0xB6, 0xE4, 0x32) : QColor(0x8E, 0xA4, 0x88);
    const QColor to = second ? QColor(0xFA, 0x8A, 0x70) : QColor(0xC2, 0x8A, 0x90);
    for (int x = 0; x < 115; ++x) {
        const double t = x / 114.0;
        // A mix of two channels is never negative, so adding a half rounds it.
        // NOLINTNEXTLINE(bugprone-incorrect-roundings)
        auto m = [t](int a, int b) { return static_cast<int>(a + (b - a) * t + 0.5); };
        const QRgb c =
            qRgb(m(from.red(), to.red()), m(from.green(), to.green()), m(from.blue(), to.blue()));
        img.setPixel(x, 3, c);
        img.setPixel(x, 4, qRgb(qRed(c) * 7 / 8, qGreen(c) * 7 / 8, qBlue(c) * 7 / 8));
    }
    return {{img, CornerSeeThrough(115, 8)}};
}

std::vector<GroupPicture> KnobPictures() {
    std::vector<GroupPicture> pics;
    for (int i = 0; i < 2; ++i) {
        const int lift = i == 0 ? 0 : 48;
        QImage img(4, 7, QImage::Format_RGB32);
        const int light[4] = {0x9C, 0x6E, 0x4A, 0x2A};
        for (int y = 0; y < 7; ++y) {
            for (int x = 0; x < 4; ++x) {
                const int edge = (y == 0 || y == 6) ? 24 : 0;
                const int v = light[x] - edge;
                img.setPixel(x, y,
                             qRgb(std::min(255, v / 3 + lift), std::min(255, v + 40 + lift),
                                  std::min(255, 200 + v / 4 + lift / 2)));
            }
        }
        pics.push_back({img, CornerSeeThrough(4, 7)});
    }
    return pics;
}

std::vector<GroupPicture> RowIconPictures() {
    constexpr int kKeep = 560 - 451;
    std::vector<GroupPicture> pics;
    {
        QImage img = Transparent(28, 20);
        QPainter p(&img);
        Smooth(p);
        Speaker(p, QColor(0x8C, 0x8C, 0x8C), Qt::transparent, QPointF(6, 5.6), 1.05);
        p.setPen(QPen(QColor(0x8C, 0x8C, 0x8C), 1.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(14.5, 6.5), QPointF(18, 4.5));
        p.drawLine(QPointF(15, 10), QPointF(19.5, 10));
        p.drawLine(QPointF(14.5, 13.5), QPointF(18, 15.5));
        p.end();
        pics.push_back(KeepMostOpaque(img, kKeep));
    }
    for (const QColor& c : {QColor(0x3C, 0xA8, 0x48), QColor(0x58, 0x58, 0x58)}) {
        QImage img(28, 20, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        Smooth(p);
        Headphones(p, c);
        pics.push_back({img, {}});
    }
    {
        QImage img = Transparent(28, 20);
        QPainter p(&img);
        Smooth(p);
        const QColor green(0xB0, 0xCC, 0x28);
        Speaker(p, green, QColor(0x10, 0x10, 0x10), QPointF(6, 5.6), 1.05);
        p.setPen(QPen(green, 1.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(15, 6.5), QPointF(18.5, 4.5));
        p.drawLine(QPointF(15.5, 10), QPointF(20, 10));
        p.drawLine(QPointF(15, 13.5), QPointF(18.5, 15.5));
        p.end();
        pics.push_back(KeepMostOpaque(img, kKeep));
    }
    return pics;
}

}  // namespace artgen
