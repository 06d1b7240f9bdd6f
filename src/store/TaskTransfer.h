// SPDX-License-Identifier: GPL-3.0-or-later
// Every group and task as one JSON document, and back: for moving tasks to
// another machine, keeping them in version control, or setting a machine up
// from a script. The document holds what the task editor holds (no run
// times: those are computed anew when a task is saved). Its layout is
// described in doc/task-document.md; kTaskDocumentVersion changes whenever
// a reader of the old layout would misread the new one.
#pragma once

#include "store/TaskWriter.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <stdexcept>

namespace tarnwick {

class Clock;
class TaskDatabase;

inline constexpr char kTaskDocumentFormat[] = "tarnwick-tasks";
inline constexpr int kTaskDocumentVersion = 1;

// A document that cannot be read: its message says where and why.
class TaskDocumentError : public std::runtime_error
{
public:
    explicit TaskDocumentError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

// One task and one group as the document holds them; the command line's
// JSON of a task or the list uses the same members.
QJsonObject TaskDocumentObject(const TaskRecord& task);
QJsonObject GroupDocumentObject(const TaskGroupRow& group);

// The whole task database as an indented JSON document, groups and tasks in
// stored order. A task that cannot be read is left out and named in
// `unreadable`. Raises StoreError.
QByteArray ExportTasks(TaskDatabase& db, QStringList* unreadable = nullptr);

struct ImportReport
{
    int groups = 0;
    int tasks = 0;
    // One line per identifier that was already taken and replaced.
    QStringList renamed;
};

// Adds every group and task of `document` in one transaction. Identifiers
// are kept unless already taken (in the database or earlier in the
// document); such a one gets a new identifier, and a task keeps its group
// under the group's new identifier. A document that cannot be read, or a
// task the editor's checks refuse, raises TaskDocumentError before anything
// is written; a store failure raises StoreError. Either way nothing changes.
ImportReport ImportTasks(TaskDatabase& db, const QByteArray& document, const Clock& clock);

} // namespace tarnwick
