// SPDX-License-Identifier: GPL-3.0-or-later
// Giving a file that was made under a name of its own its real name,
// unless something already has that name. QFile::rename is no help here:
// when the name is taken between its check and the rename it copies the
// file over the one that took it.
#pragma once

#include <QString>

namespace tarnwick {

enum class NewFileName
{
    Given,   // `from` is now called `to`
    Taken,   // `to` was there already; `from` is left as it was
    Failed,  // neither; `error` says why
};

// Renames `from` to `to` in one step that never replaces `to`
// (renameat2 with RENAME_NOREPLACE, or link and unlink on a file system
// without it). Both names should be in one folder.
NewFileName GiveNewFileName(const QString& from, const QString& to, QString* error);

} // namespace tarnwick
