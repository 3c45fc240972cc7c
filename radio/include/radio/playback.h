#pragma once
// Tuning, the player's controls and status, the elapsed-time clock, the volume bar and mute.
namespace qv {

// The player's objects into the global holders (once, at start-up).
void TakePlayerObjects();
// The record of the list's selected row to the player and the name label; the clock from 0.
void TuneToSelectedStation();
enum class Look { Playing, Stopped };
void ShowPlayButtonLook(Look look);

// Bound by the main window.
void OnStationListEvent();
void OnNextStationClick();
void OnPreviousStationClick();
void OnPlayButtonClick();
void OnPlayerStatusChange();
void OnElapsedTimerTick();
void OnVolumeBarChanged();
void OnMuteButtonClick();

}  // namespace qv
