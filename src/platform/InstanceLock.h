// The single-instance lock: an exclusive flock on Tarnwick.lock in the
// runtime folder, held for the life of the process. The kernel drops it
// however the process ends, so a crash never leaves a stale lock.
#pragma once

#include <QString>

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

private:
    int m_fd = -1;
    QString m_error;
};

} // namespace tarnwick
