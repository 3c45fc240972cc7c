#pragma once
// Files, folders, the screen and the web.
#include "platform/text.h"

namespace qv {

// The executable's folder, without a trailing separator, as the file system's bytes (a path, not
// a GBK text: the name need not be valid in any code page).
[[nodiscard]] Text ProgramFolder();
// Tests keep the settings file out of the build tree: a non-empty folder stands in for the
// executable's folder; an empty one gives it back.
void SetProgramFolder(const Text& folder);
// Folder 11: the per-user temporary folder, $XDG_CACHE_HOME/quorvin/ or ~/.cache/quorvin/,
// made with mode 0700, with its trailing separator. Other numbers give the same folder.
[[nodiscard]] Text SystemFolderPath(int number);
// Creates the file or replaces its whole content (atomically). False when it could not.
bool WriteBytesToFile(const Text& path, const Bytes& bytes);
// Whether the path names a regular file holding exactly these bytes (read without waiting: a
// pipe or a device there is not such a file).
[[nodiscard]] bool FileHoldsBytes(const Text& path, const Bytes& bytes);
[[nodiscard]] int ScreenWidth();
[[nodiscard]] int ScreenHeight();
// Whether any pixel of the rectangle lies on a screen (any of them: the union of all screens,
// not the box around them). Safe for any int.
[[nodiscard]] bool OnAnyScreen(int left, int top, int width, int height);
// Opens the address in the default browser; a bare host name opens as http://host.
bool OpenWebAddress(const Text& address);
// Tests watch the addresses instead of starting a browser.
void SetWebOpener(bool (*opener)(const Text& address));

}  // namespace qv
