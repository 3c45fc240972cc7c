#include "silhouette.h"

#include <QFile>
#include <QRegularExpression>
#include <QTextStream>
#include <algorithm>
#include <stdexcept>

namespace artgen {

Silhouette::Silhouette(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        throw std::runtime_error("cannot read " + path.toStdString());
    }
    QTextStream in(&file);
    const QRegularExpression sizeLine(QStringLiteral("^size (\\d+) (\\d+)$"));
    const QRegularExpression rowsLine(QStringLiteral("^(\\d+)-(\\d+):((?: \\d+-\\d+)+)$"));
    const QRegularExpression run(QStringLiteral("(\\d+)-(\\d+)"));
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith('#')) {
            continue;
        }
        if (auto m = sizeLine.match(line); m.hasMatch()) {
            width_ = m.captured(1).toInt();
            height_ = m.captured(2).toInt();
            kept_.assign(static_cast<size_t>(width_ * height_), false);
            continue;
        }
        const auto m = rowsLine.match(line);
        if (!m.hasMatch() || kept_.empty()) {
            throw std::runtime_error("bad silhouette line: " + line.toStdString());
        }
        const int first = m.captured(1).toInt();
        const int last = m.captured(2).toInt();
        auto runs = run.globalMatch(m.captured(3));
        while (runs.hasNext()) {
            const auto r = runs.next();
            const int x0 = r.captured(1).toInt();
            const int x1 = r.captured(2).toInt();
            if (first > last || last >= height_ || x0 > x1 || x1 >= width_) {
                throw std::runtime_error("silhouette run outside the picture: " +
                                         line.toStdString());
            }
            for (int y = first; y <= last; ++y) {
                std::fill_n(kept_.begin() + y * width_ + x0, x1 - x0 + 1, true);
            }
        }
    }
    if (kept_.empty()) {
        throw std::runtime_error("silhouette without size");
    }
}

bool Silhouette::Kept(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return false;
    }
    return kept_[static_cast<size_t>(y * width_ + x)];
}

long Silhouette::KeptCount() const {
    return std::count(kept_.begin(), kept_.end(), true);
}

QImage Silhouette::MaskPicture() const {
    QImage img(width_, height_, QImage::Format_RGB32);
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            img.setPixel(x, y, Kept(x, y) ? qRgb(0, 255, 255) : qRgb(255, 0, 255));
        }
    }
    return img;
}

}  // namespace artgen
