#include <QFont>
#include <QPainterPath>

#include "art.h"
#include "paint.h"

namespace artgen {
namespace {

constexpr int kW = 345;
constexpr int kH = 505;
constexpr int kRight = 321;  // the body's last column

// A recessed dark display behind a label, so yellow and orange text stays readable.
void Display(QPainter& p, const QRectF& r) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xFF, 0xD0, 0x96));
    p.drawRoundedRect(r.adjusted(0, 1, 0, 1), 4, 4);
    p.setBrush(QColor(0x8A, 0x42, 0x12));
    p.drawRoundedRect(r, 4, 4);
    p.setBrush(colour::kDisplay);
    p.drawRoundedRect(r.adjusted(1, 1.5, -1, -0.5), 3.5, 3.5);
}

void TitleText(QPainter& p) {
    QFont name(QStringLiteral("DejaVu Sans"));
    name.setPixelSize(14);
    name.setBold(true);
    name.setHintingPreference(QFont::PreferFullHinting);
    p.setFont(name);
    p.setPen(QColor(0xA0, 0x48, 0x0E));
    p.drawText(QPointF(11, 18), QStringLiteral("Quorvin"));
    p.setPen(QColor(0xFF, 0xFB, 0xF2));
    p.drawText(QPointF(10, 17), QStringLiteral("Quorvin"));
    const qreal after = 10 + QFontMetricsF(name).horizontalAdvance(QStringLiteral("Quorvin"));
    QFont version(QStringLiteral("DejaVu Sans"));
    version.setPixelSize(9);
    version.setBold(true);
    p.setFont(version);
    p.setPen(QColor(0xFF, 0xE2, 0xB8));
    p.drawText(QPointF(after + 4, 17), QStringLiteral("v1.0"));
    // A small note before the link labels' side of the strip stays away from them.
    p.setPen(Qt::NoPen);
}

}  // namespace

QImage DrawFace(const QString& assets, const Silhouette& silhouette) {
    QImage face(kW, kH, QImage::Format_RGB32);
    face.fill(Qt::white);
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x <= kRight; ++x) {
            if (y <= 24 || (y >= 404 && y <= 489)) {
                face.setPixel(x, y, Ground(x, y));
            }
        }
    }
    // Panel edges and the rule between the white panel and the controls.
    for (int y = 25; y <= 401; ++y) {
        face.setPixel(0, y, colour::kEdge.rgb());
        face.setPixel(kRight, y, colour::kEdge.rgb());
    }
    for (int x = 0; x <= kRight; ++x) {
        face.setPixel(x, 0, qRgb(0xFA, 0xB8, 0x6E));
        face.setPixel(x, 24, qRgb(0xB4, 0x52, 0x12));
        face.setPixel(x, 402, colour::kRuleDark.rgb());
        face.setPixel(x, 403, colour::kRuleLight.rgb());
        face.setPixel(x, 489, qRgb(0xC2, 0x62, 0x1C));
    }
    for (int y = 404; y <= 489; ++y) {
        face.setPixel(0, y, qRgb(0xC2, 0x62, 0x1C));
        face.setPixel(kRight, y, qRgb(0xC2, 0x62, 0x1C));
    }
    {
        QPainter p(&face);
        Smooth(p);
        TitleText(p);
        Display(p, QRectF(148.5, 415.5, 64, 21));  // elapsed time
        Display(p, QRectF(12.5, 445.5, 220, 21));  // status
    }
    // The lobes past the panel are the squirrel's: its outline colour lies under the drawing,
    // so no pixel inside the silhouette stays white.
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            const bool body = y <= 489 && x <= kRight;
            if (!body && silhouette.Kept(x, y)) {
                face.setPixel(x, y, colour::kOutline.rgb());
            }
        }
    }
    {
        QPainter p(&face);
        Smooth(p);
        RenderSvg(p, assets + QStringLiteral("/squirrel.svg"), QRectF(0, 0, kW, kH));
    }
    // Where the squirrel meets the window's edge, the edge itself is its outline.
    QImage edged = face;
    for (int y = 440; y < kH; ++y) {
        for (int x = 215; x < kW; ++x) {
            const bool edge = !silhouette.Kept(x + 1, y) || !silhouette.Kept(x - 1, y) ||
                              !silhouette.Kept(x, y + 1) ||
                              (y >= 448 && !silhouette.Kept(x, y - 1));
            if (silhouette.Kept(x, y) && edge) {
                edged.setPixel(x, y, colour::kOutline.rgb());
            }
        }
    }
    face = edged;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            if (!silhouette.Kept(x, y)) {
                face.setPixel(x, y, qRgb(255, 255, 255));
            }
        }
    }
    return face;
}

}  // namespace artgen
