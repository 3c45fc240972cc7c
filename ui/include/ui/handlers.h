#pragma once
// The routines the main window binds to its events. The window is data (main_window.cpp); the
// routines live in app/, radio/ and shell/, which build on this layer, not it on them.
namespace qv {

// app/
void OnMainWindowCreated();

// radio/
void OnProvinceLabelClick(int, int, int);
void OnStationListEvent();
void OnNextStationClick();
void OnPreviousStationClick();
void OnPlayButtonClick();
void OnPlayerStatusChange();
void OnElapsedTimerTick();
void OnVolumeBarChanged();
void OnMuteButtonClick();

// shell/
void OnMainWindowClosing();
void OnTrayIconEvent(int action);
void OnMinimiseButtonClick();
void OnCloseButtonClick();
void OnContactButtonClick();
void OnSuggestionLinkClick(int, int, int);
void OnWebsiteLinkClick(int, int, int);

}  // namespace qv
