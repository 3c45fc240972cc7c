#pragma once
// Every routine of the program, by the place it lives in.
#include "platform/text.h"

namespace qv {

// app/: the created sequence and the outline.
void OnMainWindowCreated();
void ApplyWindowOutline();

// radio/: the station catalogue and playback.
void OpenStationDatabase();
void LoadStationList(int filter, const Text& province);
void SetListBackgroundPicture(class ListView& list, const Bytes* picture);
void OnProvinceLabelClick(int, int, int);
void ResetProvinceLabelColours();
void TuneToSelectedStation();
void OnStationListEvent();
void OnNextStationClick();
void OnPreviousStationClick();
void TakePlayerObjects();
enum class Look { Playing, Stopped };
void ShowPlayButtonLook(Look look);
void OnPlayButtonClick();
void OnPlayerStatusChange();
void OnElapsedTimerTick();
void OnVolumeBarChanged();
void OnMuteButtonClick();

// shell/: settings, the notification-area icon, the window buttons and the web links.
void RestoreWindowPosition();
void RestoreVolume();
void RestoreLastStation();
void OnMainWindowClosing();
void ShowNotificationIcon();
void OnTrayIconEvent(int action);
void OnMinimiseButtonClick();
void OnCloseButtonClick();
void OnContactButtonClick();
void OnSuggestionLinkClick(int, int, int);
void OnWebsiteLinkClick(int, int, int);

}  // namespace qv
