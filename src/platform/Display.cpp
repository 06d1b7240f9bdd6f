// SPDX-License-Identifier: GPL-3.0-or-later
// The display check, from the environment the toolkit reads too.
#include "platform/Display.h"

#include <QtGlobal>

namespace tarnwick {

bool HasDisplay()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        if (!qEnvironmentVariableIsEmpty(name))
            return true;
    }
    return false;
}

} // namespace tarnwick
