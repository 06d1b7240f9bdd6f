// SPDX-License-Identifier: GPL-3.0-or-later
// The program's entry: single instance (a later start brings the running
// window forward), splash, the main window's creation steps, the event
// loop, and a shutdown that lets runs finish.
#pragma once

#include <QStringList>

namespace tarnwick {
class InstanceLock;
class InstanceSignal;
} // namespace tarnwick

namespace tarnwick::ui {

class TfrmMain;

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

// Brings `window` forward whenever a later start asks for it through
// `requests`, which listens as the holder of `lock`. A window that cannot
// listen says why on standard error and runs on as before; false then.
bool AnswerLaterStarts(InstanceSignal& requests, const InstanceLock& lock, TfrmMain& window);

int RunProgram(int argc, char* argv[]);

} // namespace tarnwick::ui
