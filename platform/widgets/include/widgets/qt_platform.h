#pragma once
// The Qt platform the program asks for before its QApplication exists.
#include <string>
#include <vector>

namespace qv {

// The platform to name with Qt's -platform argument, or empty to leave Qt's own choice (null or
// empty texts count as unset). A shaped window that places itself and reads its place needs
// X11, so with an X server (DISPLAY) the program runs on X11, under a Wayland session through
// XWayland, with native Wayland as the fall-back when that server cannot be reached. A platform
// the user named in QT_QPA_PLATFORM is left as it is.
[[nodiscard]] std::string PreferredQtPlatform(const char* qtQpaPlatform, const char* display,
                                              const char* waylandDisplay);

// The program's arguments with "-platform <platform>" put right after the program's name (a
// -platform of the user's own, later on the line, still wins), ending with a null entry as argv
// does. The texts point into `platform` and `argv`, which must outlive the result.
[[nodiscard]] std::vector<char*> WithPlatformArgument(int argc, char** argv, std::string& platform);

}  // namespace qv
