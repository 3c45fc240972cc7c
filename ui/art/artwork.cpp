#include "art/artwork.h"

// The generated files are assembled straight into read-only data; each function wraps its file
// in a byte set on first use.

#define QV_ART_FILE(sym, file)                    \
    asm(".section .rodata\n"                      \
        ".balign 16\n"                            \
        ".global qv_art_" #sym                    \
        "_begin\n"                                \
        "qv_art_" #sym                            \
        "_begin:\n"                               \
        ".incbin \"" QV_ART_DIR "/" file          \
        "\"\n"                                    \
        ".global qv_art_" #sym                    \
        "_end\n"                                  \
        "qv_art_" #sym                            \
        "_end:\n"                                 \
        ".previous\n");                           \
    extern "C" const char qv_art_##sym##_begin[]; \
    extern "C" const char qv_art_##sym##_end[];

#define QV_ART_BYTES(sym)                                                                     \
    static const Bytes bytes(qv_art_##sym##_begin,                                            \
                             static_cast<size_t>(qv_art_##sym##_end - qv_art_##sym##_begin)); \
    return bytes

QV_ART_FILE(face, "face.bmp")
QV_ART_FILE(mask, "mask.bmp")
QV_ART_FILE(close_normal, "close_normal.bmp")
QV_ART_FILE(close_hover, "close_hover.bmp")
QV_ART_FILE(close_pressed, "close_pressed.bmp")
QV_ART_FILE(minimise_normal, "minimise_normal.jpg")
QV_ART_FILE(minimise_hover, "minimise_hover.jpg")
QV_ART_FILE(minimise_pressed, "minimise_pressed.jpg")
QV_ART_FILE(previous_normal, "previous_normal.jpg")
QV_ART_FILE(previous_hover, "previous_hover.jpg")
QV_ART_FILE(play_normal, "play_normal.jpg")
QV_ART_FILE(play_hover, "play_hover.jpg")
QV_ART_FILE(next_normal, "next_normal.jpg")
QV_ART_FILE(next_hover, "next_hover.jpg")
QV_ART_FILE(contact_normal, "contact_normal.jpg")
QV_ART_FILE(contact_hover, "contact_hover.jpg")
QV_ART_FILE(playing_look, "playing_look.mitl")
QV_ART_FILE(stopped_look, "stopped_look.mitl")
QV_ART_FILE(speaker_group, "speaker_group.mitl")
QV_ART_FILE(track_first, "track_first.mitl")
QV_ART_FILE(track_second, "track_second.mitl")
QV_ART_FILE(knob, "knob.mitl")
QV_ART_FILE(row_icons, "row_icons.mitl")
QV_ART_FILE(tray_icon, "tray.ico")
QV_ART_FILE(list_background, "list_background.jpg")

namespace qv::art {

const Bytes& Face() {
    QV_ART_BYTES(face);
}
const Bytes& Mask() {
    QV_ART_BYTES(mask);
}
const Bytes& CloseNormal() {
    QV_ART_BYTES(close_normal);
}
const Bytes& CloseHover() {
    QV_ART_BYTES(close_hover);
}
const Bytes& ClosePressed() {
    QV_ART_BYTES(close_pressed);
}
const Bytes& MinimiseNormal() {
    QV_ART_BYTES(minimise_normal);
}
const Bytes& MinimiseHover() {
    QV_ART_BYTES(minimise_hover);
}
const Bytes& MinimisePressed() {
    QV_ART_BYTES(minimise_pressed);
}
const Bytes& PreviousNormal() {
    QV_ART_BYTES(previous_normal);
}
const Bytes& PreviousHover() {
    QV_ART_BYTES(previous_hover);
}
const Bytes& PlayNormal() {
    QV_ART_BYTES(play_normal);
}
const Bytes& PlayHover() {
    QV_ART_BYTES(play_hover);
}
const Bytes& NextNormal() {
    QV_ART_BYTES(next_normal);
}
const Bytes& NextHover() {
    QV_ART_BYTES(next_hover);
}
const Bytes& ContactNormal() {
    QV_ART_BYTES(contact_normal);
}
const Bytes& ContactHover() {
    QV_ART_BYTES(contact_hover);
}
const Bytes& PlayingLook() {
    QV_ART_BYTES(playing_look);
}
const Bytes& StoppedLook() {
    QV_ART_BYTES(stopped_look);
}
const Bytes& SpeakerGroup() {
    QV_ART_BYTES(speaker_group);
}
const Bytes& TrackFirst() {
    QV_ART_BYTES(track_first);
}
const Bytes& TrackSecond() {
    QV_ART_BYTES(track_second);
}
const Bytes& Knob() {
    QV_ART_BYTES(knob);
}
const Bytes& RowIcons() {
    QV_ART_BYTES(row_icons);
}
const Bytes& TrayIcon() {
    QV_ART_BYTES(tray_icon);
}
const Bytes& ListBackground() {
    QV_ART_BYTES(list_background);
}

}  // namespace qv::art
