#include <QApplication>
#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/program.h"
#include "player/media_player.h"
#include "widgets/qt_platform.h"

int main(int argc, char** argv) {
    // X11 wherever there is an X server, unless the user named a platform (see qt_platform.h).
    std::string platform = qv::PreferredQtPlatform(
        std::getenv("QT_QPA_PLATFORM"), std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"));
    std::vector<char*> args = qv::WithPlatformArgument(argc, argv, platform);
    int count = static_cast<int>(args.size()) - 1;
    QApplication app(count, args.data());
    QApplication::setApplicationName(QStringLiteral("Quorvin"));
    QApplication::setDesktopFileName(QStringLiteral("org.quorvin.Quorvin"));
    QApplication::setQuitOnLastWindowClosed(false);
    // libmpv needs the C numeric locale.
    std::setlocale(LC_NUMERIC, "C");
    // The player's engine gets ready while the window is built and the catalogue read.
    qv::PrepareMpvEngine();
    qv::ProgramEntry();
}
