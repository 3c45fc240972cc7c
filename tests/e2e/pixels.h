#pragma once
// What the tests expect to see: the places of the window's controls, the program's pictures as
// they should appear, and small tools to compare a grab of the window with them. A check returns
// an empty text when it holds, else what it found wrong.
#include <QImage>
#include <QRect>
#include <optional>
#include <string>
#include <vector>

#include "texts/text.h"

namespace qv::e2e {

// Places in window coordinates, as the window definition gives them.
inline const QRect kPrevious{12, 410, 33, 33};
inline const QRect kPlay{46, 406, 37, 37};
inline const QRect kNext{85, 410, 33, 33};
inline const QRect kMute{17, 467, 14, 14};
inline const QRect kVolume{37, 471, 108, 9};
inline const QRect kMinimise{257, -1, 35, 24};
inline const QRect kClose{288, -1, 35, 24};
inline const QRect kContact{154, 2, 29, 22};
inline const QRect kList{112, 25, 208, 351};
inline const QRect kCountLabel{152, 388, 88, 12};
inline const QRect kNameLabel{6, 388, 138, 12};
inline const QRect kTimeLabel{152, 418, 56, 16};
inline const QRect kStatusLabel{16, 448, 212, 16};
inline const QRect kProvinceFrame{1, 25, 111, 351};
inline const QRect kVerticalDivider{109, 25, 1, 351};
inline const QRect kHorizontalDivider{2, 376, 302, 1};

// Province label n (from 1): the template's place in its frame, the copies two to a row.
[[nodiscard]] QRect ProvinceLabel(int n);
[[nodiscard]] QPoint Centre(const QRect& r);

// Label text colours (from the window definition) and the chosen province's colour.
inline constexpr QRgb kProvinceColour = 0xFFDD6F00;  // red 221, green 111, blue 0
inline constexpr QRgb kChosenColour = 0xFF5830E0;    // red 88, green 48, blue 224
inline constexpr QRgb kOrange = 0xFFFF8000;          // count, name and status labels
inline constexpr QRgb kDividerColour = 0xFFFFE1C4;   // red 255, green 225, blue 196

// A stored picture, or picture n of a picture group, decoded as the screen shows it.
[[nodiscard]] QImage Picture(const Bytes& picture);
[[nodiscard]] QImage GroupPicture(const Bytes& group, int n);

// Every pixel of the window outside its outline shows the black root.
[[nodiscard]] std::string CheckOutline(const QImage& shot);
// Every pixel inside the outline and outside all visible controls' boxes shows the face.
[[nodiscard]] std::string CheckBareFace(const QImage& shot);
// The box at `at` shows `picture` drawn over the face, pixels of colour `key` left undrawn.
[[nodiscard]] std::string CheckButton(const QImage& shot, const std::string& what, QPoint at,
                                      const QImage& picture, std::optional<QRgb> key);
// Every pixel of the box inside the outline shows the colour.
[[nodiscard]] std::string CheckFilled(const QImage& shot, const std::string& what, const QRect& box,
                                      QRgb colour);
// Which picture of the speaker group the mute button shows; -1 for none of them.
[[nodiscard]] int SpeakerShown(const QImage& shot);
// The volume knob's position along the bar, 0 to 100; nullopt when no knob is seen.
[[nodiscard]] std::optional<int> KnobPosition(const QImage& shot);

// Text pixels of a label in this colour: its hue, over something the face does not show.
[[nodiscard]] int TextPixels(const QImage& shot, const QRect& area, QRgb colour);

// The tops of the station list's rows, found by their headphones icon (no row chosen yet).
[[nodiscard]] std::vector<int> ListRows(const QImage& shot);
// The window point to click for a row found by ListRows.
[[nodiscard]] QPoint RowPoint(int rowTop);

}  // namespace qv::e2e
