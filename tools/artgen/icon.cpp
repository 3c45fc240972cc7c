#include "art.h"
#include "paint.h"

namespace artgen {

std::vector<QImage> TrayPictures(const QString& assets) {
    std::vector<QImage> pics;
    for (int s : {16, 24, 32, 48}) {
        QImage img(s, s, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        QPainter p(&img);
        Smooth(p);
        RenderSvg(p, assets + QStringLiteral("/tray_note.svg"), QRectF(0, 0, s, s));
        p.end();
        pics.push_back(img.convertToFormat(QImage::Format_ARGB32));
    }
    return pics;
}

QImage ListBackground() {
    QImage img(3, 21, QImage::Format_RGB32);
    img.fill(Qt::white);
    img.setPixel(1, 20, qRgb(0xC8, 0xC8, 0xC8));
    return img;
}

}  // namespace artgen
