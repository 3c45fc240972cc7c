#pragma once
// Every routine of the program, by the place it lives in; those the window binds are in
// ui/handlers.h.
#include "texts/text.h"
#include "ui/handlers.h"

namespace qv {

// app/: the outline.
void ApplyWindowOutline();

// radio/: the station catalogue and playback.
void OpenStationDatabase();
void LoadStationList(int filter, const Text& province);
void SetListBackgroundPicture(class ListView& list, const Bytes* picture);
void ResetProvinceLabelColours();
void TuneToSelectedStation();
void TakePlayerObjects();
enum class Look { Playing, Stopped };
void ShowPlayButtonLook(Look look);

// shell/: settings and the notification-area icon.
void RestoreWindowPosition();
void RestoreVolume();
void RestoreLastStation();
void ShowNotificationIcon();

}  // namespace qv
