// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/TaskOptionValues.h"

#include "store/Statements.h"
#include "store/TaskDatabase.h"

#include <QDir>

namespace tarnwick {

QString VersionsFolderPath(const QString& targetDir, const QString& folder)
{
    const QString name = folder.trimmed().isEmpty() ? QString::fromLatin1(kDefaultVersionsFolder)
                                                    : folder.trimmed();
    if (QDir::isAbsolutePath(name))
        return QDir::cleanPath(name);
    return QDir::cleanPath(targetDir + u'/' + name);
}

QHash<QString, QString> ReadTaskOptions(TaskDatabase& db, const QString& taskId)
{
    QHash<QString, QString> options;
    if (!db.hasAddedTables())
        return options;
    TaskQuery rows(db);
    RunQuery(rows, FillStatement(sql::SelectTaskOptions, {taskId}));
    for (; !rows.eof(); rows.next())
        options.insert(rows.text("Name"), rows.text("Value"));
    return options;
}

QList<TaskTarget> TasksRunWhenTargetAppears(TaskDatabase& db)
{
    QList<TaskTarget> tasks;
    if (!db.hasAddedTables())
        return tasks;
    TaskQuery rows(db);
    RunQuery(rows, QString::fromLatin1(sql::SelectTasksRunWhenTargetAppears));
    for (; !rows.eof(); rows.next())
        tasks.append({rows.text("TaskID"), rows.text("TargetDir")});
    return tasks;
}

void WriteTaskOption(TaskDatabase& db, const QString& taskId, const char* name,
                     const QString& value)
{
    if (!db.hasAddedTables() || db.isReadOnly())
        return;
    TaskQuery query(db);
    RunStatement(query,
                 FillStatement(sql::SetTaskOption, {taskId, QString::fromLatin1(name), value}));
}

} // namespace tarnwick
