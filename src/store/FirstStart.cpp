// SPDX-License-Identifier: GPL-3.0-or-later
// Data folder set-up at the first start of an installed program.
#include "store/FirstStart.h"

#include "platform/NewFileName.h"
#include "platform/PrivateFolder.h"
#include "store/StoreError.h"
#include "store/TaskDatabase.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

namespace tarnwick {

void PrepareDataFolder(const FolderLayout& layout)
{
    if (!layout.installed)
        return;
    if (layout.data.isEmpty())
        throw StoreError(QStringLiteral(
            "There is no folder to keep Tarnwick's data in: XDG_DATA_HOME is not an absolute "
            "path and there is no home folder (HOME)"));
    QString error;
    if (!MakePrivateFolder(layout.data, &error))
        throw StoreError(error);
    // Only writing a log needs Log/, and the log file makes it again when
    // it is missing: a data folder the user made read-only still lists.
    MakePrivateFolder(layout.data + QStringLiteral("Log/"), nullptr);

    const QString database = layout.data + QStringLiteral("Tarnwick.dat");
    if (QFileInfo::exists(database) || QFileInfo(database).isSymLink())
        return;
    // Made under a name of its own and then renamed into place, which
    // never replaces a file: the window and a tarnwick-cli command started
    // together (autostart and a user unit at login) then never open a
    // database the other has only half made, nor make two.
    const QString fresh = database + QStringLiteral(".new-%1-%2")
                                         .arg(QCoreApplication::applicationPid())
                                         .arg(QRandomGenerator::global()->generate(), 8, 16,
                                              QLatin1Char('0'));
    CreateTaskDatabase(fresh);
    const NewFileName named = GiveNewFileName(fresh, database, &error);
    if (named == NewFileName::Given)
        return;
    QFile::remove(fresh);
    if (named == NewFileName::Failed)
        throw StoreError(error);
}

void PrepareDataFolder()
{
    PrepareDataFolder(CurrentFolderLayout());
}

} // namespace tarnwick
