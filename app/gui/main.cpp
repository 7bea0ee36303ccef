// tavelo: the desktop program.
#include "app/app_context.h"
#include "app/screens.h"

#include <QApplication>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    // Without a display there is nothing to show: say so instead of aborting.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "tavelo: no display found (DISPLAY is not set); the program needs a desktop.\n");
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavelo"));
    std::fprintf(stderr, "tavelo: the windows are being built; use tavelo-cli for now.\n");
    return 0;
}
