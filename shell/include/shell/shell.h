#pragma once
// Settings in pz.ini, the notification-area icon, the window's own buttons and the web links.
namespace qv {

// The start-up steps that pz.ini feeds: the window's place, the volume, the last station.
void RestoreWindowPosition();
void RestoreVolume();
void RestoreLastStation();
void ShowNotificationIcon();

// Bound by the main window.
void OnMainWindowClosing();
void OnTrayIconEvent(int action);
void OnMinimiseButtonClick();
void OnCloseButtonClick();
void OnContactButtonClick();
void OnSuggestionLinkClick(int, int, int);
void OnWebsiteLinkClick(int, int, int);

}  // namespace qv
