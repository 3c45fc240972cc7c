// Picture groups ("MITL" and an image-list stream), any bytes: TakePicture reads only inside the
// group, gives nothing for a number outside the count, and otherwise a whole 24-bit BMP of the
// group's picture size that decodes to that size.
#include <QImage>
#include <QMessageLogContext>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "check.h"
#include "qt_pictures.h"
#include "widgets/pictures.h"

namespace {

std::uint32_t Le(const std::string& b, size_t at, int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i) {
        v |= static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + i])) << (8 * i);
    }
    return v;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const qv::Bytes group(reinterpret_cast<const char*>(data), size);
    // Stream header after "MITL" and its word: magic, version, count, capacity, grow, width,
    // height.
    const bool hasHeader = group.size() >= 22;
    const int count = hasHeader ? static_cast<int>(Le(group, 12, 2)) : 0;
    const int w = hasHeader ? static_cast<int>(Le(group, 18, 2)) : 0;
    const int h = hasHeader ? static_cast<int>(Le(group, 20, 2)) : 0;
    for (int n : {-1, 0, 1, 2, 3, 4, 5, 6, 7, 8, count - 1, count, 65535, 1 << 30}) {
        const qv::Bytes picture = qv::TakePicture(group, n);
        if (n < 0 || n >= count) {
            QV_CHECK(picture.empty());
            continue;
        }
        if (picture.empty())
            continue;
        const size_t row = (static_cast<size_t>(w) * 3 + 3) / 4 * 4;
        QV_CHECK(picture.size() == 54 + row * static_cast<size_t>(h));
        QV_CHECK(picture.compare(0, 2, "BM") == 0 && Le(picture, 2, 4) == picture.size());
        QV_CHECK(Le(picture, 18, 4) == static_cast<std::uint32_t>(w) &&
                 Le(picture, 22, 4) == static_cast<std::uint32_t>(h));
        QV_CHECK(qv::DecodePicture(picture).size() == QSize(w, h));
        QV_CHECK(qv::TakePicture(group, n) == picture);
    }
    return 0;
}
