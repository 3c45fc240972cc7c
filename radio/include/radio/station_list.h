#pragma once
// The station database, the station list with its grid of province labels, and its background.
#include "texts/text.h"

namespace qv {

class ListView;

// Opens mmsDT.dll in the working folder; when it cannot, says so and ends the program.
void OpenStationDatabase();
// filter 0: every station, with the list's column and the province grid (once, at start-up);
// otherwise the stations whose province contains `province`, by name.
void LoadStationList(int filter, const Text& province);
// Writes the picture (none: an empty file) to temp.tem in the cache folder and tiles it behind
// the list's rows, whose text then draws without a background of its own.
void SetListBackgroundPicture(ListView& list, const Bytes* picture);
// Every province label back in the template's colour.
void ResetProvinceLabelColours();

// Bound by the main window.
void OnProvinceLabelClick(int, int, int);

}  // namespace qv
