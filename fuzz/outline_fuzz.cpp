// The window outline from a mask picture (a BMP), any bytes: the runs are one pixel high, lie
// inside the picture in reading order, never touch one another, and cover exactly the pixels
// whose colour is not the key.
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QMessageLogContext>
#include <QRect>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "check.h"
#include "qt_pictures.h"
#include "widgets/pictures.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

namespace {

// Whether the picture's header claims more pixels than a fuzzing round should spend time on; the
// reader's bounds do not depend on the size.
bool Huge(const qv::Bytes& mask) {
    QByteArray bytes = QByteArray::fromRawData(mask.data(), static_cast<qsizetype>(mask.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    // Only the two readers that DecodePicture uses.
    const QSize claimed = QImageReader(&buffer, mask.starts_with("BM") ? "bmp" : "jpeg").size();
    return std::abs(qint64{claimed.width()}) * std::abs(qint64{claimed.height()}) > 1 << 16;
}

bool Cut(const QImage& img, int x, int y) {
    return (reinterpret_cast<const QRgb*>(img.constScanLine(y))[x] & 0xFFFFFF) == 0xFF00FF;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const qv::Bytes mask(reinterpret_cast<const char*>(data), size);
    if (Huge(mask))
        return 0;
    constexpr qv::Colour kKey = 0x00FF00FF;  // magenta, the window's key
    const std::vector<QRect> runs = qv::OutlineRuns(mask, kKey);
    const QImage img = qv::DecodePicture(mask).convertToFormat(QImage::Format_RGB32);
    if (img.isNull()) {
        QV_CHECK(runs.empty());
        return 0;
    }
    long long kept = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) kept += !Cut(img, x, y);
    }
    long long covered = 0;
    for (size_t i = 0; i < runs.size(); ++i) {
        const QRect& r = runs[i];
        QV_CHECK(r.height() == 1 && r.width() >= 1);
        QV_CHECK(img.rect().contains(r));
        if (i > 0) {
            const QRect& p = runs[i - 1];
            QV_CHECK(r.y() > p.y() || (r.y() == p.y() && r.x() > p.right() + 1));
        }
        for (int x = r.x(); x <= r.right(); ++x) QV_CHECK(!Cut(img, x, r.y()));
        covered += r.width();
    }
    // The runs hold only kept pixels and do not overlap: equal counts mean they hold them all.
    QV_CHECK(covered == kept);
    return 0;
}
