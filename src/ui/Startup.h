// The program's entry: single instance, splash, the main window's creation
// steps, the event loop, and a shutdown that lets runs finish.
#pragma once

#include <QStringList>

namespace tarnwick::ui {

// The window's own command-line options. Everything else is left alone:
// Qt reads its own options (-platform, --style...) from the same line.
struct StartOptions
{
    bool minimized = false; // --minimized: start minimised (to the tray when it shows)
    bool version = false;   // --version
    bool help = false;      // --help, -h
};

// The options in `args`, the program name left out.
StartOptions ReadStartOptions(const QStringList& args);

int RunProgram(int argc, char* argv[]);

} // namespace tarnwick::ui
