// Stores a task the way the task editor does: its Task row, its source rows
// in order, and the marker row of a manual or on-change task.
#pragma once

#include "store/DateTexts.h"
#include "store/Statements.h"
#include "store/TaskDatabase.h"
#include "store/TaskWriter.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <utility>

inline void AddTask(tarnwick::TaskDatabase& db, const QString& id, const QString& name,
                    const QList<std::pair<QString, bool>>& sources, const QString& target,
                    qint64 runMode)
{
    using namespace tarnwick;
    TaskQuery query(db);
    QList<TaskSource> list;
    for (const auto& source : sources)
        list.append({source.first, source.second});
    RunStatement(query, FillStatement(sql::InsertTask, {id, QStringLiteral("AllTask"), name,
                                                        sourceListText(list), target, runMode}));
    for (const auto& source : sources)
        RunStatement(query, FillStatement(sql::InsertSource,
                                          {id, source.first, qint64(source.second ? 1 : 0)}));
    const QString now = DateTimeText(QDateTime::currentDateTime());
    if (runMode == 0)
        RunStatement(query, FillStatement(sql::InsertManualRow, {id, now}));
    else if (runMode == 1)
        RunStatement(query, FillStatement(sql::InsertOnChangeRow, {id, now}));
}
