// Placeholder until the main window lands.
#include "ui/Startup.h"

#include <QApplication>

namespace tarnwick::ui {

int runProgram(int argc, char* argv[])
{
    QApplication app(argc, argv);
    return 0;
}

} // namespace tarnwick::ui
