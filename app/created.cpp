#include "app/created.h"

#include "art/artwork.h"
#include "radio/playback.h"
#include "radio/station_list.h"
#include "shell/shell.h"
#include "ui/form.h"

namespace qv {

void ApplyWindowOutline() {
    SetWindowOutline(*Form().窗口, art::Mask(), 0x00FF00FF);
}

// The start-up order matters: the player objects exist before the volume is restored (its
// event sets the player's volume), and the list is filled before the last station is given.
void OnMainWindowCreated() {
    ApplyWindowOutline();
    RestoreWindowPosition();
    TakePlayerObjects();
    ShowNotificationIcon();
    RestoreVolume();
    OpenStationDatabase();
    LoadStationList(0, Text());
    RestoreLastStation();
}

}  // namespace qv
