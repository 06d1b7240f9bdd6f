// SPDX-License-Identifier: GPL-3.0-or-later
// Stores a task through the store's own write path, as the task editor
// does: its Task row, its source rows in order, and the marker row of a
// manual or on-change task. A test that needs rows the write path cannot
// make writes those itself with the catalogue's statements.
#pragma once

#include "platform/Clock.h"
#include "store/TaskDatabase.h"
#include "store/TaskWriter.h"

#include <QList>
#include <QString>

#include <utility>

inline void AddTask(tarnwick::TaskDatabase& db, const QString& id, const QString& name,
                    const QList<std::pair<QString, bool>>& sources, const QString& target,
                    qint64 runMode)
{
    using namespace tarnwick;
    TaskRecord task;
    task.taskId = id;
    task.name = name;
    task.targetDir = target;
    task.runMode = static_cast<TaskRunMode>(runMode);
    for (const auto& source : sources)
        task.sources.append({source.first, source.second});
    SaveTask(db, task, TaskSaveMode::New, Clock::system());
}
