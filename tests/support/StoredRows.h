// The stored rows of the task database as plain texts, for tests that
// compare what a save wrote: one text per row, its columns joined by "|",
// NULL shown as "-".
#pragma once

#include "store/TaskDatabase.h"

#include <QString>
#include <QStringList>

#include <vector>

inline QStringList Rows(tarnwick::TaskDatabase& db, const QString& select,
                        const std::vector<const char*>& columns)
{
    tarnwick::TaskQuery query(db);
    tarnwick::RunQuery(query, select);
    QStringList rows;
    for (; !query.eof(); query.next()) {
        QStringList cells;
        for (const char* column : columns)
            cells << (query.isNull(column) ? QStringLiteral("-") : query.text(column));
        rows << cells.join(u'|');
    }
    return rows;
}

// Every row of every table, keys included, in row order.
inline QStringList Snapshot(tarnwick::TaskDatabase& db)
{
    struct Table
    {
        const char* name;
        std::vector<const char*> columns;
    };
    const Table tables[] = {
        {"TaskGroup", {"TaskGroupID", "Name"}},
        {"Task", {"TaskID", "TaskGroupID", "TaskName", "SourceDir", "TargetDir", "ScheduleType"}},
        {"SourceDir", {"TaskID", "SourceDir", "IncludeSubDir"}},
        {"Exclude", {"ExcludeID", "TaskID", "type", "stype", "sstype", "value", "EndDate"}},
        {"TaskSchedule",
         {"TaskSchID", "TaskID", "ScheduleType", "value", "withweek", "StartTime", "LastRunTime",
          "NextRunTime"}},
    };
    QStringList rows;
    for (const Table& table : tables) {
        const QString name = QLatin1String(table.name);
        for (const QString& row :
             Rows(db, QStringLiteral("select * from %1 order by rowid").arg(name), table.columns))
            rows << name + u':' + row;
    }
    return rows;
}
