// SPDX-License-Identifier: GPL-3.0-or-later
// Whether a window can be shown at all: a graphical session names its
// display in the environment. Without one the window toolkit would abort the
// program with a core dump; the program says so in a line instead.
#pragma once

namespace tarnwick {

// True when an X or Wayland display is named, or a platform plugin is
// chosen explicitly (offscreen, for instance).
bool HasDisplay();

} // namespace tarnwick
