#include "app/program.h"

#include "app/created.h"
#include "radio/playback.h"
#include "radio/station_list.h"
#include "shell/shell.h"
#include "state/globals.h"
#include "ui/main_window.h"
#include "widgets/window.h"

namespace qv {

const WindowDefinition& MainWindowDefinition() {
    static const BoundMainWindow window({
        .created = OnMainWindowCreated,
        .closing = OnMainWindowClosing,
        .trayIcon = OnTrayIconEvent,
        .provinceLabelClick = OnProvinceLabelClick,
        .closeButtonClick = OnCloseButtonClick,
        .previousStationClick = OnPreviousStationClick,
        .playButtonClick = OnPlayButtonClick,
        .nextStationClick = OnNextStationClick,
        .suggestionLinkClick = OnSuggestionLinkClick,
        .websiteLinkClick = OnWebsiteLinkClick,
        .muteButtonClick = OnMuteButtonClick,
        .volumeBarChanged = OnVolumeBarChanged,
        .contactButtonClick = OnContactButtonClick,
        .minimiseButtonClick = OnMinimiseButtonClick,
        .elapsedTimerTick = OnElapsedTimerTick,
        .playerStatusChange = OnPlayerStatusChange,
        .stationListEvent = OnStationListEvent,
    });
    return window.definition();
}

void ProgramEntry() {
    CreateGlobals();
    RegisterExitRoutine(ReleaseGlobalsAtExit);
    if (!CreateStartWindow(MainWindowDefinition()))
        ExitProgram(1);
    RunMessageLoop();
    ExitProgram(0);
}

}  // namespace qv
