#pragma once
// The one palette of the skin and the panel grounds that every picture sits on.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QString>

namespace artgen {

namespace colour {
inline const QColor kOutline{0x4B, 0x26, 0x12};  // dark brown: every figure's outline
inline const QColor kFur{0xC4, 0x6A, 0x2C};
inline const QColor kFurDark{0x9A, 0x4C, 0x1C};
inline const QColor kFurLight{0xE3, 0x90, 0x4C};
inline const QColor kCream{0xF7, 0xE0, 0xBC};
inline const QColor kEdge{0x93, 0xA8, 0x8E};  // grey-green panel edge
inline const QColor kRuleDark{0xB8, 0x5A, 0x18};
inline const QColor kRuleLight{0xFF, 0xD4, 0x9E};
inline const QColor kDisplay{0x5C, 0x2C, 0x0E};  // the label insets behind yellow/orange text
inline const QColor kTeal{0x1E, 0xA0, 0x9A};
inline const QColor kTealDark{0x0C, 0x4E, 0x4C};
inline const QColor kNearWhite{0xFB, 0xFA, 0xF6};  // never exactly white: white is a key colour
inline const QColor kPlayerBlue{0x1D, 0x36, 0x72};
}  // namespace colour

// The ground at a window pixel: the title strip (rows up to 24) and the control panel (rows from
// 404) are a fine two-tone chequer shaded from top to bottom; elsewhere white.
[[nodiscard]] QRgb Ground(int x, int y);

// A picture of the given size filled with the ground found at window place `at`.
[[nodiscard]] QImage GroundPicture(int w, int h, QPoint at);

// A painter with anti-aliasing on.
void Smooth(QPainter& p);

// An SVG file rendered into `target` (viewBox coordinates = target pixels unless `bounds`).
void RenderSvg(QPainter& p, const QString& file, const QRectF& bounds);

// Every pixel exactly `key` moved one step off it.
void AvoidColour(QImage& image, QRgb key);

}  // namespace artgen
