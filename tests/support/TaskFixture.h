// Stores a task the way the task editor does: its Task row, its source rows
// in order, and the marker row of a manual or on-change task.
#pragma once

#include "store/DateTexts.h"
#include "store/Statements.h"
#include "store/TaskDatabase.h"

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
    QString shown = sources.size() == 1 ? sources.first().first : QString();
    if (sources.size() > 1) {
        for (const auto& source : sources)
            shown += QStringLiteral(" !>") + source.first;
    }
    RunStatement(query, FillStatement(sql::InsertTask, {id, QStringLiteral("AllTask"), name, shown,
                                                        target, runMode}));
    for (const auto& source : sources)
        RunStatement(query, FillStatement(sql::InsertSource,
                                          {id, source.first, qint64(source.second ? 1 : 0)}));
    const QString now = DateTimeText(QDateTime::currentDateTime());
    if (runMode == 0)
        RunStatement(query, FillStatement(sql::InsertManualRow, {id, now}));
    else if (runMode == 1)
        RunStatement(query, FillStatement(sql::InsertOnChangeRow, {id, now}));
}
