// The single-instance lock: an exclusive flock on Tarnwick.lock in the
// runtime folder, held for the life of the process. The kernel drops it
// however the process ends, so a crash never leaves a stale lock.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace tarnwick {

class InstanceLock
{
public:
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // "Another instance runs" is the normal case of a second start and
    // leaves quietly; a lock file that cannot be made is a fault to report.
    enum class Outcome
    {
        Acquired,
        HeldElsewhere,
        Failed
    };

    // Takes the lock for this process. On Failed, error() says why.
    Outcome tryAcquire();
    void release();

    // The system's reason when the lock file could not be made or locked.
    const QString& error() const { return m_error; }

    // $XDG_RUNTIME_DIR/Tarnwick.lock, else /tmp/Tarnwick-<uid>.lock.
    static QString lockFilePath();

    // Writes this process's id and the tasks it is running into the held
    // lock file, for the command line to find: it signals SIGHUP to that
    // process after changing tasks and refuses to remove a task listed as
    // running. An owner announces itself only once it reads the tasks anew
    // on SIGHUP (the default action of SIGHUP would end it). False when
    // the lock is not held or the file cannot be written.
    bool announce(const QStringList& runningTaskIds = {});

    // The instance holding the lock, as its last announcement describes it.
    struct Holder
    {
        qint64 pid = 0; // 0: it holds the lock but has not announced itself
        QStringList runningTaskIds;
    };
    // Nothing when no process holds the lock (or it cannot be looked at).
    static std::optional<Holder> holder();

private:
    int m_fd = -1;
    QString m_error;
};

} // namespace tarnwick
