// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick: the window. Everything it does is in tarnwick_ui; this only
// starts it.
#include "ui/Startup.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    return tarnwick::ui::RunProgram(argc, argv);
}
