#pragma once
// The control framework on Qt Widgets. Controls are made from a window definition (see
// window_definition.h) and raise their events one at a time on the UI thread. An event runs its
// bound routine synchronously, also when a property write raises it: the write returns after
// the routine has run.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "texts/text.h"
#include "widgets/pictures.h"

namespace qv {

class Window;
// A control's widget, on the platform's side (qt_widgets.h).
class ControlWidget;

enum class Cursor { Default, Hand };
enum class Event {
    Created,
    Closing,
    TrayIcon,
    Click,
    PositionChanged,
    Tick,
    RowChosen,
    StatusChange
};

// A font as the window definition stores it; an empty face means the framework default.
struct FontSpec {
    const char* face = nullptr;  // UTF-8
    int height = 0;              // negative: character height in pixels
    int weight = 400;
    int charset = 0;
};

using Routine = std::variant<void (*)(), void (*)(int), void (*)(int, int, int)>;

// A control of a window, with a widget or without one (a timer, a media player). One with a
// widget lies in a parent control (the window, or a shape box) and is placed relative to it; one
// without has no place (all 0).
class Control {
  public:
    Control(std::string name, Window* window);
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    [[nodiscard]] const std::string& name() const { return name_; }
    [[nodiscard]] Window* window() const { return window_; }

    [[nodiscard]] int left() const;
    [[nodiscard]] int top() const;
    [[nodiscard]] int width() const;
    [[nodiscard]] int height() const;
    void setLeft(int v);
    void setTop(int v);
    [[nodiscard]] bool visible() const;
    void setVisible(bool v);

    void bind(Event e, Routine r) { routines_[e] = r; }
    [[nodiscard]] bool hasBinding(Event e) const { return routines_.count(e) != 0; }
    [[nodiscard]] const std::map<Event, Routine>& bindings() const { return routines_; }
    // Runs the routine bound to `e`, if any, with this control as the event's source.
    void raise(Event e, int a = 0, int b = 0, int c = 0);

  protected:
    // With its widget, which goes with the control, or before it when Qt deletes it with its
    // parent.
    Control(std::string name, Window* window, std::unique_ptr<ControlWidget> widget);
    // The widget as the platform's class View (qt_widgets.h); null once it is gone.
    template <class View>
    [[nodiscard]] View* view() const;

  private:
    friend class ControlWidget;
    std::string name_;
    Window* window_;
    std::map<Event, Routine> routines_;
    std::unique_ptr<ControlWidget> widget_;
};

// The control whose routine is running (the innermost one when events nest); null outside.
[[nodiscard]] Control* EventSourceControl();

class TransparentLabel final : public Control {
  public:
    TransparentLabel(std::string name, Window* window, Control& parent);
    [[nodiscard]] Text caption() const { return caption_; }
    void setCaption(const Text& t);
    [[nodiscard]] Colour textColour() const { return colour_; }
    void setTextColour(Colour c);
    void setFont(const FontSpec* f);
    [[nodiscard]] const FontSpec* font() const { return font_; }
    void setCursor(Cursor c);
    [[nodiscard]] Cursor cursor() const { return cursor_; }

  private:
    class View;
    Text caption_;
    Colour colour_ = 0;
    const FontSpec* font_ = nullptr;
    Cursor cursor_ = Cursor::Default;
};

// A plain rectangle in its background colour (no caption).
class Label final : public Control {
  public:
    Label(std::string name, Window* window, Control& parent, Colour background);
};

// A rectangle with a one-pixel frame line around a filled area; holds other controls.
class ShapeBox final : public Control {
  public:
    ShapeBox(std::string name, Window* window, Control& parent, Colour frame, Colour fill);
};

class PictureButton final : public Control {
  public:
    PictureButton(std::string name, Window* window, Control& parent, Colour transparent);
    // Slots 0 normal, 1 hover, 2 pressed. The button keeps its own copy of the bytes.
    void setPicture(int slot, const Bytes& picture);
    [[nodiscard]] const Bytes& picture(int slot) const;
    [[nodiscard]] Colour transparentColour() const { return transparent_; }
    void setCursor(Cursor c);
    // The slot drawn now (-1: none), for tests and drawing.
    [[nodiscard]] int shownSlot() const;

  private:
    class View;
    Colour transparent_;
    Bytes pictures_[3];
};

// The multi-function bar as a 0..100 slider drawn from two track pictures and a knob group.
class VolumeBar final : public Control {
  public:
    VolumeBar(std::string name, Window* window, Control& parent);
    void setGroups(const Bytes& firstTrack, const Bytes& secondTrack, const Bytes& knob);
    [[nodiscard]] int position() const { return position_; }
    // Raises the position-changed event on every write, also of the position already held.
    void setPosition(int p);
    // The stored start position, set without an event.
    void initPosition(int p);

  private:
    class View;
    int position_ = 50;
};

// A window timer. Writing the interval it already runs at keeps its period; 0 stops it.
class Timer final : public Control {
  public:
    Timer(std::string name, Window* window);
    ~Timer() override;
    void setInterval(int ms);
    [[nodiscard]] int interval() const { return interval_; }
    [[nodiscard]] bool active() const;
    // Time left to the next tick in ms, -1 when idle (tests check the period with it).
    [[nodiscard]] int remaining() const;

  private:
    class Clock;
    std::unique_ptr<Clock> clock_;
    int interval_ = 0;
};

}  // namespace qv
