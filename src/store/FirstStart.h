// SPDX-License-Identifier: GPL-3.0-or-later
// The first start of an installed program: its data folder
// ($XDG_DATA_HOME/Tarnwick/) is made with an empty task database and Log/,
// so that the window and every tarnwick-cli command work at once, without
// a set-up step. A build folder or a TARNWICK_HOME folder is laid out by
// the build or by `tarnwick-cli init` and is left alone.
#pragma once

#include "platform/ProgramFolder.h"

namespace tarnwick {

// For an installed `layout`, makes what is missing of its data folder:
// the folder itself (mode 0700, with the missing folders above it), Log/
// (when it can) and an empty Tarnwick.dat. An existing database is never
// touched. Does nothing for a layout that is not installed. Raises
// StoreError saying what could not be made.
void PrepareDataFolder(const FolderLayout& layout);

// The same for the running program.
void PrepareDataFolder();

} // namespace tarnwick
