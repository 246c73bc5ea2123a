// The program entry: the application object, then the main window's run.
#include "ui/main_window_run.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    return RunMainWindow();
}
