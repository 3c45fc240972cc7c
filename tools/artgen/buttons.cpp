#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

#include "art.h"
#include "paint.h"

namespace artgen {
namespace {

// A light-edged frame whose fill darkens toward the bottom (hover looks of the title buttons).
void HoverFrame(QPainter& p, const QRectF& r) {
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0, QColor(0xFF, 0xC0, 0x78));
    fill.setColorAt(1, QColor(0xC8, 0x5A, 0x14));
    p.setPen(QPen(QColor(0xFF, 0xEE, 0xD6), 1));
    p.setBrush(fill);
    p.drawRoundedRect(r, 3, 3);
}

QPainterPath Cross(QPointF c, qreal half) {
    QPainterPath path;
    path.moveTo(c + QPointF(-half, -half));
    path.lineTo(c + QPointF(half, half));
    path.moveTo(c + QPointF(half, -half));
    path.lineTo(c + QPointF(-half, half));
    return path;
}

// Lightens every pixel: the "brighter" hover looks.
void Brighten(QImage& img, double amount) {
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = img.pixel(x, y);
            auto up = [amount](int v) { return static_cast<int>(v + (255 - v) * amount); };
            img.setPixel(x, y, qRgb(up(qRed(c)), up(qGreen(c)), up(qBlue(c))));
        }
    }
}

void RoundButton(QPainter& p, QPointF c, qreal r, const QColor& light, const QColor& dark,
                 const QColor& ring) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x7A, 0x36, 0x0E, 90));
    p.drawEllipse(c + QPointF(0.6, 1.2), r + 0.6, r + 0.6);  // soft shadow
    p.setBrush(ring);
    p.drawEllipse(c, r, r);
    QRadialGradient g(c + QPointF(-r * 0.3, -r * 0.4), r * 1.4);
    g.setColorAt(0, light);
    g.setColorAt(1, dark);
    p.setBrush(g);
    p.drawEllipse(c, r - 2, r - 2);
    QLinearGradient shine(c + QPointF(0, -r), c);
    shine.setColorAt(0, QColor(255, 255, 255, 120));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(shine);
    p.drawEllipse(QRectF(c.x() - r * 0.62, c.y() - r + 2.5, r * 1.24, r * 0.8));
}

QPainterPath Triangle(QPointF tip, qreal w, qreal h, bool right) {
    const qreal back = right ? -w : w;
    QPainterPath t;
    t.moveTo(tip);
    t.lineTo(tip + QPointF(back, -h / 2));
    t.lineTo(tip + QPointF(back, h / 2));
    t.closeSubpath();
    return t;
}

}  // namespace

QImage DrawClose(State state) {
    QImage img = GroundPicture(35, 24, QPoint(288, -1));
    QPainter p(&img);
    Smooth(p);
    if (state != State::Normal) {
        HoverFrame(p, QRectF(5.5, 2.5, 26, 19));
    }
    const QPointF c = QPointF(18.5, 12) + (state == State::Pressed ? QPointF(1, 1) : QPointF());
    const QPainterPath cross = Cross(c, 4.6);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x6A, 0x2C, 0x0C), 4.4, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(cross);
    p.setPen(QPen(QColor(255, 255, 255), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(cross);
    p.end();
    AvoidColour(img, qRgb(255, 0, 255));
    // The window's rounded top-right corner shows through.
    const QRgb key = qRgb(255, 0, 255);
    for (int x : {32, 33, 34}) {
        img.setPixel(x, 0, key);
    }
    img.setPixel(33, 1, key);
    img.setPixel(34, 1, key);
    img.setPixel(34, 2, key);
    return img;
}

QImage DrawMinimise(State state) {
    QImage img = GroundPicture(35, 24, QPoint(257, -1));
    QPainter p(&img);
    Smooth(p);
    if (state != State::Normal) {
        HoverFrame(p, QRectF(3.5, 2.5, 26, 19));
    }
    const QLineF dash(QPointF(11.5, 15), QPointF(21.5, 15));
    p.setPen(QPen(QColor(0x6A, 0x2C, 0x0C), 4.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(dash);
    p.setPen(QPen(QColor(0xE4, 0xE4, 0xE4), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(dash);
    return img;
}

QImage DrawSkip(bool forward, bool bright) {
    const QPoint at = forward ? QPoint(85, 410) : QPoint(12, 410);
    QImage img = GroundPicture(33, 33, at);
    QPainter p(&img);
    Smooth(p);
    const QPointF c(16.5, 16.5);
    RoundButton(p, c, 14.5, QColor(0xFF, 0xC0, 0x6A), QColor(0xE0, 0x6C, 0x14),
                QColor(0x8A, 0x3C, 0x0E));
    // Bar and two triangles, mirrored for the forward sign.
    const qreal s = forward ? 1 : -1;
    QPainterPath sign;
    sign.addPath(Triangle(c + QPointF(s * 3.2, 0), 6.2, 10, forward));
    sign.addPath(Triangle(c + QPointF(s * 8.6, 0), 6.2, 10, forward));
    sign.addRect(QRectF(c.x() + s * 8.6 - (forward ? 0 : 2.2), c.y() - 5, 2.2, 10));
    sign.translate(-s * 2.2, 0);
    p.setPen(QPen(QColor(0x8A, 0x3C, 0x0E), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(colour::kNearWhite);
    p.drawPath(sign);
    p.end();
    if (bright) {
        Brighten(img, 0.22);
    }
    return img;
}

QImage DrawPlay(bool playing, bool bright) {
    QImage img = GroundPicture(37, 37, QPoint(46, 406));
    QPainter p(&img);
    Smooth(p);
    const QPointF c(18.5, 18.5);
    RoundButton(p, c, 16.5, QColor(0x5C, 0xD6, 0xCC), colour::kTeal, colour::kTealDark);
    p.setPen(QPen(colour::kTealDark, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(colour::kNearWhite);
    if (playing) {
        p.drawRoundedRect(QRectF(c.x() - 6, c.y() - 7, 4.4, 14), 1.2, 1.2);
        p.drawRoundedRect(QRectF(c.x() + 1.6, c.y() - 7, 4.4, 14), 1.2, 1.2);
    } else {
        p.drawPath(Triangle(c + QPointF(7.5, 0), 12, 15, true));
    }
    p.end();
    if (bright) {
        Brighten(img, 0.2);
    }
    AvoidColour(img, qRgb(255, 255, 255));
    return img;
}

QImage DrawContact(const QString& assets, bool bright) {
    QImage img = GroundPicture(29, 22, QPoint(154, 2));
    QPainter p(&img);
    Smooth(p);
    if (bright) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xFF, 0xE8, 0xC4, 150));
        p.drawRoundedRect(QRectF(0.5, 0.5, 28, 21), 4, 4);
    }
    RenderSvg(p, assets + QStringLiteral("/penguin.svg"), QRectF(0, 0, 29, 22));
    p.end();
    if (bright) {
        Brighten(img, 0.12);
    }
    return img;
}

}  // namespace artgen
