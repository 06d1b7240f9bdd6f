// Program folder lookup. /proc/self/exe is used rather than argv[0] so that
// a program started through a link or a relative path still finds its files.
#include "platform/ProgramFolder.h"

#include <QDir>
#include <QFileInfo>

namespace tarnwick {

QString ProgramFolder()
{
    QString folder = qEnvironmentVariable("TARNWICK_HOME");
    if (folder.isEmpty()) {
        folder = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
        folder = QFileInfo(folder).absolutePath();
    } else {
        folder = QDir(folder).absolutePath();
    }
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

QString JoinPath(const QString& folder, const QString& name)
{
    if (folder.endsWith(u'/'))
        return folder + name;
    return folder + u'/' + name;
}

QString TaskDatabasePath()
{
    return ProgramFolder() + QStringLiteral("Tarnwick.dat");
}

QString LogFolder()
{
    return ProgramFolder() + QStringLiteral("Log/");
}

} // namespace tarnwick
