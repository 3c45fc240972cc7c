// The skin's stored pictures, one line each: QV_ART(Function, "file") is the file the generator
// (tools/artgen) writes, the build embeds and lists as its output (ui/art/CMakeLists.txt reads
// these lines), and art::Function() returns as a byte set. Whoever includes this defines QV_ART
// first; there is no include guard, since each use reads it again.

// The main window's face (24-bit BMP 345 x 505) and its shape mask (cyan kept, magenta cut).
QV_ART(Face, "face.bmp")
QV_ART(Mask, "mask.bmp")

// Picture-button slots, each at its button's size.
QV_ART(CloseNormal, "close_normal.bmp")
QV_ART(CloseHover, "close_hover.bmp")
QV_ART(ClosePressed, "close_pressed.bmp")
QV_ART(MinimiseNormal, "minimise_normal.jpg")
QV_ART(MinimiseHover, "minimise_hover.jpg")
QV_ART(MinimisePressed, "minimise_pressed.jpg")
QV_ART(PreviousNormal, "previous_normal.jpg")
QV_ART(PreviousHover, "previous_hover.jpg")
QV_ART(PlayNormal, "play_normal.jpg")
QV_ART(PlayHover, "play_hover.jpg")
QV_ART(NextNormal, "next_normal.jpg")
QV_ART(NextHover, "next_hover.jpg")
QV_ART(ContactNormal, "contact_normal.jpg")
QV_ART(ContactHover, "contact_hover.jpg")

// Picture groups ("MITL"): the play button's two looks, the mute button's five speakers, the
// volume bar's two tracks and knob, the station list's row icons.
QV_ART(PlayingLook, "playing_look.mitl")
QV_ART(StoppedLook, "stopped_look.mitl")
QV_ART(SpeakerGroup, "speaker_group.mitl")
QV_ART(TrackFirst, "track_first.mitl")
QV_ART(TrackSecond, "track_second.mitl")
QV_ART(Knob, "knob.mitl")
QV_ART(RowIcons, "row_icons.mitl")

// The notification-area icon (ICO, 12 images) and the station list's tiled background (JPEG).
QV_ART(TrayIcon, "tray.ico")
QV_ART(ListBackground, "list_background.jpg")
