// SPDX-License-Identifier: GPL-3.0-or-later
// Reads the attribute bits of a file or folder as they are now on disk, for
// checks that must not trust what an earlier enumeration saw.
#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <optional>

namespace tarnwick {

// The attribute bits (kAttr* of EntryRecord.h) of the entry at `path`, with
// symbolic links followed. Hidden comes from the last path component's name.
// nullopt when the entry is missing or cannot be examined.
std::optional<quint32> ReadFileAttributes(const QByteArray& path);

} // namespace tarnwick
