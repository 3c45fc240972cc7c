#include "widgets/desktop.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QScreen>
#include <QUrl>
#include <cstdint>

#include "qt_text.h"

namespace qv {
namespace {

bool (*&WebOpener())(const Text&) {
    static bool (*opener)(const Text&) = nullptr;
    return opener;
}

}  // namespace

int ScreenWidth() {
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().width() : 0;
}

int ScreenHeight() {
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().height() : 0;
}

bool OnAnyScreen(int left, int top, int width, int height) {
    const std::int64_t l = left, t = top, r = l + width, b = t + height;
    for (const QScreen* s : QGuiApplication::screens()) {
        const QRect g = s->geometry();
        const std::int64_t gl = g.x(), gt = g.y();
        if (l < gl + g.width() && r > gl && t < gt + g.height() && b > gt)
            return true;
    }
    return false;
}

void SetWebOpener(bool (*opener)(const Text&)) {
    WebOpener() = opener;
}

bool OpenWebAddress(const Text& address) {
    if (WebOpener())
        return WebOpener()(address);
    QUrl url = QUrl::fromUserInput(ToQString(address));
    if (!url.isValid())
        return false;
    return QDesktopServices::openUrl(url);
}

}  // namespace qv
