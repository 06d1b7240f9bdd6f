// SPDX-License-Identifier: GPL-3.0-or-later
// The exclusion test the mirror asks once per file (never for folders):
// true when the file at `path` (bytes, as the walk built it) is excluded.
// An empty function excludes nothing.
#pragma once

#include "platform/EntryRecord.h"

#include <QByteArray>

#include <functional>

namespace tarnwick {

using ExcludeTest = std::function<bool(const QByteArray& path, const EntryRecord& entry)>;

} // namespace tarnwick
