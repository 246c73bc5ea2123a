// The program entry: the application object, then the main window's run.
#include "ui/main_window/main_window_run.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // The program takes no command line. Qt reads its own options from the
    // arguments it is given (-reverse, -style, -qwindowgeometry, ...) and any
    // of them would change the window, so it gets the program name alone.
    char programName[] = "quorvel";
    char* qtArguments[] = {argc > 0 && argv[0] ? argv[0] : programName, nullptr};
    int qtArgumentCount = 1;
    QApplication application(qtArgumentCount, qtArguments);
    // The menu entry's name (quorvel.desktop): the Wayland app id, by which
    // docks and task switchers match the window to its entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("quorvel"));
    return RunMainWindow();
}
