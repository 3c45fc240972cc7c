#pragma once
// A window defined as data: the window, its controls in order, and the table that binds their
// events to routines. CreateStartWindow reads it (platform/window.h).
#include <cstddef>
#include <memory>
#include <span>
#include <string>

#include "widgets/controls.h"

namespace qv {

enum class Kind {
    TransparentLabel,
    Label,
    ShapeBox,
    PictureButton,
    VolumeBar,
    Timer,
    ListView,
    Object  // a non-visual control of the caller's own, made by its `make`
};

using PictureSource = const Bytes& (*)();
// Makes a control that holds an object of the caller's (a media player, a database connection);
// it raises its events through Control::raise.
using ControlMaker = std::unique_ptr<Control> (*)(std::string name, Window* window);

struct ControlDefinition {
    const char* name;  // UTF-8
    Kind kind;
    int left, top, width, height;
    const char* parent;  // null: the window
    bool visible;
    Cursor cursor;
    const char* caption = nullptr;  // UTF-8
    Colour textColour = 0;
    Colour background = 0x00FFFFFF;
    Colour frame = 0;
    const FontSpec* font = nullptr;
    Colour transparent = kNoColour;
    // Picture buttons: slots 0..2. Volume bar: first track, second track, (empty), knob.
    // List view: its row-icon group in [0].
    PictureSource pictures[4] = {};
    int value = 0;                // volume bar: start position; timer: interval
    ControlMaker make = nullptr;  // Object: null makes a control that holds nothing
};

struct EventBinding {
    const char* control;  // null: the window
    Event event;
    Routine routine;
};

struct WindowDefinition {
    const char* title;  // UTF-8
    int left, top, width, height;
    PictureSource face;
    std::span<const ControlDefinition> controls;
    std::span<const EventBinding> bindings;
    // Runs once the controls exist, before the created event.
    void (*built)(class Window*) = nullptr;
};

}  // namespace qv
