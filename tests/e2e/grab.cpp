// qv-xgrab: saves the root window of the X display in $DISPLAY as a PNG file.
//
//   qv-xgrab OUT.png
//
// Exit code 0 when the file was written. Used by the end-to-end tests and screenshot.sh.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: qv-xgrab OUT.png\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    qputenv("QT_QPA_PLATFORM", "xcb");
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 1;
    const QPixmap shot = screen->grabWindow(0);
    if (shot.isNull() || !shot.save(out, "PNG")) {
        std::fprintf(stderr, "qv-xgrab: could not grab the screen into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
