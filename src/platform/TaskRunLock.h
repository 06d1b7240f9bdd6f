// SPDX-License-Identifier: GPL-3.0-or-later
// One run of a task at a time across every process of one program folder:
// the window's, the daemon's and `tarnwick-cli run`'s. Two runs of one task
// at once would each take the other's new files for the old ones (a kept
// version of the wrong content, the only version of the old one pruned).
//
// An exclusive flock on Runs/Task-<hash of the ID>.lock in the data folder,
// a folder of the user's own (never a shared temporary folder, where
// another user could make the name first). The kernel drops the lock
// however the process ends. The holder writes its process ID into the file
// for a second run to name it.
#pragma once

#include <QString>

namespace tarnwick {

class TaskRunLock
{
public:
    TaskRunLock() = default;
    ~TaskRunLock();
    TaskRunLock(const TaskRunLock&) = delete;
    TaskRunLock& operator=(const TaskRunLock&) = delete;

    enum class Outcome
    {
        Acquired,
        HeldElsewhere, // holder() names the process
        Failed         // error() says why
    };

    // Tries once to take the lock of `taskId` in the data folder `dataFolder`.
    Outcome tryAcquire(const QString& dataFolder, const QString& taskId);
    void release();

    // The process holding it, as its lock file names it; 0 when unknown.
    qint64 holder() const { return m_holder; }
    const QString& error() const { return m_error; }

    // The lock file of a task.
    static QString lockFilePath(const QString& dataFolder, const QString& taskId);

private:
    int m_fd = -1;
    qint64 m_holder = 0;
    QString m_error;
};

} // namespace tarnwick
