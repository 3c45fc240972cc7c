#include <QApplication>
#include <clocale>

#include "app/globals.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvin"));
    QApplication::setDesktopFileName(QStringLiteral("org.quorvin.Quorvin"));
    QApplication::setQuitOnLastWindowClosed(false);
    // libmpv needs the C numeric locale.
    std::setlocale(LC_NUMERIC, "C");
    qv::ProgramEntry();
}
