// SPDX-License-Identifier: GPL-3.0-or-later
// Folders made for the user alone: the data folder of an installed program,
// its Log/, the autostart folder. The XDG rules ask for mode 0700 on every
// folder made below the user's base folders; folders that are already
// there keep their modes.
#pragma once

#include <QString>

namespace tarnwick {

// Makes `path` and each missing folder above it with mode 0700. True when
// `path` is a folder afterwards (made now or before); else false with
// `error` naming the folder that could not be made and the system's reason.
bool MakePrivateFolder(const QString& path, QString* error);

} // namespace tarnwick
