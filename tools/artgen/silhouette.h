#pragma once
// The window silhouette, read from its text description (assets/silhouette.txt).
#include <QImage>
#include <QString>
#include <vector>

namespace artgen {

class Silhouette final {
  public:
    // Throws on an unreadable or malformed description.
    explicit Silhouette(const QString& path);

    [[nodiscard]] int Width() const { return width_; }
    [[nodiscard]] int Height() const { return height_; }
    [[nodiscard]] bool Kept(int x, int y) const;
    [[nodiscard]] long KeptCount() const;
    // Cyan where kept, magenta where cut.
    [[nodiscard]] QImage MaskPicture() const;

  private:
    int width_ = 0;
    int height_ = 0;
    std::vector<bool> kept_;
};

}  // namespace artgen
