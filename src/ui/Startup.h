// The program's entry: single instance, splash, the main window's creation
// steps, the event loop, and a shutdown that lets runs finish.
#pragma once

namespace tarnwick::ui {

int runProgram(int argc, char* argv[]);

} // namespace tarnwick::ui
