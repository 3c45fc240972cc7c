#pragma once
// The drawings: every picture of the skin, as plain images before they take their stored form.
#include <QImage>
#include <QString>
#include <vector>

#include "encode.h"
#include "silhouette.h"

namespace artgen {

// The face: white outside the silhouette, painted everywhere inside it.
[[nodiscard]] QImage DrawFace(const QString& assets, const Silhouette& silhouette);

enum class State { Normal, Hover, Pressed };

[[nodiscard]] QImage DrawClose(State state);
[[nodiscard]] QImage DrawMinimise(State state);
[[nodiscard]] QImage DrawSkip(bool forward, bool bright);
// The round teal play button: a pause sign when `playing`, else a play triangle.
[[nodiscard]] QImage DrawPlay(bool playing, bool bright);
[[nodiscard]] QImage DrawContact(const QString& assets, bool bright);

[[nodiscard]] std::vector<GroupPicture> LookPictures(bool playing);
[[nodiscard]] std::vector<GroupPicture> SpeakerPictures();
[[nodiscard]] std::vector<GroupPicture> TrackPicture(bool second);
[[nodiscard]] std::vector<GroupPicture> KnobPictures();
[[nodiscard]] std::vector<GroupPicture> RowIconPictures();

// The tray icon at 16, 24, 32 and 48 pixels (ARGB).
[[nodiscard]] std::vector<QImage> TrayPictures(const QString& assets);
[[nodiscard]] QImage ListBackground();

}  // namespace artgen
