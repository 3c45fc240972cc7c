#pragma once
// The skin's stored pictures, embedded in the program. Each returns the whole file (BMP, JPEG,
// picture group, ICO) as a byte set; the bytes live for the whole run.
#include "texts/text.h"

namespace qv::art {

// The main window's face (24-bit BMP 345 x 505) and its shape mask (cyan kept, magenta cut).
[[nodiscard]] const Bytes& Face();
[[nodiscard]] const Bytes& Mask();

// Picture-button slots, each at its button's size.
[[nodiscard]] const Bytes& CloseNormal();
[[nodiscard]] const Bytes& CloseHover();
[[nodiscard]] const Bytes& ClosePressed();
[[nodiscard]] const Bytes& MinimiseNormal();
[[nodiscard]] const Bytes& MinimiseHover();
[[nodiscard]] const Bytes& MinimisePressed();
[[nodiscard]] const Bytes& PreviousNormal();
[[nodiscard]] const Bytes& PreviousHover();
[[nodiscard]] const Bytes& PlayNormal();
[[nodiscard]] const Bytes& PlayHover();
[[nodiscard]] const Bytes& NextNormal();
[[nodiscard]] const Bytes& NextHover();
[[nodiscard]] const Bytes& ContactNormal();
[[nodiscard]] const Bytes& ContactHover();

// Picture groups ("MITL"): the play button's two looks, the mute button's five speakers, the
// volume bar's two tracks and knob, the station list's row icons.
[[nodiscard]] const Bytes& PlayingLook();
[[nodiscard]] const Bytes& StoppedLook();
[[nodiscard]] const Bytes& SpeakerGroup();
[[nodiscard]] const Bytes& TrackFirst();
[[nodiscard]] const Bytes& TrackSecond();
[[nodiscard]] const Bytes& Knob();
[[nodiscard]] const Bytes& RowIcons();

// The notification-area icon (ICO, 12 images) and the station list's tiled background (JPEG).
[[nodiscard]] const Bytes& TrayIcon();
[[nodiscard]] const Bytes& ListBackground();

}  // namespace qv::art
