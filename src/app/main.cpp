#include "app/guardedapplication.h"
#include "app/program.h"

#include <clocale>

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    GuardedApplication application(argc, argv);
    // The main window's close ends the program, also while it is hidden in the tray; closing
    // another window then must not.
    QApplication::setQuitOnLastWindowClosed(false);
    Program program(application);
    if (!program.Start())
        return program.exitCode();
    return application.exec();
}
