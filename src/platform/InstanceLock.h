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

    // True when this process now holds the lock; false when another holds it
    // (or the lock file cannot be made).
    bool tryAcquire();
    void release();

    // $XDG_RUNTIME_DIR/Tarnwick.lock, else /tmp/Tarnwick-<uid>.lock.
    static QString lockFilePath();

private:
    int m_fd = -1;
};

} // namespace tarnwick
