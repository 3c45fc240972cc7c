#pragma once
// The top-level window and the program's life. Lifecycle:
//  1. CreateStartWindow(definition): builds the window and its controls, binds their events,
//     raises the created event, then shows the window. A definition that binds an event to a
//     control it does not define gives no window (null, and a line on standard error).
//  2. RunMessageLoop(): delivers events until no window is left; then the window and its
//     controls are destroyed.
//  3. ExitProgram(code): runs the routine given to RegisterExitRoutine once, then ends the process
//     (no closing event).
#include <memory>
#include <vector>

#include "widgets/controls.h"

namespace qv {

struct WindowDefinition;
class TrayIcon;

enum class WindowState { Normal, Minimised };

class Window final : public Control {
  public:
    explicit Window(std::string name);
    ~Window() override;

    [[nodiscard]] Text title() const;
    void setTitle(const Text& t);
    void setState(WindowState s);
    [[nodiscard]] WindowState state() const;
    void setFacePicture(const Bytes& picture);
    [[nodiscard]] bool closed() const { return closed_; }

    // Controls of the window by name (the definition's names, UTF-8).
    void adopt(std::unique_ptr<Control> c);
    [[nodiscard]] Control* find(const std::string& name) const;
    template <class T>
    [[nodiscard]] T* get(const std::string& name) const {
        return dynamic_cast<T*>(find(name));
    }
    // The control named to hold others (a shape box), or the window itself when none is named or
    // the one named has no widget.
    [[nodiscard]] Control& containerFor(const std::string& parentName);

    // Copies made at run time, numbered from 1.
    [[nodiscard]] Control* copied(int n) const;
    void addCopy(std::unique_ptr<Control> c);

    // Runs the closing event (once), then hides the window; the message loop then ends.
    void close();

    std::unique_ptr<TrayIcon> tray;

  private:
    class View;
    std::vector<std::unique_ptr<Control>> controls_;
    std::vector<std::unique_ptr<Control>> copies_;
    bool closed_ = false;
};

// Program life.
Window* CreateStartWindow(const WindowDefinition& definition);
int RunMessageLoop();
void RegisterExitRoutine(void (*routine)());
[[noreturn]] void ExitProgram(int code);
void CloseWindow(Window& window);
void ShowMessageBox(const Text& text, int style, const Text& title = Text());
// The start window, or null before CreateStartWindow and after the loop ended.
[[nodiscard]] Window* StartWindow();
// Destroys the start window and its controls (RunMessageLoop does it when the loop ends).
void DestroyStartWindow();
// Tests replace the end of the process (it must not return; throwing is fine).
void SetProcessEnd(void (*end)(int code));

// Controls made at run time.
void CopyControl(const Control& templ, Control*& variable);
[[nodiscard]] Control* CopiedControl(const Window& window, int n);

// The outline: the window shows only the mask's pixels that differ from the key colour.
bool SetWindowOutline(Window& window, const Bytes& mask, Colour key);

// The notification-area icon: each mouse action raises the window's TrayIcon event with an
// action number (1 left click, 2 double click, 3 context click, 4 middle click).
bool ShowTrayIcon(Window& window, const Bytes& icon, const Text& tip);

}  // namespace qv
