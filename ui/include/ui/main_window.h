#pragma once
// The main window as data: its 23 controls in order and its 17 event bindings, each binding to a
// handler its caller gives.
#include <array>

#include "widgets/window_definition.h"

namespace qv {

// One routine per bound event, in the order of the event table.
struct MainWindowHandlers {
    void (*created)();
    void (*closing)();
    void (*trayIcon)(int action);
    void (*provinceLabelClick)(int, int, int);
    void (*closeButtonClick)();
    void (*previousStationClick)();
    void (*playButtonClick)();
    void (*nextStationClick)();
    void (*suggestionLinkClick)(int, int, int);
    void (*websiteLinkClick)(int, int, int);
    void (*muteButtonClick)();
    void (*volumeBarChanged)();
    void (*contactButtonClick)();
    void (*minimiseButtonClick)();
    void (*elapsedTimerTick)();
    void (*playerStatusChange)();
    void (*stationListEvent)();
};

// The main window bound to the handlers. Its definition points into this object, which must
// outlive every window built from it.
class BoundMainWindow final {
  public:
    explicit BoundMainWindow(const MainWindowHandlers& handlers);
    BoundMainWindow(const BoundMainWindow&) = delete;
    BoundMainWindow& operator=(const BoundMainWindow&) = delete;
    [[nodiscard]] const WindowDefinition& definition() const { return definition_; }

  private:
    std::array<EventBinding, 17> bindings_;
    WindowDefinition definition_;
};

}  // namespace qv
